#include <velk/tracks/track_reader.hpp>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <unordered_map>

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <velk/tracks/message_text.hpp>
#include <velk/tracks/track_error.hpp>

namespace velk::tracks {
namespace {

// Longest part of an offending line quoted in a message, in characters.
constexpr std::size_t MAX_QUOTED_LINE = 60;
// Largest number of digits of a `PLAIN` integer: every such integer is exact in a double.
constexpr std::size_t MAX_PLAIN_DIGITS = 15;
// Largest BED coordinate: up to 2^53 every integer is a double, and s + 1 differs from s.
constexpr double MAX_BED_COORDINATE = 9007199254740991.0;
// Bytes read from a file at a time.
constexpr std::size_t CHUNK = std::size_t{1} << 20;

bool is_space(char c) { return c == ' ' || c == '\t'; }

bool is_blank(std::string_view text) {
  for (char const c : text) {
    if (!is_space(c)) return false;
  }
  return true;
}

// Whether `text` begins with `word`, in any case.
bool begins_with(std::string_view text, std::string_view word) {
  if (text.size() < word.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    auto const c = text[i];
    if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != word[i]) return false;
  }
  return true;
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && is_space(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_space(text.back())) text.remove_suffix(1);
  return text;
}

// BED: fields separated by single tabs.
void split_tabs(std::string_view text, std::vector<std::string_view>& fields) {
  fields.clear();
  std::size_t begin = 0;
  while (true) {
    auto const tab = text.find('\t', begin);
    if (tab == std::string_view::npos) {
      fields.push_back(text.substr(begin));
      return;
    }
    fields.push_back(text.substr(begin, tab - begin));
    begin = tab + 1;
  }
}

// A table row: fields separated by commas (each trimmed) when the line has one, else by runs
// of spaces and tabs.
void split_table(std::string_view text, std::vector<std::string_view>& fields) {
  fields.clear();
  if (text.find(',') != std::string_view::npos) {
    std::size_t begin = 0;
    while (true) {
      auto const comma = text.find(',', begin);
      if (comma == std::string_view::npos) {
        fields.push_back(trimmed(text.substr(begin)));
        return;
      }
      fields.push_back(trimmed(text.substr(begin, comma - begin)));
      begin = comma + 1;
    }
  }
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && is_space(text[i])) ++i;
    auto const begin = i;
    while (i < text.size() && !is_space(text[i])) ++i;
    if (i > begin) fields.push_back(text.substr(begin, i - begin));
  }
}

bool is_number(std::string_view field) {
  double value = 0;
  bool plain = false;
  return parse_number(field, value, plain);
}

// A line that begins with a word of the header lines bedtools' readers skip: "#", "track",
// "browser" or "chrom", in any case.
bool begins_like_a_header(std::string_view text) {
  return text.front() == '#' || begins_with(text, "track") || begins_with(text, "browser") ||
         begins_with(text, "chrom");
}

// Whether some field of the line, split as a table row splits (which also splits at tabs),
// is a number.
bool holds_a_number(std::string_view text) {
  std::vector<std::string_view> fields;
  split_table(text, fields);
  for (auto const field : fields) {
    if (is_number(field)) return true;
  }
  return false;
}

// Whether the line reads as a BED record: tab-separated, its start and end numbers.
bool reads_as_bed_record(std::string_view text) {
  std::vector<std::string_view> fields;
  split_tabs(text, fields);
  return fields.size() >= 3 && is_number(fields[1]) && is_number(fields[2]);
}

std::string quoted_line(std::string_view text) {
  return quote_text(shortened(text, MAX_QUOTED_LINE));
}

std::string quoted_field(std::string_view text) {
  return quote_text(shortened(text, MAX_QUOTED_LINE));
}

char const* format_name(TrackFormat format) {
  return format == TrackFormat::bed ? "BED (seq start end)" : "a plain table (start end)";
}

}  // namespace

std::uint32_t Spellings::add(std::string_view text) {
  text_.append(text.data(), text.size());
  ends_.push_back(text_.size());
  return static_cast<std::uint32_t>(ends_.size());
}

std::string_view Spellings::text(std::uint32_t spelling) const {
  auto const end = ends_.at(spelling - 1);
  auto const begin = spelling == 1 ? 0 : ends_[spelling - 2];
  return std::string_view{text_}.substr(begin, end - begin);
}

bool parse_number(std::string_view field, double& value, bool& plain) {
  plain = false;
  auto body = field;
  // std::from_chars refuses a leading '+'.
  if (!body.empty() && body.front() == '+') {
    body.remove_prefix(1);
    if (!body.empty() && body.front() == '-') return false;
  }
  if (body.empty()) return false;
  auto const [end, error] = std::from_chars(body.data(), body.data() + body.size(), value);
  if (end != body.data() + body.size()) return false;
  if (error == std::errc::result_out_of_range) {
    // Beyond the range of a double (infinite) or below its smallest magnitude (zero).
    value = std::strtod(std::string{body}.c_str(), nullptr);
  } else if (error != std::errc{}) {
    return false;
  }
  auto digits = field;
  if (!digits.empty() && digits.front() == '-') digits.remove_prefix(1);
  plain = !digits.empty() && digits.size() <= MAX_PLAIN_DIGITS &&
          (digits.front() != '0' || (digits.size() == 1 && field.size() == 1));
  for (std::size_t i = 0; plain && i < digits.size(); ++i) {
    plain = digits[i] >= '0' && digits[i] <= '9';
  }
  return true;
}

TrackParser::TrackParser(std::string source, std::size_t file, std::size_t nb_files,
                         TrackFormat format, TrackSet& set)
    : source_{std::move(source)}, file_{file}, nb_files_{nb_files}, format_{format}, set_{set} {
  if (set_.counts.size() < nb_files_) set_.counts.resize(nb_files_);
}

void TrackParser::fail(std::string const& what) const {
  throw TrackError{TrackError::Kind::bad_input, "TrackParser::line",
                   source_ + ":" + std::to_string(line_number_) + ": " + what};
}

void TrackParser::line(std::string_view text) {
  ++line_number_;
  if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
  if (is_blank(text)) return;
  if (records_ == 0) {
    // Before the first record: the header lines bedtools' readers skip ("#" comments, and
    // "track", "browser" or "chrom" lines that do not read as a record), and a table's
    // header, a first line without any number.
    if (text.front() == '#' || (begins_like_a_header(text) && !reads_as_bed_record(text))) {
      note_header(text);
      return;
    }
    if (format_ != TrackFormat::bed && !holds_a_number(text) && !table_header_) {
      // A table's header; in a file whose format is not known yet, it is one only if the
      // file turns out a table (checked at the first record).
      table_header_ = std::pair<std::size_t, std::string>{line_number_, std::string{text}};
      note_header(text);
      return;
    }
  } else if (begins_like_a_header(text) && !reads_as_bed_record(text)) {
    fail("a header line after the first record: " + quoted_line(text) +
         " (header lines come before the records)");
  }
  if (format_ == TrackFormat::automatic) {
    // BED when the row has a sequence name (not a number) before two tab-separated numbers.
    split_tabs(text, fields_);
    format_ = fields_.size() >= 3 && !is_number(fields_[0]) &&
                      (is_number(fields_[1]) || is_number(fields_[2]))
                  ? TrackFormat::bed
                  : TrackFormat::table;
  }
  if (set_.format == TrackFormat::automatic) {
    set_.format = format_;
  } else if (set_.format != format_) {
    fail(std::string{"this file is "} + format_name(format_) + ", but an earlier file is " +
         format_name(set_.format) + ": all files must be of one kind (see --format)");
  }
  if (records_ == 0 && table_header_ && format_ == TrackFormat::bed) {
    // The line taken for a table's header in a BED file: it is a bad record.
    auto const [number, header] = *table_header_;
    auto const current = line_number_;
    line_number_ = number;
    bed_row(header);
    line_number_ = current;
  }
  ++records_;
  if (format_ == TrackFormat::bed) {
    bed_row(text);
  } else {
    table_row(text);
  }
}

void TrackParser::record(std::string_view sequence, double start, double end) {
  ++line_number_;
  if (format_ == TrackFormat::automatic) {
    format_ = sequence.empty() ? TrackFormat::table : TrackFormat::bed;
  }
  if (set_.format == TrackFormat::automatic) {
    set_.format = format_;
  } else if (set_.format != format_) {
    fail(std::string{"these rows are "} + format_name(format_) + ", but earlier rows are " +
         format_name(set_.format) + ": all tracks must be of one kind");
  }
  if (format_ == TrackFormat::bed && sequence.find_first_of("\t\n\r") != std::string_view::npos) {
    fail("the sequence name " + quoted_field(sequence) + " holds a tab or a line break");
  }
  ++records_;
  // The row as its file would hold it: every rule of a row read from a file applies.
  auto text =
      format_number(start) + (format_ == TrackFormat::bed ? "\t" : " ") + format_number(end);
  if (format_ == TrackFormat::bed) {
    bed_row(std::string{sequence} + "\t" + text);
  } else {
    table_row(text);
  }
}

void TrackParser::note_header(std::string_view text) {
  auto& counts = set_.counts[file_];
  if (counts.headers++ == 0) {
    counts.first_header_line = line_number_;
    counts.first_header = shortened(single_line(text, MAX_QUOTED_LINE * 4), MAX_QUOTED_LINE);
  }
}

std::uint32_t TrackParser::spelling(std::string_view text, bool plain) {
  return plain ? Spellings::PLAIN : set_.spellings.add(text);
}

Track& TrackParser::track_of(std::string_view sequence) {
  if (last_track_ != nullptr && sequence == last_sequence_) return *last_track_;
  last_sequence_.assign(sequence.data(), sequence.size());
  if (sequence_index_.empty()) {
    for (std::size_t i = 0; i < set_.sequences.size(); ++i) {
      sequence_index_.emplace(set_.sequences[i].name, i);
    }
  }
  auto const [found, added] = sequence_index_.emplace(last_sequence_, set_.sequences.size());
  auto const index = found->second;
  if (added) set_.sequences.push_back({last_sequence_, std::vector<Track>(nb_files_)});
  last_track_ = &set_.sequences[index].tracks[file_];
  return *last_track_;
}

void TrackParser::bed_row(std::string_view text) {
  split_tabs(text, fields_);
  if (fields_.size() < 3) {
    fail("expected tab-separated columns seq, start and end, not " + quoted_line(text));
  }
  auto const sequence = fields_[0];
  if (sequence.empty()) fail("the sequence name is empty in " + quoted_line(text));
  double values[2];
  bool plain[2];
  char const* const what[2] = {"start", "end"};
  for (std::size_t i = 0; i < 2; ++i) {
    auto const field = fields_[1 + i];
    if (!parse_number(field, values[i], plain[i])) {
      fail(std::string{what[i]} + " " + quoted_field(field) + " is not a number");
    }
    if (!std::isfinite(values[i])) {
      fail(std::string{what[i]} + " " + quoted_field(field) + " is not a finite number");
    }
    if (values[i] < 0) {
      fail(std::string{what[i]} + " " + std::string{field} +
           " is negative (BED coordinates start at 0)");
    }
    if (values[i] != std::floor(values[i])) {
      fail(std::string{what[i]} + " " + quoted_field(field) +
           " is not a whole number (BED coordinates are integers)");
    }
    if (values[i] > MAX_BED_COORDINATE) {
      fail(std::string{what[i]} + " " + quoted_field(field) +
           " is too large (BED coordinates stop at 2^53)");
    }
  }
  if (values[0] > values[1]) {
    fail("start " + std::string{fields_[1]} + " is greater than end " + std::string{fields_[2]});
  }
  auto& track = track_of(sequence);
  std::size_t const index = track.size();
  if (values[0] == values[1]) {
    // bedtools' rule: a zero-length interval [s, s] (an insertion point between two bases)
    // stands for the bases on both sides, [s - 1, s + 1]; at 0 only [0, 1].
    ++set_.counts[file_].zero_length;
    track.starts.push_back(std::max(0.0, values[0] - 1));
    track.ends.push_back(values[1] + 1);
    if (!track.start_spellings.empty()) {
      track.start_spellings.push_back(Spellings::PLAIN);
      track.end_spellings.push_back(Spellings::PLAIN);
    }
  } else {
    track.starts.push_back(values[0]);
    track.ends.push_back(values[1]);
    if (!plain[0] || !plain[1] || !track.start_spellings.empty()) {
      track.start_spellings.resize(index, Spellings::PLAIN);
      track.end_spellings.resize(index, Spellings::PLAIN);
      track.start_spellings.push_back(spelling(fields_[1], plain[0]));
      track.end_spellings.push_back(spelling(fields_[2], plain[1]));
    }
  }
  ++set_.counts[file_].rows;
}

void TrackParser::table_row(std::string_view text) {
  split_table(text, fields_);
  if (fields_.size() < 2) fail("expected columns start and end, not " + quoted_line(text));
  double values[2];
  bool plain[2];
  char const* const what[2] = {"start", "end"};
  for (std::size_t i = 0; i < 2; ++i) {
    if (!parse_number(fields_[i], values[i], plain[i])) {
      fail(std::string{what[i]} + " " + quoted_field(fields_[i]) + " is not a number");
    }
    if (!std::isfinite(values[i])) {
      fail(std::string{what[i]} + " " + quoted_field(fields_[i]) + " is not a finite number");
    }
  }
  if (values[0] > values[1]) {
    fail("start " + std::string{fields_[0]} + " is greater than end " + std::string{fields_[1]});
  }
  if (values[0] == values[1]) {
    // A zero-length row covers nothing: it is skipped.
    ++set_.counts[file_].zero_length;
    return;
  }
  if (set_.sequences.empty()) set_.sequences.push_back({"", std::vector<Track>(nb_files_)});
  auto& track = set_.sequences.front().tracks[file_];
  std::size_t const index = track.size();
  track.starts.push_back(values[0]);
  track.ends.push_back(values[1]);
  if (!plain[0] || !plain[1] || !track.start_spellings.empty()) {
    track.start_spellings.resize(index, Spellings::PLAIN);
    track.end_spellings.resize(index, Spellings::PLAIN);
    track.start_spellings.push_back(spelling(fields_[0], plain[0]));
    track.end_spellings.push_back(spelling(fields_[1], plain[1]));
  }
  ++set_.counts[file_].rows;
}

std::string curve_name_of(std::string const& file) {
  if (file == "-") return "stdin";
  auto name = std::filesystem::path{file}.filename().string();
  if (name.size() > 3 && name.compare(name.size() - 3, 3, ".gz") == 0) name.resize(name.size() - 3);
  auto const dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return name;
}

TrackFormat format_of_name(std::string const& file) {
  auto name = std::filesystem::path{file}.filename().string();
  if (name.size() > 3 && name.compare(name.size() - 3, 3, ".gz") == 0) name.resize(name.size() - 3);
  if (name.size() > 4 && name.compare(name.size() - 4, 4, ".bed") == 0) return TrackFormat::bed;
  return TrackFormat::automatic;
}

namespace {

struct GzCloser {
  void operator()(gzFile file) const { gzclose(file); }
};
using GzFile = std::unique_ptr<gzFile_s, GzCloser>;

bool ends_with_gz(std::string const& file) {
  return file.size() > 3 && file.compare(file.size() - 3, 3, ".gz") == 0;
}

// Feeds every line of `file` to `parser`. zlib reads gzip data (by its content, whatever the
// name) and passes other data through; a name ending in ".gz" must hold gzip data.
void read_file(std::string const& file, TrackParser& parser) {
  auto const fail = [&file](std::string const& what) {
    throw TrackError{TrackError::Kind::bad_input, "read_tracks",
                     (file == "-" ? std::string{"stdin"} : file) + ": " + what};
  };
  // zlib starts some of its messages with the path.
  auto const zlib_message = [&file](char const* message) {
    std::string_view text{message};
    auto const prefix = file + ": ";
    if (text.substr(0, prefix.size()) == prefix) {
      text.remove_prefix(prefix.size());
    } else if (text.substr(0, 4) == "<fd:" && text.find(": ") != std::string_view::npos) {
      text.remove_prefix(text.find(": ") + 2);
    }
    return std::string{text};
  };
  GzFile input;
  if (file == "-") {
    auto const descriptor = ::dup(STDIN_FILENO);
    if (descriptor < 0) fail(std::string{"cannot read standard input: "} + std::strerror(errno));
    input.reset(gzdopen(descriptor, "rb"));
    if (!input) ::close(descriptor);
  } else {
    std::error_code error;
    if (std::filesystem::is_directory(file, error)) {
      fail("cannot read the file: it is a directory");
    }
    errno = 0;
    input.reset(gzopen(file.c_str(), "rb"));
    if (!input) {
      fail(std::string{"cannot read the file: "} +
           (errno != 0 ? std::strerror(errno) : "out of memory"));
    }
  }
  if (!input) fail("cannot read standard input");
  gzbuffer(input.get(), 1U << 17U);

  std::vector<char> buffer(CHUNK);
  std::string pending;  // a line cut by the end of a chunk
  bool checked_gzip = false;
  while (true) {
    auto const count = gzread(input.get(), buffer.data(), static_cast<unsigned>(buffer.size()));
    if (count < 0) {
      int code = Z_OK;
      char const* message = gzerror(input.get(), &code);
      if (code == Z_ERRNO) fail(std::string{"cannot read the file: "} + std::strerror(errno));
      fail("cannot decompress: " + zlib_message(message));
    }
    if (!checked_gzip && count > 0) {
      checked_gzip = true;
      if (ends_with_gz(file) && gzdirect(input.get()) != 0) {
        fail("cannot decompress: not in gzip format");
      }
    }
    if (count == 0) break;
    std::string_view chunk{buffer.data(), static_cast<std::size_t>(count)};
    while (!chunk.empty()) {
      auto const newline = chunk.find('\n');
      if (newline == std::string_view::npos) {
        if (pending.size() + chunk.size() > MAX_LINE_BYTES) {
          throw TrackError{TrackError::Kind::bad_input, "read_tracks",
                           (file == "-" ? std::string{"stdin"} : file) + ":" +
                               std::to_string(parser.lines_read() + 1) +
                               ": the line is longer than " + std::to_string(MAX_LINE_BYTES >> 20) +
                               " MiB, the longest line read (is this a text "
                               "file?)"};
        }
        pending.append(chunk.data(), chunk.size());
        break;
      }
      if (pending.empty()) {
        parser.line(chunk.substr(0, newline));
      } else {
        pending.append(chunk.data(), newline);
        parser.line(pending);
        pending.clear();
      }
      chunk.remove_prefix(newline + 1);
    }
  }
  int code = Z_OK;
  char const* message = gzerror(input.get(), &code);
  if (code != Z_OK) fail("cannot decompress: " + zlib_message(message));
  if (!pending.empty()) parser.line(pending);
}

void check_names(std::vector<std::string> const& files, std::vector<std::string> const& names) {
  std::map<std::string, std::size_t> seen;
  for (std::size_t i = 0; i < names.size(); ++i) {
    auto const& name = names[i];
    auto const where = "the curve name " + quote_text(name) + " of " + files[i];
    if (name.empty())
      throw TrackError{TrackError::Kind::bad_input, "read_tracks",
                       "the curve name of " + files[i] + " is empty"};
    for (char const c : name) {
      auto const byte = static_cast<unsigned char>(c);
      if (c == ',' || byte < 0x20U || byte == 0x7FU) {
        throw TrackError{TrackError::Kind::bad_input, "read_tracks",
                         where +
                             " holds a comma or a control character, which would break the "
                             "output's names column (choose names with --names)"};
      }
    }
    auto const [found, added] = seen.emplace(name, i);
    if (!added) {
      throw TrackError{TrackError::Kind::bad_input, "read_tracks",
                       "the curve name " + quote_text(name) + " is given to both " +
                           files[found->second] + " and " + files[i] +
                           " (choose names with --names)"};
    }
  }
}

}  // namespace

TrackSet read_tracks(std::vector<std::string> const& files, std::vector<std::string> names,
                     std::string const& format) {
  TrackFormat chosen = TrackFormat::automatic;
  if (format == "bed") {
    chosen = TrackFormat::bed;
  } else if (format == "table") {
    chosen = TrackFormat::table;
  } else if (format != "auto") {
    throw TrackError{TrackError::Kind::bad_input, "read_tracks",
                     "unknown format " + quote_text(format) + " (formats: auto, bed, table)"};
  }
  if (files.empty())
    throw TrackError{TrackError::Kind::bad_input, "read_tracks", "no input file given"};
  if (names.empty()) {
    for (auto const& file : files) names.push_back(curve_name_of(file));
  } else if (names.size() != files.size()) {
    throw TrackError{TrackError::Kind::bad_input, "read_tracks",
                     "--names gives " + count_of(names.size(), "name") + " for " +
                         count_of(files.size(), "file")};
  }
  std::size_t stdin_count = 0;
  for (auto const& file : files) stdin_count += file == "-" ? 1 : 0;
  if (stdin_count > 1)
    throw TrackError{TrackError::Kind::bad_input, "read_tracks",
                     "standard input (-) is named twice"};
  check_names(files, names);

  TrackSet set;
  set.names = std::move(names);
  set.counts.resize(files.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    auto const file_format = chosen != TrackFormat::automatic ? chosen : format_of_name(files[i]);
    TrackParser parser{files[i] == "-" ? std::string{"stdin"} : files[i], i, files.size(),
                       file_format, set};
    read_file(files[i], parser);
  }
  return set;
}

TrackSet tracks_from_columns(std::vector<TrackColumns> const& tracks,
                             std::vector<std::string> names, TrackFormat format) {
  if (names.size() != tracks.size()) {
    throw TrackError{TrackError::Kind::bad_input, "tracks_from_columns",
                     count_of(names.size(), "name") + " for " + count_of(tracks.size(), "track")};
  }
  std::vector<std::string> labels;
  for (std::size_t i = 0; i < tracks.size(); ++i) labels.push_back("track " + std::to_string(i));
  check_names(labels, names);
  TrackSet set;
  set.names = std::move(names);
  set.counts.resize(tracks.size());
  for (std::size_t i = 0; i < tracks.size(); ++i) {
    auto const& columns = tracks[i];
    auto const bed = format == TrackFormat::bed ||
                     (format == TrackFormat::automatic && !columns.sequences.empty());
    if (columns.starts.size() != columns.ends.size() ||
        (bed && columns.sequences.size() != columns.starts.size())) {
      throw TrackError{TrackError::Kind::bad_input, "tracks_from_columns",
                       labels[i] + ": " + count_of(columns.sequences.size(), "sequence name") +
                           ", " + count_of(columns.starts.size(), "start") + " and " +
                           count_of(columns.ends.size(), "end") + " (one each per row)"};
    }
    TrackParser parser{labels[i], i, tracks.size(), bed ? TrackFormat::bed : TrackFormat::table,
                       set};
    for (std::size_t row = 0; row < columns.starts.size(); ++row) {
      parser.record(bed ? std::string_view{columns.sequences[row]} : std::string_view{},
                    columns.starts[row], columns.ends[row]);
    }
  }
  return set;
}

}  // namespace velk::tracks

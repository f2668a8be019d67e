#include <velk/tracks/track_reader.hpp>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
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

// GFF and VCF rows are read as BED intervals: a set of them is BED.
TrackFormat family(TrackFormat format) {
  return format == TrackFormat::gff || format == TrackFormat::vcf ? TrackFormat::bed : format;
}

char const* format_name(TrackFormat format) {
  return family(format) == TrackFormat::bed ? "BED, GFF or VCF (rows that name a sequence)"
                                            : "a plain table (start end)";
}

bool is_allele(std::string_view field) {
  if (field.empty()) return false;
  for (char const c : field) {
    if (std::strchr("ACGTNacgtn", c) == nullptr) return false;
  }
  return true;
}

bool is_strand(std::string_view field) {
  return field == "+" || field == "-" || field == "." || field == "?";
}

// The format of a data row of a file whose format is not fixed: VCF (a position, an ID, a
// reference allele), GFF (start, end and strand in columns 4, 5 and 7), BED (a sequence name,
// not a number, then start or end), else a plain table.
TrackFormat format_of_row(std::vector<std::string_view> const& fields) {
  if (fields.size() >= 8 && is_number(fields[1]) && !is_number(fields[2]) && is_allele(fields[3])) {
    return TrackFormat::vcf;
  }
  if (fields.size() >= 9 && is_number(fields[3]) && is_number(fields[4]) && is_strand(fields[6])) {
    return TrackFormat::gff;
  }
  return fields.size() >= 3 && !is_number(fields[0]) &&
                 (is_number(fields[1]) || is_number(fields[2]))
             ? TrackFormat::bed
             : TrackFormat::table;
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
  if (format_ == TrackFormat::automatic && records_ == 0 && begins_with(text, "##")) {
    // The first line of a VCF or GFF file names its format.
    if (begins_with(text, "##fileformat=vcf")) format_ = TrackFormat::vcf;
    if (begins_with(text, "##gff-version")) format_ = TrackFormat::gff;
  }
  if ((format_ == TrackFormat::gff || format_ == TrackFormat::vcf) && text.front() == '#') {
    // Their comments and directives may come anywhere (GFF's "###" between features).
    note_header(text);
    return;
  }
  if (records_ == 0) {
    // Before the first record: the header lines bedtools' readers skip ("#" comments, and
    // "track", "browser" or "chrom" lines that do not read as a record), and a table's
    // header, a first line without any number.
    if (text.front() == '#' || (begins_like_a_header(text) && !reads_as_bed_record(text))) {
      note_header(text);
      return;
    }
    if ((format_ == TrackFormat::automatic || format_ == TrackFormat::table) &&
        !holds_a_number(text) && !table_header_) {
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
    split_tabs(text, fields_);
    format_ = format_of_row(fields_);
  }
  if (set_.format == TrackFormat::automatic) {
    set_.format = family(format_);
  } else if (set_.format != family(format_)) {
    fail(std::string{"this file is "} + format_name(format_) + ", but an earlier file is " +
         format_name(set_.format) + ": all files must be of one kind (see --format)");
  }
  if (records_ == 0 && table_header_ && family(format_) == TrackFormat::bed) {
    // The line taken for a table's header in a BED file: it is a bad record.
    auto const [number, header] = *table_header_;
    auto const current = line_number_;
    line_number_ = number;
    bed_row(header);
    line_number_ = current;
  }
  ++records_;
  switch (format_) {
    case TrackFormat::gff:
      gff_row(text);
      break;
    case TrackFormat::vcf:
      vcf_row(text);
      break;
    case TrackFormat::table:
      table_row(text);
      break;
    default:
      bed_row(text);
  }
}

void TrackParser::record(std::string_view sequence, double start, double end) {
  ++line_number_;
  if (format_ == TrackFormat::automatic) {
    format_ = sequence.empty() ? TrackFormat::table : TrackFormat::bed;
  }
  if (set_.format == TrackFormat::automatic) {
    set_.format = family(format_);
  } else if (set_.format != family(format_)) {
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

void TrackParser::restart_sequences() {
  sequence_index_.clear();
  last_sequence_.clear();
  last_track_ = nullptr;
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

double TrackParser::coordinate(std::string_view what, std::string_view field, double lowest) {
  double value = 0;
  bool plain = false;
  auto const name = std::string{what};
  if (!parse_number(field, value, plain))
    fail(name + " " + quoted_field(field) + " is not a number");
  if (!std::isfinite(value)) fail(name + " " + quoted_field(field) + " is not a finite number");
  if (value < lowest) {
    fail(name + " " + std::string{field} +
         (lowest == 0 ? " is negative (BED coordinates start at 0)"
                      : " is below 1 (GFF and VCF positions start at 1)"));
  }
  std::string const kind = lowest == 0 ? "BED coordinates" : "GFF and VCF positions";
  if (value != std::floor(value)) {
    fail(name + " " + quoted_field(field) + " is not a whole number (" + kind + " are integers)");
  }
  if (value > MAX_BED_COORDINATE) {
    fail(name + " " + quoted_field(field) + " is too large (" + kind + " stop at 2^53)");
  }
  return value;
}

void TrackParser::bed_row(std::string_view text) {
  split_tabs(text, fields_);
  if (fields_.size() < 3) {
    fail("expected tab-separated columns seq, start and end, not " + quoted_line(text));
  }
  if (fields_[0].empty()) fail("the sequence name is empty in " + quoted_line(text));
  auto const start = coordinate("start", fields_[1], 0);
  auto const end = coordinate("end", fields_[2], 0);
  if (start > end) {
    fail("start " + std::string{fields_[1]} + " is greater than end " + std::string{fields_[2]});
  }
  interval(fields_[0], start, end);
}

void TrackParser::gff_row(std::string_view text) {
  split_tabs(text, fields_);
  if (fields_.size() < 8) {
    fail(
        "expected tab-separated GFF columns seq, source, feature, start, end, score, strand "
        "and frame, not " +
        quoted_line(text));
  }
  auto const start = coordinate("start", fields_[3], 1);
  auto const end = coordinate("end", fields_[4], 1);
  if (start > end) {
    fail("start " + std::string{fields_[3]} + " is greater than end " + std::string{fields_[4]});
  }
  // 1-based, end included: bases start .. end are BED's [start - 1, end).
  interval(fields_[0], start - 1, end);
}

void TrackParser::vcf_row(std::string_view text) {
  split_tabs(text, fields_);
  if (fields_.size() < 5) {
    fail("expected tab-separated VCF columns CHROM, POS, ID, REF and ALT, not " +
         quoted_line(text));
  }
  auto const position = coordinate("position", fields_[1], 1);
  auto const reference = fields_[3];
  if (reference.empty() || reference == ".") {
    fail("the reference allele " + quoted_field(reference) + " is empty");
  }
  // The bases of the reference allele, from the 1-based position; a symbolic allele
  // (<DEL>, <INS>, ...) covers its reference base too, whatever its SVLEN or END.
  interval(fields_[0], position - 1, position - 1 + static_cast<double>(reference.size()));
}

void TrackParser::interval(std::string_view sequence, double start, double end) {
  if (sequence.empty()) fail("the sequence name is empty");
  if (end > MAX_BED_COORDINATE) fail("the end " + format_number(end) + " is too large");
  auto& track = track_of(sequence);
  if (start == end) {
    // bedtools' rule: a zero-length interval [s, s] (an insertion point between two bases)
    // stands for the bases on both sides, [s - 1, s + 1]; at 0 only [0, 1].
    ++set_.counts[file_].zero_length;
    start = std::max(0.0, start - 1);
    end += 1;
  }
  // Coordinates of BED, GFF and VCF are whole numbers, printed as integers (`010` is 10).
  track.starts.push_back(start);
  track.ends.push_back(end);
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
  auto const ends_with = [&name](std::string_view suffix) {
    return name.size() > suffix.size() &&
           name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
  };
  if (ends_with(".bed")) return TrackFormat::bed;
  if (ends_with(".gff") || ends_with(".gff3") || ends_with(".gtf")) return TrackFormat::gff;
  if (ends_with(".vcf")) return TrackFormat::vcf;
  return TrackFormat::automatic;
}

TrackFormat format_named(std::string const& name) {
  if (name == "auto") return TrackFormat::automatic;
  if (name == "bed") return TrackFormat::bed;
  if (name == "table") return TrackFormat::table;
  if (name == "gff") return TrackFormat::gff;
  if (name == "vcf") return TrackFormat::vcf;
  throw TrackError{TrackError::Kind::bad_input, "format_named",
                   "unknown format " + quote_text(name) + " (formats: auto, bed, table, gff, vcf)"};
}

void order_sequences(TrackSet& set) {
  std::stable_sort(
      set.sequences.begin(), set.sequences.end(),
      [](SequenceTracks const& a, SequenceTracks const& b) { return a.name < b.name; });
}

namespace {

struct GzCloser {
  void operator()(gzFile file) const { gzclose(file); }
};
using GzFile = std::unique_ptr<gzFile_s, GzCloser>;

bool ends_with_gz(std::string const& file) {
  return file.size() > 3 && file.compare(file.size() - 3, 3, ".gz") == 0;
}

// The lines of a file, one at a time (without their line break). zlib reads gzip data (by its
// content, whatever the name) and passes other data through; a name ending in ".gz" must hold
// gzip data.
class LineReader {
 public:
  explicit LineReader(std::string file) : file_{std::move(file)} {
    if (file_ == "-") {
      auto const descriptor = ::dup(STDIN_FILENO);
      if (descriptor < 0) fail(std::string{"cannot read standard input: "} + std::strerror(errno));
      input_.reset(gzdopen(descriptor, "rb"));
      if (!input_) ::close(descriptor);
    } else {
      std::error_code error;
      if (std::filesystem::is_directory(file_, error)) {
        fail("cannot read the file: it is a directory");
      }
      errno = 0;
      input_.reset(gzopen(file_.c_str(), "rb"));
      if (!input_) {
        fail(std::string{"cannot read the file: "} +
             (errno != 0 ? std::strerror(errno) : "out of memory"));
      }
    }
    if (!input_) fail("cannot read standard input");
    gzbuffer(input_.get(), 1U << 17U);
  }

  // The next line into `line` (valid until the next call); false at the end of the file.
  bool next(std::string_view& line) {
    while (true) {
      auto const newline = chunk_.find('\n');
      if (newline != std::string_view::npos) {
        ++lines_read_;
        if (pending_.empty()) {
          line = chunk_.substr(0, newline);
        } else {
          pending_.append(chunk_.data(), newline);
          line_.swap(pending_);
          pending_.clear();
          line = line_;
        }
        chunk_.remove_prefix(newline + 1);
        return true;
      }
      if (pending_.size() + chunk_.size() > MAX_LINE_BYTES) {
        throw TrackError{TrackError::Kind::bad_input, "read_tracks",
                         name() + ":" + std::to_string(lines_read_ + 1) +
                             ": the line is longer than " + std::to_string(MAX_LINE_BYTES >> 20) +
                             " MiB, the longest line read (is this a text file?)"};
      }
      pending_.append(chunk_.data(), chunk_.size());
      chunk_ = {};
      if (done_ || !fill()) {
        done_ = true;
        if (pending_.empty()) return false;
        ++lines_read_;
        line_.swap(pending_);
        pending_.clear();
        line = line_;
        return true;
      }
    }
  }

 private:
  std::string name() const { return file_ == "-" ? std::string{"stdin"} : file_; }

  [[noreturn]] void fail(std::string const& what) const {
    throw TrackError{TrackError::Kind::bad_input, "read_tracks", name() + ": " + what};
  }

  // zlib starts some of its messages with the path.
  std::string zlib_message(char const* message) const {
    std::string_view text{message};
    auto const prefix = file_ + ": ";
    if (text.substr(0, prefix.size()) == prefix) {
      text.remove_prefix(prefix.size());
    } else if (text.substr(0, 4) == "<fd:" && text.find(": ") != std::string_view::npos) {
      text.remove_prefix(text.find(": ") + 2);
    }
    return std::string{text};
  }

  // Reads the next chunk; false at the end of the data.
  bool fill() {
    if (buffer_.empty()) buffer_.resize(CHUNK);
    auto const count = gzread(input_.get(), buffer_.data(), static_cast<unsigned>(buffer_.size()));
    if (count < 0) {
      int code = Z_OK;
      char const* message = gzerror(input_.get(), &code);
      if (code == Z_ERRNO) fail(std::string{"cannot read the file: "} + std::strerror(errno));
      fail("cannot decompress: " + zlib_message(message));
    }
    if (!checked_gzip_ && count > 0) {
      checked_gzip_ = true;
      if (ends_with_gz(file_) && gzdirect(input_.get()) != 0) {
        fail("cannot decompress: not in gzip format");
      }
    }
    if (count == 0) {
      int code = Z_OK;
      char const* message = gzerror(input_.get(), &code);
      if (code != Z_OK) fail("cannot decompress: " + zlib_message(message));
      return false;
    }
    chunk_ = std::string_view{buffer_.data(), static_cast<std::size_t>(count)};
    return true;
  }

  std::string file_;
  GzFile input_;
  std::vector<char> buffer_;
  std::string_view chunk_;
  std::string pending_;  // a line cut by the end of a chunk
  std::string line_;
  std::size_t lines_read_ = 0;
  bool checked_gzip_ = false;
  bool done_ = false;
};

void read_lines(std::string const& file, std::function<void(std::string_view)> const& line) {
  LineReader reader{file};
  std::string_view text;
  while (reader.next(text)) line(text);
}

void read_file(std::string const& file, TrackParser& parser) {
  read_lines(file, [&parser](std::string_view text) { parser.line(text); });
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

namespace {

// A set with the names of the files' curves, checked, and no rows yet.
TrackSet named_set(std::vector<std::string> const& files, std::vector<std::string> names) {
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
  return set;
}

std::string source_name(std::string const& file) {
  return file == "-" ? std::string{"stdin"} : file;
}

// Whether a line holds a row (not a blank, comment or header line), as the parser would
// take it; `records`: whether the file had a row before.
bool holds_a_row(std::string_view text, bool records) {
  if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
  if (is_blank(text) || text.front() == '#') return false;
  return records || !begins_like_a_header(text) || reads_as_bed_record(text);
}

std::string_view sequence_of(std::string_view text) { return text.substr(0, text.find('\t')); }

}  // namespace

TrackSet read_tracks(std::vector<std::string> const& files, std::vector<std::string> names,
                     std::string const& format) {
  TrackFormat const chosen = format_named(format);
  auto set = named_set(files, std::move(names));
  for (std::size_t i = 0; i < files.size(); ++i) {
    auto const file_format = chosen != TrackFormat::automatic ? chosen : format_of_name(files[i]);
    TrackParser parser{files[i] == "-" ? std::string{"stdin"} : files[i], i, files.size(),
                       file_format, set};
    read_file(files[i], parser);
  }
  order_sequences(set);
  return set;
}

bool grouped_by_sequence(std::vector<std::string> const& files, std::string const& format,
                         std::string& why) {
  why.clear();
  auto const chosen = format_named(format);
  if (chosen == TrackFormat::table) return false;
  std::vector<std::string_view> fields;
  for (auto const& file : files) {
    if (file == "-") return false;
    auto file_format = chosen != TrackFormat::automatic ? chosen : format_of_name(file);
    std::unique_ptr<LineReader> reader;
    try {
      reader = std::make_unique<LineReader>(file);
    } catch (TrackError const&) {
      return false;  // reported by the reader that reads the rows
    }
    std::string previous;
    bool records = false;
    std::size_t number = 0;
    std::string_view text;
    while (reader->next(text)) {
      ++number;
      if (file_format == TrackFormat::automatic && !records && begins_with(text, "##")) {
        if (begins_with(text, "##fileformat=vcf")) file_format = TrackFormat::vcf;
        if (begins_with(text, "##gff-version")) file_format = TrackFormat::gff;
      }
      if (!holds_a_row(text, records)) continue;
      if (!records && file_format == TrackFormat::automatic) {
        split_tabs(text, fields);
        file_format = format_of_row(fields);
      }
      if (file_format == TrackFormat::table) return false;
      records = true;
      auto const name = sequence_of(text);
      if (name == previous) continue;
      if (!previous.empty() && !(previous < name)) {
        why = source_name(file) + ":" + std::to_string(number) + ": sequence " +
              quoted_field(name) + " after " + quoted_field(previous);
        return false;
      }
      previous.assign(name.data(), name.size());
    }
  }
  return true;
}

struct TrackStream::Impl {
  struct File {
    std::unique_ptr<LineReader> reader;
    std::unique_ptr<TrackParser> parser;
    std::string head;       // the first row of the next sequence, once read
    std::string head_name;  // its sequence
    bool has_head = false;
    bool ended = false;
    bool records = false;
  };
  TrackSet set;
  std::vector<File> files;

  // Feeds `file`'s lines to its parser up to the first row of a sequence other than `target`
  // (kept as its head), or to its end.
  void advance(File& file, std::string_view target) {
    std::string_view text;
    while (file.reader->next(text)) {
      if (holds_a_row(text, file.records)) {
        file.records = true;
        auto const name = sequence_of(text);
        if (name != target) {
          file.head.assign(text.data(), text.size());
          file.head_name.assign(name.data(), name.size());
          file.has_head = true;
          return;
        }
      }
      file.parser->line(text);
    }
    file.ended = true;
  }
};

TrackStream::TrackStream(std::vector<std::string> const& files, std::vector<std::string> names,
                         std::string const& format)
    : impl_{std::make_unique<Impl>()} {
  auto const chosen = format_named(format);
  impl_->set = named_set(files, std::move(names));
  for (std::size_t i = 0; i < files.size(); ++i) {
    auto const file_format = chosen != TrackFormat::automatic ? chosen : format_of_name(files[i]);
    Impl::File file;
    file.reader = std::make_unique<LineReader>(files[i]);
    file.parser = std::make_unique<TrackParser>(source_name(files[i]), i, files.size(), file_format,
                                                impl_->set);
    impl_->files.push_back(std::move(file));
  }
}

TrackStream::~TrackStream() = default;

TrackSet& TrackStream::set() { return impl_->set; }

bool TrackStream::next(SequenceTracks& sequence) {
  auto& set = impl_->set;
  while (true) {
    std::string const* target = nullptr;
    for (auto& file : impl_->files) {
      if (!file.has_head && !file.ended) impl_->advance(file, {});
      if (file.has_head && (target == nullptr || file.head_name < *target)) {
        target = &file.head_name;
      }
    }
    if (target == nullptr) return false;
    auto const name = *target;
    for (auto& file : impl_->files) {
      if (!file.has_head || file.head_name != name) continue;
      file.has_head = false;
      file.parser->line(file.head);
      impl_->advance(file, name);
      if (file.has_head && file.head_name < name) {
        throw TrackError{TrackError::Kind::bad_input, "TrackStream::next",
                         "sequence " + quote_text(file.head_name) + " after " + quote_text(name) +
                             ": the rows are not grouped by sequence in name order"};
      }
    }
    if (set.sequences.empty()) continue;
    sequence = std::move(set.sequences.front());
    set.sequences.clear();
    for (auto& file : impl_->files) file.parser->restart_sequences();
    return true;
  }
}

std::unordered_map<std::string, double> read_genome(std::string const& file) {
  std::unordered_map<std::string, double> lengths;
  std::size_t number = 0;
  std::vector<std::string_view> fields;
  read_lines(file, [&](std::string_view text) {
    ++number;
    auto const fail = [&](std::string const& what) {
      throw TrackError{TrackError::Kind::bad_input, "read_genome",
                       file + ":" + std::to_string(number) + ": " + what};
    };
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    if (is_blank(text) || text.front() == '#') return;
    split_tabs(text, fields);
    if (fields.size() < 2 || fields[0].empty()) {
      fail("expected tab-separated columns seq and length, not " + quoted_line(text));
    }
    double length = 0;
    bool plain = false;
    if (!parse_number(fields[1], length, plain) || !(length >= 0) || length != std::floor(length) ||
        length > MAX_BED_COORDINATE) {
      fail("the length " + quoted_field(fields[1]) + " is not a whole number from 0 to 2^53");
    }
    if (!lengths.emplace(std::string{fields[0]}, length).second) {
      fail("the sequence " + quoted_field(fields[0]) + " is listed twice");
    }
  });
  return lengths;
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
  order_sequences(set);
  return set;
}

}  // namespace velk::tracks

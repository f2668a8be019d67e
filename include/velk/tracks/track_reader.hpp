// Interval tracks for `overlay`: BED files and plain tables of `start end` rows, read
// straight into flat arrays (one pair of coordinates per row, no document, no object per
// row). Each file is one track; BED rows also name a sequence, and the tracks are grouped by
// sequence in the order of first appearance. The format rules are in docs/format.md.
//
//   velk::tracks::TrackSet set = velk::tracks::read_tracks({"a.bed", "b.bed.gz"}, {}, "auto");
//   set.sequences[0].tracks[1].starts;   // starts of b's rows on the first sequence
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include <velk/tracks/velk_tracks_export.hpp>

namespace velk::tracks {

// The longest line of a track file read, in bytes: a longer one (a binary file, a
// decompression bomb of one endless line) is refused, `file:N: the line is longer than ...`.
inline constexpr std::size_t MAX_LINE_BYTES = std::size_t{64} << 20;

enum class TrackFormat { automatic, bed, table };

// How each coordinate is printed back: spelling `PLAIN` prints the value as an integer
// (the value was read as one); any other spelling is the text it was read as.
class VELK_TRACKS_API Spellings {
 public:
  static constexpr std::uint32_t PLAIN = 0;

  // Stores `text`; returns its spelling (never `PLAIN`).
  std::uint32_t add(std::string_view text);
  std::string_view text(std::uint32_t spelling) const;
  std::size_t size() const { return ends_.size(); }

 private:
  std::string text_;
  std::vector<std::size_t> ends_;
};

// The rows of one file on one sequence, in file order: interval i is [starts[i], ends[i]].
// The spelling arrays are empty while every coordinate is `PLAIN`.
struct Track {
  std::vector<double> starts;
  std::vector<double> ends;
  std::vector<std::uint32_t> start_spellings;
  std::vector<std::uint32_t> end_spellings;

  std::size_t size() const { return starts.size(); }
  std::uint32_t start_spelling(std::size_t i) const {
    return start_spellings.empty() ? Spellings::PLAIN : start_spellings[i];
  }
  std::uint32_t end_spelling(std::size_t i) const {
    return end_spellings.empty() ? Spellings::PLAIN : end_spellings[i];
  }
};

// One sequence (one background line) and one track per file (empty when the file has no
// row on it). A plain table's single line has an empty name.
struct SequenceTracks {
  std::string name;
  std::vector<Track> tracks;
};

// Counts of one file, for the log.
struct FileCounts {
  std::size_t rows = 0;         // intervals kept
  std::size_t zero_length = 0;  // BED: widened; table: skipped
  std::size_t headers = 0;      // header lines skipped
  std::size_t first_header_line = 0;
  std::string first_header;  // its text, on one line and shortened
};

// Every file read: their format (`bed` or `table`; `automatic` only when no file had a data
// row), the curve names, the sequences in order of first appearance, and the spellings.
struct TrackSet {
  TrackFormat format = TrackFormat::automatic;
  std::vector<std::string> names;
  std::vector<SequenceTracks> sequences;
  Spellings spellings;
  std::vector<FileCounts> counts;
};

// Parses one file's lines (pushed one at a time, without their line break) into a
// `TrackSet`, as file number `file` of `nb_files`. Throws `TrackError` (`bad_input`)
// naming `source`, the line number and the offending value. Also the entry point of the
// fuzz target of the row readers.
class VELK_TRACKS_API TrackParser {
 public:
  TrackParser(std::string source, std::size_t file, std::size_t nb_files, TrackFormat format,
              TrackSet& set);

  void line(std::string_view text);

  // One row given as values rather than text (`sequence` empty for a plain table), checked
  // and kept as the same row read from a file would be (zero-length rule included).
  void record(std::string_view sequence, double start, double end);

  // The format decided from the data (`automatic` while no data line came).
  TrackFormat format() const { return format_; }

  // The number of lines pushed so far.
  std::size_t lines_read() const { return line_number_; }

 private:
  [[noreturn]] void fail(std::string const& what) const;
  void note_header(std::string_view text);
  void bed_row(std::string_view text);
  void table_row(std::string_view text);
  void add(std::size_t sequence, double start, std::string_view start_text, bool start_plain,
           double end, std::string_view end_text, bool end_plain);
  Track& track_of(std::string_view sequence);
  std::uint32_t spelling(std::string_view text, bool plain);

  std::string source_;
  std::size_t file_;
  std::size_t nb_files_;
  TrackFormat format_;
  TrackSet& set_;
  std::size_t line_number_ = 0;
  std::size_t records_ = 0;
  // The first line without any number, taken for a table's header (line number, text).
  std::optional<std::pair<std::size_t, std::string>> table_header_;
  // The sequence of the previous BED row: rows come grouped by sequence.
  std::string last_sequence_;
  Track* last_track_ = nullptr;
  std::unordered_map<std::string, std::size_t> sequence_index_;
  std::vector<std::string_view> fields_;
};

// The curve name of a file: its base name without ".gz" and its last extension
// ("data/aluY.bed.gz" is "aluY"), "stdin" for "-".
VELK_TRACKS_API std::string curve_name_of(std::string const& file);

// The format of a file from its name: `bed` for "*.bed" and "*.bed.gz", else `automatic`.
VELK_TRACKS_API TrackFormat format_of_name(std::string const& file);

// Reads every file (through zlib when the data is gzip, "-" is standard input) and names
// the curves (`names`, else by `curve_name_of`). `format` is "auto", "bed" or "table".
// Throws `TrackError` (`bad_input`) for an unreadable or undecompressable file, a bad
// row, files of both formats, or bad or duplicate names.
VELK_TRACKS_API TrackSet read_tracks(std::vector<std::string> const& files,
                                     std::vector<std::string> names, std::string const& format);

// The rows of one track held in memory: row i is [starts[i], ends[i]] on sequence
// sequences[i] (no sequences for a plain table).
struct TrackColumns {
  std::vector<std::string> sequences;
  std::vector<double> starts;
  std::vector<double> ends;
};

// The tracks held in memory as `read_tracks` reads them from files: `format` `bed` (every
// track has sequences), `table`, or `automatic` (BED when a track has sequences). The rows go
// through the checks and the zero-length rule of file rows, their coordinates printed in the
// shortest exact form. Throws `TrackError` (`bad_input`) for a bad row, columns of unequal
// lengths, bad or duplicate names, or names not one per track.
VELK_TRACKS_API TrackSet tracks_from_columns(std::vector<TrackColumns> const& tracks,
                                             std::vector<std::string> names, TrackFormat format);

// Parses `field` as a whole as a number. Returns false when it is not one; else sets
// `value` (infinite or NaN for "inf", "nan", or a number beyond the range of a double) and
// `plain`: whether `field` is an integer as `std::to_chars` of an int64 writes it, with at
// most 15 digits.
VELK_TRACKS_API bool parse_number(std::string_view field, double& value, bool& plain);

}  // namespace velk::tracks

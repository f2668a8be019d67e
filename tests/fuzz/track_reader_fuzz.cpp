// Fuzz target of the row readers of `overlay` (BED files and plain tables): reads a byte
// string as up to three files (separated by NUL bytes; the first byte picks the format, as
// --format would, or the name's extension) and feeds their lines to the parser. A refusal
// (`TrackError` of kind `bad_input` and a message naming the file and line) is expected; any
// other exception, a crash, a sanitizer report or a broken invariant of what was read aborts
// with a description:
// - every interval is [start, end] with finite start < end (zero-length rows are widened in
//   BED and skipped in tables), BED coordinates are not negative;
// - spelling arrays are empty or one per interval, and every spelling exists and reads
//   back, as a number, to its coordinate;
// - the counts of each file add up to the intervals read.
//
// Built twice: with clang and libFuzzer (tests/fuzz/CMakeLists.txt, scripts/fuzz with
// VELK_FUZZ_TARGET=track_reader), and with the project's compiler into the corpus replay
// test (tests/tracks), which feeds every file of tests/fuzz/track_reader_corpus to it.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include <velk/tracks/track_error.hpp>
#include <velk/tracks/track_reader.hpp>

namespace {

using velk::tracks::Spellings;
using velk::tracks::Track;
using velk::tracks::TrackFormat;
using velk::tracks::TrackParser;
using velk::tracks::TrackSet;

[[noreturn]] void fail(std::string const& what) {
  std::fprintf(stderr, "track reader fuzz finding: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

void check_spelling(TrackSet const& set, std::uint32_t spelling, double value) {
  if (spelling == Spellings::PLAIN) {
    if (value != std::floor(value) || std::abs(value) >= 1e16) {
      fail("a plain spelling for the non-integer " + std::to_string(value));
    }
    return;
  }
  if (spelling > set.spellings.size()) fail("spelling " + std::to_string(spelling) + " missing");
  double read = 0;
  bool plain = false;
  auto const text = set.spellings.text(spelling);
  if (!velk::tracks::parse_number(text, read, plain) || read != value) {
    fail("spelling \"" + std::string{text} + "\" does not read back as " + std::to_string(value));
  }
}

void check(TrackSet const& set, std::size_t nb_files) {
  std::vector<std::size_t> intervals(nb_files, 0);
  for (auto const& sequence : set.sequences) {
    if (sequence.tracks.size() != nb_files) fail("a sequence without one track per file");
    if (set.format == TrackFormat::bed && sequence.name.empty()) fail("an unnamed BED sequence");
    for (std::size_t f = 0; f < nb_files; ++f) {
      Track const& track = sequence.tracks[f];
      intervals[f] += track.size();
      if (track.ends.size() != track.size()) fail("starts and ends of different sizes");
      bool const spelled = !track.start_spellings.empty();
      if (spelled && (track.start_spellings.size() != track.size() ||
                      track.end_spellings.size() != track.size())) {
        fail("spellings not one per interval");
      }
      for (std::size_t i = 0; i < track.size(); ++i) {
        auto const start = track.starts[i];
        auto const end = track.ends[i];
        if (!std::isfinite(start) || !std::isfinite(end) || !(start < end)) {
          fail("interval [" + std::to_string(start) + ", " + std::to_string(end) + "]");
        }
        if (set.format == TrackFormat::bed && start < 0) fail("a negative BED start");
        check_spelling(set, track.start_spelling(i), start);
        check_spelling(set, track.end_spelling(i), end);
      }
    }
  }
  for (std::size_t f = 0; f < nb_files; ++f) {
    if (set.counts[f].rows != intervals[f]) fail("the counts do not add up");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
  if (size == 0) return 0;
  static constexpr TrackFormat FORMATS[] = {TrackFormat::automatic, TrackFormat::bed,
                                            TrackFormat::table};
  auto const format = FORMATS[data[0] % 3];
  std::string_view rest{reinterpret_cast<char const*>(data) + 1, size - 1};
  std::vector<std::string_view> files;
  while (files.size() < 2) {
    auto const cut = rest.find('\0');
    if (cut == std::string_view::npos) break;
    files.push_back(rest.substr(0, cut));
    rest.remove_prefix(cut + 1);
  }
  files.push_back(rest);

  TrackSet set;
  set.names.assign(files.size(), "c");
  set.counts.resize(files.size());
  try {
    for (std::size_t f = 0; f < files.size(); ++f) {
      TrackParser parser{"f" + std::to_string(f), f, files.size(), format, set};
      auto text = files[f];
      while (!text.empty()) {
        auto const newline = text.find('\n');
        parser.line(text.substr(0, newline));
        if (newline == std::string_view::npos) break;
        text.remove_prefix(newline + 1);
      }
    }
  } catch (velk::tracks::TrackError const& error) {
    std::string_view const message{error.detail()};
    if (error.kind() != velk::tracks::TrackError::Kind::bad_input || message.substr(0, 1) != "f" ||
        message.find(':') == std::string_view::npos) {
      fail("unexpected refusal: " + std::string{message});
    }
    return 0;
  }
  check(set, files.size());
  return 0;
}

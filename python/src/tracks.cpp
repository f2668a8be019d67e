// The tracks library seen from Python: files or columns in, flat numpy arrays out, the GIL
// released while reading and overlaying. Every rule (formats, zero-length rows, merging a
// track's rows, one line per sequence) is the library's; the package's `read_bed` and
// `overlay` (velk_background_line/_tracks.py) only lay the arrays out as DataFrames.
#include "tracks.hpp"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <velk/tracks.hpp>

#include "arguments.hpp"
#include "line.hpp"
#include "log_bridge.hpp"

namespace velk_python {
namespace {

namespace tracks = velk::tracks;

// A track given in memory: sequence names (None for a plain table), starts and ends.
tracks::TrackColumns columns_argument(py::handle track) {
  auto const parts = track.cast<py::tuple>();
  if (parts.size() != 3)
    throw py::value_error("[overlay] a track in memory is (seqs, starts, ends)");
  tracks::TrackColumns columns;
  if (!parts[0].is_none()) columns.sequences = parts[0].cast<std::vector<std::string>>();
  auto const starts = Points::ensure(parts[1]);
  auto const ends = Points::ensure(parts[2]);
  if (!starts || !ends || starts.ndim() != 1 || ends.ndim() != 1) {
    PyErr_Clear();
    throw py::value_error("[overlay] starts and ends must be one-dimensional arrays of numbers");
  }
  columns.starts.assign(starts.data(), starts.data() + starts.size());
  columns.ends.assign(ends.data(), ends.data() + ends.size());
  return columns;
}

// Whether rows of this format name their sequence (BED, GFF/GTF and VCF; not a plain table).
bool names_sequences(tracks::TrackFormat format) {
  return format == tracks::TrackFormat::bed || format == tracks::TrackFormat::gff ||
         format == tracks::TrackFormat::vcf;
}

// The rows of one file: (sequence names, per row the sequence's index, starts, ends, whether
// every coordinate is an integer, whether the file is BED).
py::tuple read_track(std::string const& path, std::string const& format) {
  auto set = [&] {
    follow_python_level();
    py::gil_scoped_release release;
    return tracks::read_tracks({path}, {}, format);
  }();
  std::vector<std::string> sequences;
  std::vector<std::uint32_t> sequence_of_row;
  std::vector<double> starts;
  std::vector<double> ends;
  bool plain = true;
  for (auto const& sequence : set.sequences) {
    auto const& track = sequence.tracks.front();
    sequences.push_back(sequence.name);
    sequence_of_row.insert(sequence_of_row.end(), track.size(),
                           static_cast<std::uint32_t>(sequences.size() - 1));
    starts.insert(starts.end(), track.starts.begin(), track.starts.end());
    ends.insert(ends.end(), track.ends.begin(), track.ends.end());
    plain = plain && track.start_spellings.empty() && track.end_spellings.empty();
  }
  return py::make_tuple(sequences, owned_array(std::move(sequence_of_row)),
                        owned_array(std::move(starts)), owned_array(std::move(ends)), plain,
                        names_sequences(set.format));
}

// The rows of every line in axis order, lines in sequence order, flattened: each row's
// sequence and set of tracks are indices into tables held once.
struct OverlayRows {
  std::vector<std::string> names;      // one per track
  std::vector<std::string> sequences;  // one per line
  std::vector<std::uint32_t> sequence_of_row;
  std::vector<double> starts;
  std::vector<double> ends;
  std::vector<std::uint32_t> set_of_row;
  std::vector<std::uint8_t> members;  // sets x tracks: 1 when the set holds the track
  bool plain = true;
  bool bed = false;
};

OverlayRows overlay_rows(tracks::TrackSet set, unsigned threads) {
  OverlayRows rows;
  rows.names = set.names;
  rows.bed = names_sequences(set.format);
  auto const nb_tracks = rows.names.size();
  std::map<std::vector<std::uint64_t>, std::uint32_t> set_index;
  for (auto const& line : tracks::overlay(std::move(set), threads)) {
    rows.sequences.push_back(line.sequence);
    auto const sequence = static_cast<std::uint32_t>(rows.sequences.size() - 1);
    // This line's sets, numbered across lines.
    std::vector<std::uint32_t> global(line.sets.size());
    for (std::size_t s = 0; s < line.sets.size(); ++s) {
      auto const [found, added] =
          set_index.try_emplace(line.sets[s].words(), static_cast<std::uint32_t>(set_index.size()));
      global[s] = found->second;
      if (added) {
        for (std::size_t t = 0; t < nb_tracks; ++t) {
          rows.members.push_back(line.sets[s].contains(t) ? 1 : 0);
        }
      }
    }
    auto const& x = line.breakpoints.x;
    auto const& spelling = line.breakpoints.spelling;
    for (std::size_t edge = 0; edge < line.set_of_edge.size(); ++edge) {
      if (line.set_of_edge[edge] == tracks::LineRows::NO_SET) continue;
      rows.sequence_of_row.push_back(sequence);
      rows.starts.push_back(x[edge]);
      rows.ends.push_back(x[edge + 1]);
      rows.set_of_row.push_back(global[line.set_of_edge[edge]]);
      rows.plain = rows.plain && spelling[edge] == tracks::Spellings::PLAIN &&
                   spelling[edge + 1] == tracks::Spellings::PLAIN;
    }
  }
  return rows;
}

// Tracks as paths (str) or as (seqs, starts, ends) columns, all of one kind: the overlay's
// rows as (names, sequences, sequence of each row, starts, ends, set of each row, members
// as a (sets, tracks) array, plain, bed).
py::tuple overlay_tracks(py::list const& given, py::object const& names, unsigned threads,
                         std::string const& format) {
  std::vector<std::string> chosen;
  if (!names.is_none()) chosen = names.cast<std::vector<std::string>>();
  bool const paths = given.size() > 0 && py::isinstance<py::str>(given[0]);
  std::vector<std::string> files;
  std::vector<tracks::TrackColumns> columns;
  for (auto const track : given) {
    if (paths) {
      files.push_back(track.cast<std::string>());
    } else {
      columns.push_back(columns_argument(track));
    }
  }
  auto const kind = tracks::format_named(format);
  follow_python_level();
  auto rows = [&] {
    py::gil_scoped_release release;
    auto set = paths ? tracks::read_tracks(files, std::move(chosen), format)
                     : tracks::tracks_from_columns(columns, std::move(chosen), kind);
    return overlay_rows(std::move(set), threads);
  }();
  auto const nb_tracks = static_cast<py::ssize_t>(rows.names.size());
  auto const nb_sets =
      nb_tracks == 0 ? 0 : static_cast<py::ssize_t>(rows.members.size()) / nb_tracks;
  auto members = owned_array(std::move(rows.members));
  members.resize({nb_sets, nb_tracks});
  return py::make_tuple(rows.names, rows.sequences, owned_array(std::move(rows.sequence_of_row)),
                        owned_array(std::move(rows.starts)), owned_array(std::move(rows.ends)),
                        owned_array(std::move(rows.set_of_row)), members, rows.plain, rows.bed);
}

}  // namespace

void register_tracks(py::module_& module) {
  module.def("_read_track", &read_track, py::arg("path"), py::arg("format") = "auto",
             "The rows of one track file as flat arrays; see velk_background_line.read_bed.");
  module.def("_overlay", &overlay_tracks, py::arg("tracks"), py::arg("names") = py::none(),
             py::arg("threads") = 0U, py::arg("format") = "auto",
             "The overlay's rows as flat arrays; see velk_background_line.overlay.");
}

}  // namespace velk_python

// The rule that turns a line's background edges, each with the set of tracks it carries,
// into the rows of the line (`LineRows`). The rows' breakpoints are those of the tracks'
// merged rows (`row_breakpoints`); the background may be finer (a line that carries every
// row as an edge of its own has a vertex at each row end, also inside a track's merged
// stretch): an edge that starts inside a row must carry the row's set, and the row takes the
// set of the edge it starts with. Both the overlay's own line and a line built for other
// outputs (the JSON result of the tool) give the same rows through it.
//
//   velk::tracks::EdgeRows rows{"chr1", velk::tracks::row_breakpoints(sequence, true),
//                               "\"chr1\""};
//   velk::tracks::CurveSet tracks{names.size()};
//   for (each background edge in axis order) {
//     tracks.clear();
//     tracks.insert(curve_of_each_macro_element);
//     rows.add(edge_start, tracks);
//   }
//   velk::tracks::LineRows line = std::move(rows).finish();
#pragma once

#include <cstddef>
#include <string>

#include <velk/tracks/rows_writer.hpp>
#include <velk/tracks/velk_tracks_export.hpp>

namespace velk::tracks {

class VELK_TRACKS_API EdgeRows {
 public:
  // `sequence`: the rows' first column (empty for a plain table); `breakpoints`: those of
  // the rows; `label`: how messages name the line.
  EdgeRows(std::string sequence, Breakpoints breakpoints, std::string label);

  // The next background edge in axis order: its start (in the tracks' units) and the
  // tracks it carries (empty: none). Throws `TrackError` (`failed`) when the edge starts
  // at no breakpoint and inside no row, or inside a row of another set of tracks.
  void add(double start, CurveSet const& tracks);

  Breakpoints const& breakpoints() const { return rows_.breakpoints; }

  // The rows. Throws `TrackError` (`failed`) when the edges added did not reach every row.
  LineRows finish() &&;

 private:
  [[noreturn]] void fail(std::string const& what) const;

  LineRows rows_;
  std::string label_;
  std::size_t next_ = 0;  // the breakpoint the next row starts at
};

// The breakpoints of a line's rows: the ends of each track's rows merged where they overlap
// or touch (and 0 when `from_zero`, for BED), sorted and distinct. Of equal coordinates the
// smallest spelling of a merged end is kept (a plain integer spelling first, else the first
// read).
VELK_TRACKS_API Breakpoints row_breakpoints(SequenceTracks const& sequence, bool from_zero);

}  // namespace velk::tracks

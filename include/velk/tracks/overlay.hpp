// The overlay of interval tracks: one background line per sequence, each track inserted as a
// curve whose edges are its rows merged where they overlap or touch, and the background
// edges that carry something read back as rows `seq start end count names` together with the
// set of tracks each row belongs to. Lines run on worker threads and come out in sequence
// order.
//
//   auto set = velk::tracks::read_tracks({"a.bed", "b.bed"}, {}, "auto");
//   velk::tracks::overlay(set, 2, [&](velk::tracks::LineRows const& rows) {
//     velk::tracks::write_rows(std::cout, rows, set.names, set.spellings);
//   });
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include <velk/background_line/scaling.hpp>
#include <velk/tracks/rows_writer.hpp>
#include <velk/tracks/track_reader.hpp>
#include <velk/tracks/velk_tracks_export.hpp>

namespace velk::tracks {

// How messages name a line: the quoted sequence, or "table" for a plain table.
VELK_TRACKS_API std::string line_label(SequenceTracks const& sequence);

// The breakpoints of a line: every start and end of its rows (and 0 when `from_zero`, for
// BED), sorted and distinct, each with the spelling it is printed in (a plain integer
// spelling first, else the first spelling read).
VELK_TRACKS_API Breakpoints breakpoints_of(SequenceTracks const& sequence, bool from_zero);

// The scaling of a line's coordinates under which the library snaps no breakpoint onto
// another. Throws `TrackError` (`bad_input`) when there is none.
VELK_TRACKS_API Scaling line_scaling(SequenceTracks const& sequence,
                                     Breakpoints const& breakpoints);

// The rows of one line (`names`: one per track; `bed`: the rows are BED, the axis starts at
// 0 and rows name their sequence). Logs what it inserts at info level. Throws `TrackError`:
// `bad_input` when the coordinates cannot be kept apart, `failed` when an insertion fails.
VELK_TRACKS_API LineRows overlay_line(SequenceTracks sequence,
                                      std::vector<std::string> const& names, bool bed);

// The rows of every line of `set`, worked on up to `threads` threads (0: one per core) and
// handed to `sink` on the calling thread in sequence order. The sequences of `set` are
// consumed (moved out) as they are worked on. Throws what `overlay_line` and `sink` throw.
VELK_TRACKS_API void overlay(TrackSet& set, unsigned threads,
                             std::function<void(LineRows const&)> const& sink);

// The rows of every line of `set`, collected.
VELK_TRACKS_API std::vector<LineRows> overlay(TrackSet set, unsigned threads);

// The number of threads an overlay of `count` sequences uses when asked for `requested`
// (0: one per core): at most one per core and one per sequence.
VELK_TRACKS_API unsigned overlay_threads(unsigned requested, std::size_t count);

}  // namespace velk::tracks

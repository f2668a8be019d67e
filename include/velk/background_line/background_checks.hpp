// Warnings about a background that is usable but probably not what was meant, logged through
// the library's `Logger` at warn level (so every program built on the library, the Python
// module included, shows the same lines): background edges that overlap others (points given
// unsorted, a folded background) and background edges of zero length.
//
//   velk::warn_about_background({30.0, 0.0, 20.0, 10.0}, edges, velk::Scaling{});
//   // background: 2 edges overlap other background edges, e.g. edge 0 (30 to 0) overlaps ...
#pragma once

#include <array>

#include <absl/types/span.h>

#include <basic/common.hpp>
#include <velk/background_line/scaling.hpp>
#include <velk/background_line/velk_background_line_export.hpp>

namespace velk {

// Logs one warning line per kind of suspicious background, with a count and the first
// example. `points` are in the caller's units, `edges` index them (checked by the caller),
// `scaling` is the one the line is built with: overlaps and lengths are measured as the
// library measures them, on the scaled coordinates.
VELK_BACKGROUND_LINE_API void warn_about_background(absl::Span<double const> points,
                                                    absl::Span<std::array<index_t, 2> const> edges,
                                                    Scaling const& scaling);

}  // namespace velk

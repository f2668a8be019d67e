// Where a point falls on a one-dimensional edged curve.
//
//   auto edge = velk::detail::find_containing_edge(point, curve, modifier, *initial);
//   auto snap = velk::detail::snapping_detection<1>(curve, *edge, point);
#pragma once

#include <optional>

#include <geometry/point.hpp>
#include <mesh/edged_curve.hpp>
#include <modifier/edged_curve_modifier.hpp>
#include <modifier/velk_modifier_edged_curve_export.hpp>

namespace velk::detail {

// The live edge of `curve` that contains `point` within `GEOMETRIC_TOLERANCE`, starting
// from `initial` (used when it still contains the point; it may be stale, detached or out
// of range). Empty when no edge contains the point. O(log n) whatever was edited since
// `initial` was found. Throws `LumoraException` when `modifier` edits another curve.
VELK_MODIFIER_EDGED_CURVE_API std::optional<index_t> find_containing_edge(
    Point<1> const& point, EdgedCurve<1> const& curve, EdgedCurveModifier<1> const& modifier,
    index_t initial);

// The local index (0 or 1) of the edge's vertex that `point` is within the tolerance of,
// the nearer one when both are (0 on a tie, as on a zero-length edge); empty when the
// point must split the edge. Throws `LumoraException` when `edge` is out of range.
template <unsigned dimension>
std::optional<unsigned char> snapping_detection(EdgedCurve<dimension> const& curve, index_t edge,
                                                Point<dimension> const& point);

template <>
VELK_MODIFIER_EDGED_CURVE_API std::optional<unsigned char> snapping_detection<1>(
    EdgedCurve<1> const& curve, index_t edge, Point<1> const& point);

}  // namespace velk::detail

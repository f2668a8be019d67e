// Where a point falls on a one-dimensional edged curve.
//
//   auto edge = velk::detail::find_containing_edge(point, curve, modifier, *initial);
//   auto snap = velk::detail::snapping_detection<1>(curve, *edge, point);
#pragma once

#include <optional>

#include <geometry/point.hpp>
#include <geometry/tolerance.hpp>
#include <mesh/edged_curve.hpp>
#include <modifier/edged_curve_modifier.hpp>
#include <modifier/velk_modifier_edged_curve_export.hpp>

namespace velk::detail {

// Where a point lands on a curve, the rule both functions below follow: a point within the
// tolerance (`within_tolerance`, exact) of one or more vertices of live edges lands on the
// nearest of them, so a point exactly on a vertex always lands on that one; of vertices
// equally near, on the one with the smaller coordinate, then the smaller index. Otherwise
// it splits the live edge that holds it strictly between its ends, never an edge whose
// span does not hold it. A point to which neither applies lies on no edge.

// Whether vertex `a` at `a_x` comes before vertex `b` at `b_x` as the landing place of a
// point at `x`: nearer, then at the smaller coordinate, then of the smaller index.
inline bool snaps_before(double x, double a_x, index_t a, double b_x, index_t b) {
  auto const to_a = distance(x, a_x);
  auto const to_b = distance(x, b_x);
  if (to_a < to_b) return true;
  if (to_b < to_a) return false;
  return a_x < b_x || (a_x == b_x && a < b);
}

// The live edge of `curve` on which `point` lands: when the point snaps onto a vertex, an
// edge that ends at that vertex (`initial` when it is one, else the first in the order of
// lower end, then index); otherwise the edge that holds the point strictly inside
// (`initial` when it does, else the first in that order). `initial` may be stale,
// detached or out of range. Empty when the point lies on no edge or is not finite.
// O(log n) whatever was edited since `initial` was found, for a curve whose edges do not
// nest. Throws `LumoraException` when `modifier` edits another curve.
VELK_MODIFIER_EDGED_CURVE_API std::optional<index_t> find_containing_edge(
    Point<1> const& point, EdgedCurve<1> const& curve, EdgedCurveModifier<1> const& modifier,
    index_t initial);

// The local index (0 or 1) of the end of `edge` onto which `point` snaps: of the ends
// within the tolerance, the first by `snaps_before` (0 when both are one vertex); empty
// when neither end is within it, and the point must split the edge. On the edge that
// `find_containing_edge` returns, this is the vertex the point lands on. Throws
// `LumoraException` when `edge` is out of range.
template <unsigned dimension>
std::optional<unsigned char> snapping_detection(EdgedCurve<dimension> const& curve, index_t edge,
                                                Point<dimension> const& point);

template <>
VELK_MODIFIER_EDGED_CURVE_API std::optional<unsigned char> snapping_detection<1>(
    EdgedCurve<1> const& curve, index_t edge, Point<1> const& point);

}  // namespace velk::detail

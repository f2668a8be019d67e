#include <modifier/detection.hpp>

#include <cmath>

#include <geometry/tolerance.hpp>

namespace velk::detail {

std::optional<index_t> find_containing_edge(Point<1> const& point, EdgedCurve<1> const& curve,
                                            EdgedCurveModifier<1> const& modifier,
                                            index_t initial) {
  if (&modifier.curve() != &curve) {
    throw LumoraException{
        "[detail::find_containing_edge] the modifier edits another curve than the one given"};
  }
  return modifier.containing_edge(point, initial);
}

template <>
std::optional<unsigned char> snapping_detection<1>(EdgedCurve<1> const& curve, index_t edge,
                                                   Point<1> const& point) {
  detail::check_index(edge, curve.nb_edges(), "detail::snapping_detection", "edge");
  auto const& vertices = curve.edge_vertices(edge);
  auto const x = point.value(0);
  auto const to_first = std::abs(x - curve.point(vertices[0]).value(0));
  auto const to_second = std::abs(x - curve.point(vertices[1]).value(0));
  if (to_first <= GEOMETRIC_TOLERANCE || to_second <= GEOMETRIC_TOLERANCE) {
    return static_cast<unsigned char>(to_first <= to_second ? 0 : 1);
  }
  return std::nullopt;
}

}  // namespace velk::detail

#include <modifier/detection.hpp>

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
  auto const first_x = curve.point(vertices[0]).value(0);
  auto const second_x = curve.point(vertices[1]).value(0);
  auto const near_first = within_tolerance(x, first_x);
  auto const near_second = within_tolerance(x, second_x);
  if (near_first && near_second) {
    return static_cast<unsigned char>(
        snaps_before(x, second_x, vertices[1], first_x, vertices[0]) ? 1 : 0);
  }
  if (near_first) return static_cast<unsigned char>(0);
  if (near_second) return static_cast<unsigned char>(1);
  return std::nullopt;
}

}  // namespace velk::detail

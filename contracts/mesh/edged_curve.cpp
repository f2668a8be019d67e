#include <mesh/edged_curve.hpp>

namespace velk {

EdgedCurve<1>::EdgedCurve() = default;

EdgedCurve<1>::~EdgedCurve() = default;

Segment<1> EdgedCurve<1>::segment(index_t edge) const {
  detail::check_index(edge, nb_edges(), "EdgedCurve::segment", "edge");
  auto const& vertices = edge_vertices(edge);
  return Segment<1>{point(vertices[0]), point(vertices[1])};
}

std::unique_ptr<EdgedCurve<1>> EdgedCurve<1>::clone() const {
  auto copy = std::make_unique<EdgedCurve<1>>();
  copy->copy_graph(*this);
  copy->copy_points(*this);
  return copy;
}

}  // namespace velk

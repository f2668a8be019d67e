#include <mesh/edged_curve_builder.hpp>

#include <algorithm>

#include <mesh/coordinate_reference_system_managers_impl.hpp>

namespace velk {

struct EdgedCurveBuilder<1>::Impl {
  EdgedCurve<1>& curve;

  std::vector<Point<1>>& points() {
    return static_cast<CoordinateReferenceSystemManagers<1>&>(curve).impl_->points;
  }
};

EdgedCurveBuilder<1>::EdgedCurveBuilder(EdgedCurve<1>& curve)
    : GraphBuilder{curve}, impl_{std::make_unique<Impl>(Impl{curve})} {}

EdgedCurveBuilder<1>::~EdgedCurveBuilder() = default;

index_t EdgedCurveBuilder<1>::create_point(Point<1> const& point) {
  auto const vertex = create_vertices(1);
  impl_->points()[vertex] = point;
  return vertex;
}

void EdgedCurveBuilder<1>::set_point(index_t vertex, Point<1> const& point) {
  auto& points = impl_->points();
  detail::check_index(vertex, static_cast<index_t>(points.size()), "EdgedCurveBuilder::set_point",
                      "vertex");
  points[vertex] = point;
  record_edit();
}

void EdgedCurveBuilder<1>::on_vertices_created(index_t new_count) {
  impl_->points().resize(new_count);
}

void EdgedCurveBuilder<1>::on_vertices_reserved(index_t capacity) {
  auto& points = impl_->points();
  if (capacity > points.capacity()) {
    points.reserve(std::max<std::size_t>(capacity, 2 * points.capacity()));
  }
}

void EdgedCurveBuilder<1>::on_vertices_renumbered(absl::Span<index_t const> old_to_new,
                                                  index_t new_count) {
  auto& points = impl_->points();
  std::vector<Point<1>> renumbered(new_count);
  for (std::size_t old_vertex = 0; old_vertex < old_to_new.size(); ++old_vertex) {
    auto const new_vertex = old_to_new[old_vertex];
    if (new_vertex != NO_ID) renumbered[new_vertex] = points[old_vertex];
  }
  points = std::move(renumbered);
}

}  // namespace velk

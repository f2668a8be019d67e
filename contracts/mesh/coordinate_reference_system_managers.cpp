#include <mesh/coordinate_reference_system_managers.hpp>

#include <mesh/coordinate_reference_system_managers_impl.hpp>

namespace velk {

CoordinateReferenceSystemManagers<1>::CoordinateReferenceSystemManagers()
    : impl_{std::make_unique<Impl>()} {}

CoordinateReferenceSystemManagers<1>::~CoordinateReferenceSystemManagers() = default;

Point<1> const& CoordinateReferenceSystemManagers<1>::point(index_t vertex) const {
  detail::check_index(vertex, static_cast<index_t>(impl_->points.size()),
                      "EdgedCurve::point", "vertex");
  return impl_->points[vertex];
}

void CoordinateReferenceSystemManagers<1>::copy_points(
    CoordinateReferenceSystemManagers const& other) {
  impl_->points = other.impl_->points;
}

}  // namespace velk

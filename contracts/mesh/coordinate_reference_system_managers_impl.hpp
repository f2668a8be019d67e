// Private state of `CoordinateReferenceSystemManagers<1>`, shared with the curve builder.
#pragma once

#include <vector>

#include <mesh/coordinate_reference_system_managers.hpp>

namespace velk {

struct CoordinateReferenceSystemManagers<1>::Impl {
  std::vector<Point<1>> points;
};

}  // namespace velk

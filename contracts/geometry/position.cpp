#include <geometry/position.hpp>

#include <algorithm>
#include <cmath>

namespace velk {

template <>
POSITION point_segment_position<1>(Point<1> const& point, Segment<1> const& segment) {
  auto const x = point.value(0);
  auto const a = segment.vertex(0).value(0);
  auto const b = segment.vertex(1).value(0);
  // A NaN coordinate makes every comparison below false, which would report a point lying
  // on the one valid end of the segment as lying on the other end.
  if (std::isnan(x) || std::isnan(a) || std::isnan(b)) return POSITION::outside;
  auto const to_a = std::abs(x - a);
  auto const to_b = std::abs(x - b);
  if (to_a <= GEOMETRIC_TOLERANCE || to_b <= GEOMETRIC_TOLERANCE) {
    return to_a <= to_b ? POSITION::vertex0 : POSITION::vertex1;
  }
  if (std::min(a, b) < x && x < std::max(a, b)) return POSITION::inside;
  return POSITION::outside;
}

}  // namespace velk

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
  auto const to_a = distance(x, a);
  auto const to_b = distance(x, b);
  if (within_tolerance(to_a) || within_tolerance(to_b)) {
    return to_b < to_a ? POSITION::vertex1 : POSITION::vertex0;
  }
  if (std::min(a, b) < x && x < std::max(a, b)) return POSITION::inside;
  return POSITION::outside;
}

}  // namespace velk

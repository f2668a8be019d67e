// Where a point lies with respect to a segment, within `GEOMETRIC_TOLERANCE`.
//
//   auto position = velk::point_segment_position<1>(point, segment);
//   if (position != velk::POSITION::outside) { /* on the segment */ }
#pragma once

#include <geometry/lumora_geometry_export.hpp>
#include <geometry/segment.hpp>
#include <geometry/tolerance.hpp>

namespace velk {

// `outside` has value 0; every other value means the point lies on the segment.
enum struct POSITION : unsigned char { outside = 0, inside, vertex0, vertex1 };

// `vertex0` or `vertex1` when the point is within the tolerance of that end, measured
// exactly (`within_tolerance`; the nearer end when both are, `vertex0` on a tie),
// `inside` when it lies strictly between the ends, `outside` otherwise, including for a
// NaN point or segment.
template <unsigned dimension>
POSITION point_segment_position(Point<dimension> const& point, Segment<dimension> const& segment);

template <>
LUMORA_GEOMETRY_API POSITION point_segment_position<1>(Point<1> const& point,
                                                      Segment<1> const& segment);

}  // namespace velk

// Segments between two points.
//
//   velk::Segment<1> segment{velk::Point<1>{{0.0}}, velk::Point<1>{{2.0}}};
//   segment.vertex(1).value(0);   // 2.0
#pragma once

#include <array>

#include <geometry/point.hpp>

namespace velk {

// The segment from `vertex(0)` to `vertex(1)`; it holds copies of both points.
template <unsigned dimension>
class Segment {
 public:
  Segment(Point<dimension> const& first, Point<dimension> const& second)
      : vertices_{{first, second}} {}

  // `index` must be 0 or 1 (anything else reads vertex 1).
  Point<dimension> const& vertex(unsigned index) const { return vertices_[index == 0 ? 0 : 1]; }
  std::array<Point<dimension>, 2> const& vertices() const { return vertices_; }

 private:
  std::array<Point<dimension>, 2> vertices_;
};

}  // namespace velk

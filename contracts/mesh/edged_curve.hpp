// One-dimensional edged curves: vertices with one coordinate, joined by edges.
//
//   velk::EdgedCurve<1> curve;                       // empty, fresh random uuid
//   velk::EdgedCurveBuilder<1> builder{curve};
//   auto v0 = builder.create_point(velk::Point<1>{{0.0}});
//   auto v1 = builder.create_point(velk::Point<1>{{2.5}});
//   auto e = builder.create_edge(v0, v1);
//   curve.segment(e).vertex(1).value(0);             // 2.5
#pragma once

#include <memory>

#include <geometry/segment.hpp>
#include <mesh/coordinate_reference_system_managers.hpp>
#include <mesh/graph.hpp>

namespace velk {

template <unsigned dimension>
class EdgedCurve;

// A graph whose vertices carry a `Point<1>`. Built and edited through
// `EdgedCurveBuilder<1>`; neither copyable nor movable (use `clone()`).
template <>
class LUMORA_MESH_API EdgedCurve<1> : public Graph, public CoordinateReferenceSystemManagers<1> {
 public:
  EdgedCurve();
  ~EdgedCurve() override;

  // The segment from the edge's first vertex to its second; throws `LumoraException`
  // when `edge` is out of range.
  Segment<1> segment(index_t edge) const;

  // An independent deep copy: same uuid and name, vertices, points, edges (detached ones
  // included) and every attribute.
  std::unique_ptr<EdgedCurve<1>> clone() const;
};

}  // namespace velk

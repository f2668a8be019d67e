// The coordinates of a mesh's vertices.
//
//   curve.point(vertex).value(0);
#pragma once

#include <memory>

#include <basic/common.hpp>
#include <geometry/point.hpp>
#include <mesh/lumora_mesh_export.hpp>

namespace velk {

template <unsigned dimension>
class CoordinateReferenceSystemManagers;
template <unsigned dimension>
class EdgedCurveBuilder;

// One `Point<1>` per vertex, written by `EdgedCurveBuilder<1>`.
template <>
class LUMORA_MESH_API CoordinateReferenceSystemManagers<1> {
 public:
  virtual ~CoordinateReferenceSystemManagers();
  CoordinateReferenceSystemManagers(CoordinateReferenceSystemManagers const&) = delete;
  CoordinateReferenceSystemManagers& operator=(CoordinateReferenceSystemManagers const&) = delete;

  // The vertex's point; throws `LumoraException` when `vertex` is out of range.
  Point<1> const& point(index_t vertex) const;

 protected:
  CoordinateReferenceSystemManagers();
  void copy_points(CoordinateReferenceSystemManagers const& other);

 private:
  friend class EdgedCurveBuilder<1>;

  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace velk

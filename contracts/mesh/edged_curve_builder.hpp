// The writer of an `EdgedCurve<1>`.
//
//   velk::EdgedCurve<1> curve;
//   velk::EdgedCurveBuilder<1> builder{curve};
//   builder.set_name("well-A");
//   auto v0 = builder.create_point(velk::Point<1>{{0.0}});
//   auto v1 = builder.create_point(velk::Point<1>{{2.5}});
//   auto e = builder.create_edge(v0, v1);
#pragma once

#include <geometry/point.hpp>
#include <mesh/edged_curve.hpp>
#include <mesh/graph_builder.hpp>

namespace velk {

template <unsigned dimension>
class EdgedCurveBuilder;

// Creates vertices with their points, sets points and edits the curve's topology
// (inherited from `GraphBuilder`). The curve must outlive the builder.
template <>
class LUMORA_MESH_API EdgedCurveBuilder<1> : public GraphBuilder {
 public:
  explicit EdgedCurveBuilder(EdgedCurve<1>& curve);
  ~EdgedCurveBuilder() override;

  // Creates a vertex at `point`, with no edge; returns its index.
  index_t create_point(Point<1> const& point);

  // Moves an existing vertex; throws `LumoraException` when `vertex` is out of range.
  void set_point(index_t vertex, Point<1> const& point);

 private:
  void on_vertices_created(index_t new_count) override;
  void on_vertices_renumbered(absl::Span<index_t const> old_to_new, index_t new_count) override;
  void on_vertices_reserved(index_t capacity) override;

  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace velk

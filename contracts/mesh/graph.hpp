// Vertices joined by edges.
//
//   auto [v0, v1] = curve.edge_vertices(edge);
//   for (auto const& around : curve.edges_around_vertex(v0)) {
//     auto far = curve.edge_vertex(around.opposite());
//   }
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include <absl/container/inlined_vector.h>

#include <mesh/mesh_element.hpp>
#include <mesh/vertex_set.hpp>

namespace velk {

// Edges between vertices, each vertex knowing the edges around it. An edge can be
// detached by a modifier: it then keeps its two vertices and its attributes but is no
// longer listed around them, until a clean removes it. Every accessor checks its indices
// and throws `LumoraException` naming the call and the bad index.
class LUMORA_MESH_API Graph : public VertexSet {
 public:
  ~Graph() override;

  // Number of edges, detached ones included.
  index_t nb_edges() const;

  // The edge's first and second vertex.
  std::array<index_t, 2> const& edge_vertices(index_t edge) const;

  // The vertex at one end of an edge.
  index_t edge_vertex(EdgeVertex const& edge_vertex) const;

  // One entry per edge incident to `vertex` (a loop edge twice), with the vertex's local
  // index in that edge. The reference stays valid until the graph is next edited.
  absl::InlinedVector<EdgeVertex, 2> const& edges_around_vertex(index_t vertex) const;

  // Whether a modifier detached the edge (it is then listed around no vertex).
  bool is_edge_detached(index_t edge) const;

  // The edges' attribute manager, writable through a const graph like the vertices' one.
  AttributeManager& edge_attribute_manager() const;

  // A counter that changes with every edit made through a builder; lets caches built over
  // the graph tell whether they are still current.
  std::uint64_t revision() const;

 protected:
  Graph();
  void copy_graph(Graph const& other);

 private:
  friend class GraphBuilder;

  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace velk

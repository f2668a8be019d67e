#include <mesh/graph.hpp>

#include <vector>

#include <mesh/graph_impl.hpp>

namespace velk {

Graph::Graph() : impl_{std::make_unique<Impl>()} {}

Graph::~Graph() = default;

index_t Graph::nb_edges() const { return static_cast<index_t>(impl_->edges.size()); }

std::array<index_t, 2> const& Graph::edge_vertices(index_t edge) const {
  detail::check_index(edge, nb_edges(), "Graph::edge_vertices", "edge");
  return impl_->edges[edge];
}

index_t Graph::edge_vertex(EdgeVertex const& edge_vertex) const {
  detail::check_index(edge_vertex.edge_id, nb_edges(), "Graph::edge_vertex", "edge");
  detail::check_index(edge_vertex.vertex_id, 2, "Graph::edge_vertex", "local vertex");
  return impl_->edges[edge_vertex.edge_id][edge_vertex.vertex_id];
}

absl::InlinedVector<EdgeVertex, 2> const& Graph::edges_around_vertex(index_t vertex) const {
  detail::check_index(vertex, static_cast<index_t>(impl_->around.size()),
                      "Graph::edges_around_vertex", "vertex");
  return impl_->around[vertex];
}

bool Graph::is_edge_detached(index_t edge) const {
  detail::check_index(edge, nb_edges(), "Graph::is_edge_detached", "edge");
  return impl_->detached[edge] != 0;
}

AttributeManager& Graph::edge_attribute_manager() const { return impl_->edge_attributes; }

std::uint64_t Graph::revision() const { return impl_->revision; }

void Graph::copy_graph(Graph const& other) {
  copy_vertex_set(other);
  impl_->edges = other.impl_->edges;
  impl_->around = other.impl_->around;
  impl_->detached = other.impl_->detached;
  impl_->edge_attributes.copy_from(other.impl_->edge_attributes);
  impl_->revision = 0;
}

}  // namespace velk

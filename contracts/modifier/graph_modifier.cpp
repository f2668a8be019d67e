#include <modifier/graph_modifier.hpp>

#include <numeric>

namespace velk {
namespace {

std::vector<index_t> identity_mapping(index_t count) {
  std::vector<index_t> mapping(count);
  std::iota(mapping.begin(), mapping.end(), index_t{0});
  return mapping;
}

}  // namespace

struct GraphModifier::Impl {
  Graph const& graph;
  GraphBuilder& builder;
  std::vector<index_t> detached_vertices;
  unsigned clean_stamp{0};
};

GraphModifier::GraphModifier(Graph const& graph, GraphBuilder& builder)
    : impl_{std::make_unique<Impl>(Impl{graph, builder, {}, 0})} {}

GraphModifier::~GraphModifier() = default;

Graph const& GraphModifier::graph() const { return impl_->graph; }

GraphBuilder& GraphModifier::graph_builder() const { return impl_->builder; }

unsigned GraphModifier::clean_stamp() const { return impl_->clean_stamp; }

void GraphModifier::detach_vertex(index_t vertex) {
  detail::check_index(vertex, impl_->graph.nb_vertices(), "GraphModifier::detach_vertex",
                      "vertex");
  impl_->detached_vertices.push_back(vertex);
}

std::vector<index_t> GraphModifier::clean_edges() {
  auto const& graph = impl_->graph;
  std::vector<bool> to_delete(graph.nb_edges(), false);
  bool any = false;
  for (index_t edge = 0; edge < graph.nb_edges(); ++edge) {
    if (graph.is_edge_detached(edge)) {
      to_delete[edge] = true;
      any = true;
    }
  }
  if (!any) return identity_mapping(graph.nb_edges());
  auto old_to_new = impl_->builder.delete_edges(to_delete);
  ++impl_->clean_stamp;
  return old_to_new;
}

std::vector<index_t> GraphModifier::clean_vertices() {
  auto const& graph = impl_->graph;
  std::vector<bool> to_delete(graph.nb_vertices(), false);
  bool any = false;
  for (auto const vertex : impl_->detached_vertices) {
    // A vertex given edges again since it was detached is kept.
    if (vertex < graph.nb_vertices() && graph.edges_around_vertex(vertex).empty()) {
      to_delete[vertex] = true;
      any = true;
    }
  }
  impl_->detached_vertices.clear();
  if (!any) return identity_mapping(graph.nb_vertices());
  auto old_to_new = impl_->builder.delete_vertices(to_delete);
  clear_vertex_merges();
  ++impl_->clean_stamp;
  return old_to_new;
}

}  // namespace velk

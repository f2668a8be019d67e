#include <mesh/graph_builder.hpp>

#include <algorithm>

#include <absl/strings/str_cat.h>

#include <mesh/graph_impl.hpp>
#include <mesh/vertex_set_impl.hpp>

namespace velk {
namespace {

void remove_entry(absl::InlinedVector<EdgeVertex, 2>& around, EdgeVertex const& entry) {
  for (auto it = around.begin(); it != around.end(); ++it) {
    if (*it == entry) {
      around.erase(it);
      return;
    }
  }
}

void check_mask(std::vector<bool> const& mask, index_t count, char const* operation,
                char const* what) {
  if (mask.size() != count) {
    throw LumoraException{absl::StrCat("[", operation, "] ", mask.size(), " flags given for ",
                                       count, " ", what, "s")};
  }
}

// Room for `count` elements, grown geometrically: many small reservations in a row cost no
// more than growing one element at a time.
template <typename Vector>
void reserve_geometrically(Vector& values, std::size_t count) {
  if (count > values.capacity()) values.reserve(std::max(count, 2 * values.capacity()));
}

// Old-to-new indices that keep unflagged elements in order.
std::vector<index_t> compacting_mapping(std::vector<bool> const& to_delete, index_t& kept) {
  std::vector<index_t> old_to_new(to_delete.size(), NO_ID);
  kept = 0;
  for (std::size_t index = 0; index < to_delete.size(); ++index) {
    if (!to_delete[index]) old_to_new[index] = kept++;
  }
  return old_to_new;
}

}  // namespace

struct GraphBuilder::Impl {
  Graph& graph;
};

GraphBuilder::GraphBuilder(Graph& graph) : impl_{std::make_unique<Impl>(Impl{graph})} {}

GraphBuilder::~GraphBuilder() = default;

Graph const& GraphBuilder::graph() const { return impl_->graph; }

void GraphBuilder::record_edit() { ++impl_->graph.impl_->revision; }

void GraphBuilder::set_name(std::string_view name) { impl_->graph.set_name(name); }

void GraphBuilder::reserve(index_t nb_vertices, index_t nb_edges) {
  auto& graph = impl_->graph;
  auto& state = *graph.impl_;
  reserve_geometrically(state.edges, nb_edges);
  reserve_geometrically(state.detached, nb_edges);
  reserve_geometrically(state.around, nb_vertices);
  state.edge_attributes.reserve(nb_edges);
  graph.vertex_attribute_manager().reserve(nb_vertices);
  on_vertices_reserved(nb_vertices);
}

void GraphBuilder::on_vertices_reserved(index_t /*capacity*/) {}

index_t GraphBuilder::create_vertices(index_t count) {
  auto& graph = impl_->graph;
  auto const first = graph.nb_vertices();
  auto const new_count = first + count;
  graph.impl_->around.resize(new_count);
  graph.VertexSet::impl_->nb_vertices = new_count;
  graph.vertex_attribute_manager().resize(new_count);
  on_vertices_created(new_count);
  record_edit();
  return first;
}

index_t GraphBuilder::create_edge(index_t first, index_t second) {
  auto& graph = impl_->graph;
  auto const nb_vertices = graph.nb_vertices();
  detail::check_index(first, nb_vertices, "GraphBuilder::create_edge", "vertex");
  detail::check_index(second, nb_vertices, "GraphBuilder::create_edge", "vertex");
  auto& state = *graph.impl_;
  auto const edge = static_cast<index_t>(state.edges.size());
  state.edges.push_back({first, second});
  state.detached.push_back(0);
  state.around[first].push_back(EdgeVertex{edge, 0});
  state.around[second].push_back(EdgeVertex{edge, 1});
  state.edge_attributes.resize(edge + 1);
  record_edit();
  return edge;
}

void GraphBuilder::set_edge_vertex(EdgeVertex const& edge_vertex, index_t vertex) {
  auto& graph = impl_->graph;
  auto& state = *graph.impl_;
  detail::check_index(edge_vertex.edge_id, graph.nb_edges(), "GraphBuilder::set_edge_vertex",
                      "edge");
  detail::check_index(edge_vertex.vertex_id, 2, "GraphBuilder::set_edge_vertex",
                      "local vertex");
  detail::check_index(vertex, graph.nb_vertices(), "GraphBuilder::set_edge_vertex", "vertex");
  auto& stored = state.edges[edge_vertex.edge_id][edge_vertex.vertex_id];
  if (stored == vertex) return;
  if (state.detached[edge_vertex.edge_id] == 0) {
    if (stored != NO_ID) remove_entry(state.around[stored], edge_vertex);
    state.around[vertex].push_back(edge_vertex);
  }
  stored = vertex;
  record_edit();
}

void GraphBuilder::disconnect_edge(index_t edge) {
  auto& state = *impl_->graph.impl_;
  detail::check_index(edge, impl_->graph.nb_edges(), "GraphBuilder::disconnect_edge", "edge");
  if (state.detached[edge] != 0) return;
  for (local_index_t local = 0; local < 2; ++local) {
    auto const vertex = state.edges[edge][local];
    if (vertex != NO_ID) remove_entry(state.around[vertex], EdgeVertex{edge, local});
  }
  state.detached[edge] = 1;
  record_edit();
}

void GraphBuilder::reconnect_edge(index_t edge) {
  auto& graph = impl_->graph;
  auto& state = *graph.impl_;
  detail::check_index(edge, graph.nb_edges(), "GraphBuilder::reconnect_edge", "edge");
  if (state.detached[edge] == 0) return;
  for (auto const vertex : state.edges[edge]) {
    detail::check_index(vertex, graph.nb_vertices(), "GraphBuilder::reconnect_edge", "vertex");
  }
  for (local_index_t local = 0; local < 2; ++local) {
    state.around[state.edges[edge][local]].push_back(EdgeVertex{edge, local});
  }
  state.detached[edge] = 0;
  record_edit();
}

void GraphBuilder::reorder_edges_around_vertex(index_t vertex, absl::Span<EdgeVertex const> order) {
  static constexpr char const* OPERATION = "GraphBuilder::reorder_edges_around_vertex";
  auto& graph = impl_->graph;
  detail::check_index(vertex, graph.nb_vertices(), OPERATION, "vertex");
  auto& around = graph.impl_->around[vertex];
  auto const by_key = [](EdgeVertex const& lhs, EdgeVertex const& rhs) {
    return lhs.edge_id < rhs.edge_id ||
           (lhs.edge_id == rhs.edge_id && lhs.vertex_id < rhs.vertex_id);
  };
  absl::InlinedVector<EdgeVertex, 2> given(order.begin(), order.end());
  absl::InlinedVector<EdgeVertex, 2> listed(around.begin(), around.end());
  std::sort(given.begin(), given.end(), by_key);
  std::sort(listed.begin(), listed.end(), by_key);
  if (given != listed) {
    throw LumoraException{absl::StrCat("[", OPERATION, "] the ", order.size(),
                                       " entries given are not the ", around.size(),
                                       " entries around vertex ", vertex)};
  }
  around.assign(order.begin(), order.end());
  record_edit();
}

std::vector<index_t> GraphBuilder::delete_edges(std::vector<bool> const& to_delete) {
  auto& graph = impl_->graph;
  auto& state = *graph.impl_;
  check_mask(to_delete, graph.nb_edges(), "GraphBuilder::delete_edges", "edge");
  index_t kept = 0;
  auto old_to_new = compacting_mapping(to_delete, kept);
  // Renumbered in place: the lists keep their order, and kept edges only move down.
  for (auto& around : state.around) {
    std::size_t kept_entries = 0;
    for (std::size_t entry = 0; entry < around.size(); ++entry) {
      auto const new_edge = old_to_new[around[entry].edge_id];
      if (new_edge != NO_ID) around[kept_entries++] = EdgeVertex{new_edge, around[entry].vertex_id};
    }
    around.resize(kept_entries);
    // Back into the inline room when the list fits there again.
    around.shrink_to_fit();
  }
  for (std::size_t old_edge = 0; old_edge < old_to_new.size(); ++old_edge) {
    auto const new_edge = old_to_new[old_edge];
    if (new_edge == NO_ID || new_edge == old_edge) continue;
    state.edges[new_edge] = state.edges[old_edge];
    state.detached[new_edge] = state.detached[old_edge];
  }
  state.edges.resize(kept);
  state.detached.resize(kept);
  state.edge_attributes.renumber(old_to_new, kept);
  record_edit();
  return old_to_new;
}

std::vector<index_t> GraphBuilder::delete_vertices(std::vector<bool> const& to_delete) {
  auto& graph = impl_->graph;
  auto& state = *graph.impl_;
  check_mask(to_delete, graph.nb_vertices(), "GraphBuilder::delete_vertices", "vertex");
  for (std::size_t vertex = 0; vertex < to_delete.size(); ++vertex) {
    if (to_delete[vertex] && !state.around[vertex].empty()) {
      throw LumoraException{absl::StrCat("[GraphBuilder::delete_vertices] vertex ", vertex,
                                         " still has ", state.around[vertex].size(),
                                         " edges around it")};
    }
  }
  index_t kept = 0;
  auto old_to_new = compacting_mapping(to_delete, kept);
  std::vector<absl::InlinedVector<EdgeVertex, 2>> around(kept);
  for (std::size_t old_vertex = 0; old_vertex < old_to_new.size(); ++old_vertex) {
    auto const new_vertex = old_to_new[old_vertex];
    if (new_vertex != NO_ID) around[new_vertex] = std::move(state.around[old_vertex]);
  }
  state.around = std::move(around);
  for (auto& edge : state.edges) {
    for (auto& vertex : edge) {
      if (vertex != NO_ID) vertex = old_to_new[vertex];
    }
  }
  graph.VertexSet::impl_->nb_vertices = kept;
  graph.vertex_attribute_manager().renumber(old_to_new, kept);
  on_vertices_renumbered(old_to_new, kept);
  record_edit();
  return old_to_new;
}

}  // namespace velk

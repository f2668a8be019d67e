#include <absl/container/flat_hash_set.h>

#include <basic/lumora_exception.hpp>

#include "model/background_line_impl.hpp"

namespace velk::internal {
namespace {

constexpr index_t STEP_LIMIT = 1000;

bool carries(std::vector<MeshElement> const& macro_elements, MeshEdge const& macro_edge) {
  for (auto const& element : macro_elements) {
    if (element.mesh_id == macro_edge.mesh_id && element.element_id == macro_edge.edge_id) {
      return true;
    }
  }
  return false;
}

}  // namespace

absl::InlinedVector<EdgeVertex, 2> BackgroundLine::Impl::edges_around_vertex_with_macro_edge(
    MacroInfo const& macro_info, index_t vertex, MeshEdge const& macro_edge) const {
  absl::InlinedVector<EdgeVertex, 2> qualifying;
  for (auto const& around : curve_.edges_around_vertex(vertex)) {
    if (carries(macro_info.macro_elements(around.edge_id), macro_edge)) {
      qualifying.push_back(around);
    }
  }
  return qualifying;
}

std::optional<std::vector<index_t>> BackgroundLine::Impl::propagate_on_macro_edge(
    MacroInfo const& macro_info, EdgeVertex const& start, index_t target,
    MeshEdge const& macro_edge) const {
  std::vector<index_t> chain{start.edge_id};
  absl::flat_hash_set<index_t> visited{start.edge_id};
  auto position = start.opposite();
  index_t steps = 0;
  while (curve_.edge_vertex(position) != target && steps < STEP_LIMIT) {
    ++steps;
    auto const vertex = curve_.edge_vertex(position);
    bool moved = false;
    for (auto const& next : edges_around_vertex_with_macro_edge(macro_info, vertex, macro_edge)) {
      if (visited.insert(next.edge_id).second) {
        chain.push_back(next.edge_id);
        position = next.opposite();
        moved = true;
        break;
      }
    }
    // Every carrying edge here is already in the chain: this walk cannot arrive.
    if (!moved) return std::nullopt;
  }
  if (steps == STEP_LIMIT) {
    throw LumoraException{
        "[BackgroundSolid::macro_edge_path] Too many steps while propagating on macro edge."};
  }
  return chain;
}

std::optional<std::vector<index_t>> BackgroundLine::Impl::macro_edge_path(
    MacroInfo const& macro_info, std::array<index_t, 2> const& vertices,
    MeshEdge const& macro_edge) const {
  if (vertices[0] == vertices[1]) return std::nullopt;
  auto const starts = edges_around_vertex_with_macro_edge(macro_info, vertices[0], macro_edge);
  for (auto const& start : starts) {
    if (auto chain = propagate_on_macro_edge(macro_info, start, vertices[1], macro_edge)) {
      return chain;
    }
  }
  return std::nullopt;
}

}  // namespace velk::internal

#include <algorithm>

#include <absl/container/flat_hash_set.h>

#include <basic/lumora_exception.hpp>

#include "model/background_line_impl.hpp"

namespace velk::internal {
namespace {

// Room the chain takes at once: a run of up to this many edges is walked with one
// allocation instead of one per doubling.
constexpr std::size_t CHAIN_ROOM = 16;

// Chains up to this long are searched for an edge by a scan; longer ones through a hash set
// of their edges, built when the chain grows past it.
constexpr std::size_t LINEAR_VISITED_LIMIT = 32;

}  // namespace

absl::InlinedVector<EdgeVertex, 2> BackgroundLine::Impl::edges_around_vertex_with_macro_edge(
    MacroInfo const& macro_info, index_t vertex, MacroKey macro_edge) const {
  absl::InlinedVector<EdgeVertex, 2> qualifying;
  for (auto const& around : curve_.edges_around_vertex(vertex)) {
    if (macro_info.find_macro_element(around.edge_id, macro_edge) != MacroInfo::NOT_FOUND) {
      qualifying.push_back(around);
    }
  }
  return qualifying;
}

std::optional<std::vector<index_t>> BackgroundLine::Impl::propagate_on_macro_edge(
    MacroInfo const& macro_info, EdgeVertex const& start, index_t target, MacroKey macro_edge,
    index_t step_limit) const {
  std::vector<index_t> chain;
  chain.reserve(CHAIN_ROOM);
  chain.push_back(start.edge_id);
  // The edges visited are those of the chain: a short chain is searched directly, a longer
  // one through a hash set of its edges.
  absl::flat_hash_set<index_t> visited;
  auto const in_chain = [&chain, &visited](index_t edge) {
    if (!visited.empty()) return visited.contains(edge);
    return std::find(chain.begin(), chain.end(), edge) != chain.end();
  };
  auto const extend = [&chain, &visited](index_t edge) {
    chain.push_back(edge);
    if (!visited.empty()) {
      visited.insert(edge);
    } else if (chain.size() > LINEAR_VISITED_LIMIT) {
      visited.insert(chain.begin(), chain.end());
    }
  };
  auto position = start.opposite();
  // The vertex at the position, read once per step.
  auto vertex = curve_.edge_vertex(position);
  // Lists only grow at their end, and a split gives both halves the whole list, so along a
  // chain the macro edge sits at nearly the same position in each edge's list: the position
  // in the previous edge is the hint of the next search, which is then short.
  auto hint = macro_info.find_macro_element(start.edge_id, macro_edge);
  index_t steps = 0;
  while (vertex != target && steps < step_limit) {
    ++steps;
    // The first edge around the vertex, in order, that is not in the chain yet and carries
    // the macro edge (the edge just walked is in the chain: it is passed over unsearched).
    bool moved = false;
    for (auto const& next : curve_.edges_around_vertex(vertex)) {
      if (in_chain(next.edge_id)) continue;
      auto const found = macro_info.find_macro_element(next.edge_id, macro_edge, hint);
      if (found == MacroInfo::NOT_FOUND) continue;
      extend(next.edge_id);
      position = next.opposite();
      hint = found;
      moved = true;
      break;
    }
    // Every carrying edge here is already in the chain: this walk cannot arrive.
    if (!moved) return std::nullopt;
    vertex = curve_.edge_vertex(position);
  }
  if (steps == step_limit) {
    throw LumoraException{
        "[BackgroundSolid::macro_edge_path] Too many steps while propagating on macro edge."};
  }
  return chain;
}

std::optional<std::vector<index_t>> BackgroundLine::Impl::macro_edge_path(
    MacroInfo const& macro_info, std::array<index_t, 2> const& vertices, MeshEdge const& macro_edge,
    index_t step_limit) const {
  if (step_limit == 0) {
    throw LumoraException{"[BackgroundLine::macro_edge_path] step limit 0 must be at least 1"};
  }
  if (vertices[0] == vertices[1]) return std::nullopt;
  // The target is only ever compared: unchecked, a vertex past the curve's end would give
  // an empty result as if no chain existed.
  for (auto const vertex : vertices) {
    detail::check_index(vertex, curve_.nb_vertices(), "BackgroundLine::macro_edge_path", "vertex");
  }
  // A macro edge whose mesh no list names is carried by no edge.
  auto const key = macro_info.macro_element_key(macro_edge);
  if (!key) return std::nullopt;
  auto const starts = edges_around_vertex_with_macro_edge(macro_info, vertices[0], *key);
  for (auto const& start : starts) {
    if (auto chain = propagate_on_macro_edge(macro_info, start, vertices[1], *key, step_limit)) {
      return chain;
    }
  }
  return std::nullopt;
}

}  // namespace velk::internal

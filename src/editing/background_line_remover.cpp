// Removal of an inserted curve: its macro information goes, found through the footprint
// that the macro-information store keeps, then the vertices that only its insertions needed
// are merged back through the modifier.
#include <algorithm>
#include <cmath>

#include <geometry/tolerance.hpp>

#include "editing/background_line_inserter_impl.hpp"

namespace velk::internal {
namespace {

// Whether `vertex` (made by an insertion) may be merged away: it carries no macro vertex,
// has two edges leading to two other vertices and lies between them, and both edges carry
// the same macro elements.
bool can_merge(BackgroundLine const& line, index_t vertex) {
  auto const& curve = line.line();
  if (!line.macro_vertex_view(vertex).empty()) return false;
  auto const& around = curve.edges_around_vertex(vertex);
  if (around.size() != 2 || around[0].edge_id == around[1].edge_id) return false;
  auto const first = curve.edge_vertex(around[0].opposite());
  auto const second = curve.edge_vertex(around[1].opposite());
  if (first == second || first == vertex || second == vertex) return false;
  // A vertex moved out of the span of its neighbours since: joining would change the extent
  // the two edges cover.
  auto const x = curve.point(vertex).value(0);
  auto const a = curve.point(first).value(0);
  auto const b = curve.point(second).value(0);
  if (!(std::min(a, b) - GEOMETRIC_TOLERANCE <= x && x <= std::max(a, b) + GEOMETRIC_TOLERANCE)) {
    return false;
  }
  return line.same_macro_elements(around[0].edge_id, around[1].edge_id);
}

}  // namespace

ElementRemovalInfo BackgroundLineInserter::Impl::remove_curve(uuid const& input_id) {
  ElementRemovalInfo info;
  auto const removal = builder.remove_macro_mesh(input_id);
  // The vertices whose merge condition the removal may have changed: those that lost macro
  // vertices and the ends of the live edges that lost macro elements.
  std::vector<index_t> touched;
  touched.reserve(removal.vertices.size() + 2 * removal.edges.size());
  for (auto const& [vertex, count] : removal.vertices) {
    if (vertex >= curve.nb_vertices()) continue;
    // A vertex without edges was absorbed by a collapse and awaits `clean_vertices`.
    if (curve.edges_around_vertex(vertex).empty()) continue;
    info.macro_vertices_removed += count;
    touched.push_back(vertex);
  }
  for (auto const& [edge, count] : removal.edges) {
    if (edge >= curve.nb_edges() || curve.is_edge_detached(edge)) continue;
    info.macro_elements_removed += count;
    auto const& ends = curve.edge_vertices(edge);
    touched.push_back(ends[0]);
    touched.push_back(ends[1]);
  }
  auto const marks = curve.vertex_attribute_manager().find_attribute<std::uint8_t>(
      BackgroundLine::INSERTED_VERTEX_ATTRIBUTE_NAME);
  if (!marks) return info;
  // A merge changes neither the lists nor the neighbours' conditions (the kept edge carries
  // what the removed one did), so one pass in any order merges every vertex that qualifies.
  // A vertex listed twice is checked twice: once merged, its mark no longer qualifies it.
  for (auto const vertex : touched) {
    if (vertex >= marks->size() || marks->value(vertex) != BackgroundLine::INSERTED_VERTEX_MARK ||
        !can_merge(line, vertex))
      continue;
    modifier.join_edges(vertex);
    // The mark then says "merged away, awaiting clean_vertices": the modifier that detached
    // the vertex keeps that in memory only, and a clone's modifier learns it from the mark.
    marks->set_value(vertex, BackgroundLine::MERGED_VERTEX_MARK);
    ++info.vertices_merged;
  }
  return info;
}

}  // namespace velk::internal

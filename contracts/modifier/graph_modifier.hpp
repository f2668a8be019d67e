// Generic edits of a graph: detaching and cleaning, with a clean stamp.
//
//   auto old_to_new = modifier.clean_edges();     // removes detached edges, renumbers
//   if (modifier.clean_stamp() != cached) { /* indices changed: rebuild caches */ }
#pragma once

#include <array>
#include <memory>
#include <vector>

#include <basic/mapping.hpp>
#include <mesh/graph.hpp>
#include <mesh/graph_builder.hpp>
#include <modifier/velk_modifier_graph_export.hpp>
#include <modifier/vertices_modifier.hpp>

namespace velk {

// Edits a graph through its builder. Edits detach edges and vertices rather than remove
// them, so that indices stay stable; `clean_edges` and `clean_vertices` remove what was
// detached and renumber. The graph and the builder must outlive the modifier.
class VELK_MODIFIER_GRAPH_API GraphModifier : public VerticesModifier, public EdgesModifier {
 public:
  // Result of a split: the two edges that now cover the split edge (from its first
  // vertex to its second), the split edge (now detached), the vertex created.
  struct SplitEdgeInfo {
    std::array<index_t, 2> new_edges;
    index_t split_edge;
    index_t new_vertex;
  };

  // Result of a collapse: `vertex_mapping.first` is the vertex that remains (at the
  // collapse point) and `vertex_mapping.second` the edge's former vertices; then the
  // collapsed (now detached) edge.
  struct CollapseEdgeInfo {
    MultiMapping<index_t> vertex_mapping;
    index_t collapsed_edge;
  };

  ~GraphModifier() override;

  // Removes every detached edge and renumbers the others in order (attributes follow).
  // Returns old index to new index, `NO_ID` for removed edges. Changes `clean_stamp`
  // when something was removed.
  virtual std::vector<index_t> clean_edges();

  // Removes the vertices that edits detached (and that no edge uses since) and renumbers
  // the others in order. Returns old index to new index, `NO_ID` for removed vertices.
  // Changes `clean_stamp` when something was removed; forgets recorded merges.
  virtual std::vector<index_t> clean_vertices();

  // A value that changes each time a clean removes (and so renumbers) something.
  unsigned clean_stamp() const;

 protected:
  GraphModifier(Graph const& graph, GraphBuilder& builder);

  Graph const& graph() const;
  GraphBuilder& graph_builder() const;

  // Marks a vertex for removal by the next `clean_vertices`.
  void detach_vertex(index_t vertex);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace velk

// Topology edits of a graph: the base of the mesh builders.
//
//   velk::EdgedCurveBuilder<1> builder{curve};   // a GraphBuilder for a curve
//   auto edge = builder.create_edge(v0, v1);
//   builder.set_edge_vertex({edge, 1}, v2);
//   auto old_to_new = builder.delete_edges(to_delete);
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include <absl/types/span.h>

#include <mesh/graph.hpp>

namespace velk {

// Writes a graph's vertices and edges and keeps `edges_around_vertex` and the attribute
// managers in step with every edit. Made only as the base of a builder that knows the
// graph's concrete kind (so that per-vertex data such as points follow every edit).
// The graph must outlive the builder. Every index is checked: a bad one throws
// `LumoraException` and changes nothing.
class LUMORA_MESH_API GraphBuilder {
 public:
  virtual ~GraphBuilder();
  GraphBuilder(GraphBuilder const&) = delete;
  GraphBuilder& operator=(GraphBuilder const&) = delete;

  void set_name(std::string_view name);

  // Creates the edge from `first` to `second` (equal vertices make a loop edge) and lists
  // it around both; returns its index.
  index_t create_edge(index_t first, index_t second);

  // Moves one end of an edge onto `vertex`, updating the lists around both vertices.
  // On a detached edge only the stored vertex changes.
  void set_edge_vertex(EdgeVertex const& edge_vertex, index_t vertex);

  // Detaches the edge: it is no longer listed around its vertices, but keeps its
  // vertices and attributes until deleted. Detaching twice does nothing.
  void disconnect_edge(index_t edge);

  // Lists a detached edge around its two vertices again, last in each list: the reverse of
  // `disconnect_edge` but for the lists' order (which `reorder_edges_around_vertex` can
  // restore). Reconnecting a listed edge does nothing. Throws when an end is no vertex.
  void reconnect_edge(index_t edge);

  // Lists the entries around `vertex` in the order of `order`, which must hold the same
  // entries as the list does (as a multiset); otherwise throws, changing nothing.
  void reorder_edges_around_vertex(index_t vertex, absl::Span<EdgeVertex const> order);

  // Removes the edges flagged in `to_delete` (one flag per edge) and renumbers the others
  // in order; attributes follow. Returns old index to new index, `NO_ID` for removed ones.
  std::vector<index_t> delete_edges(std::vector<bool> const& to_delete);

  // Removes the flagged vertices (one flag per vertex; a vertex still listed around an
  // edge is refused) and renumbers the others in order; attributes, points and the edges'
  // vertex indices follow. A detached edge that named a removed vertex names `NO_ID`.
  std::vector<index_t> delete_vertices(std::vector<bool> const& to_delete);

  // Makes room for `nb_vertices` vertices and `nb_edges` edges in all (the graph's arrays,
  // its attributes and the derived builder's per-vertex data), so that the creations that
  // follow do not move what exists. Changes nothing observable: a count below the current
  // one does nothing, and creating more than reserved still works.
  void reserve(index_t nb_vertices, index_t nb_edges);

  // The graph this builder writes.
  Graph const& graph() const;

 protected:
  explicit GraphBuilder(Graph& graph);

  // Appends `count` vertices with no edge; returns the index of the first one.
  index_t create_vertices(index_t count);

  // Counts an edit made by a derived builder (see `Graph::revision`).
  void record_edit();

 private:
  // Per-vertex data of the concrete mesh kind.
  virtual void on_vertices_created(index_t new_count) = 0;
  virtual void on_vertices_renumbered(absl::Span<index_t const> old_to_new, index_t new_count) = 0;
  virtual void on_vertices_reserved(index_t capacity);

  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace velk

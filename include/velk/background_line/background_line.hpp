// The background line: a caller's one-dimensional edged curve with the macro information
// of every vertex and edge.
//
//   velk::internal::BackgroundLine line{curve};     // `curve` must outlive `line`
//   line.macro_elements(edge);                      // input edges the edge carries
//   auto chain = line.macro_edge_path({v0, v1}, velk::MeshEdge{input.id(), input_edge});
//   auto paths = line.macro_edge_paths(queries);    // every chain in one pass
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <tuple>
#include <vector>

#include <absl/types/span.h>

#include <mesh/edged_curve.hpp>
#include <mesh/mesh_element.hpp>
#include <velk/background_line/macro_edge_paths.hpp>
#include <velk/background_line/macro_info_1d.hpp>

namespace velk::internal {

// Wraps a curve that belongs to the caller and keeps its macro information as attributes
// of the curve's vertex and edge managers: set up at construction, removed at
// destruction. Movable (the source is left empty and may only be destroyed), not
// copyable. Used by one thread at a time.
class VELK_BACKGROUND_LINE_API BackgroundLine : public MacroInfo1D {
 public:
  // Wraps `line` and sets the macro-information data base up on its managers, taking over
  // lists already stored there. The curve must outlive the background line (when it does
  // not, the destructor leaves the dead curve alone). Throws what the data base throws.
  explicit BackgroundLine(EdgedCurve<1> const& line);

  BackgroundLine(BackgroundLine&& other) noexcept;
  BackgroundLine(BackgroundLine const&) = delete;
  BackgroundLine& operator=(BackgroundLine const&) = delete;
  BackgroundLine& operator=(BackgroundLine&&) = delete;

  // Cleans the data base off the curve (once; nothing for a moved-from line). Never throws.
  ~BackgroundLine();

  // The wrapped curve.
  EdgedCurve<1> const& line() const;

  // A copy of the curve (element 0) and a new background line over that copy (element 1),
  // which takes over the copied macro information. Destroying the tuple as a whole is safe;
  // element 1 must not be used once element 0 is destroyed.
  std::tuple<std::unique_ptr<EdgedCurve<1>>, std::unique_ptr<BackgroundLine>> clone() const;

  // A copy of the curve with the macro-information data base cleaned off.
  std::unique_ptr<EdgedCurve<1>> clone_line() const;

  // The chain of background edges that carries `macro_edge` from `vertices[0]` to
  // `vertices[1]`: an edge carries it when its macro elements hold the same uuid and edge
  // index. Start edges are tried in `edges_around_vertex` order; each walk goes on along
  // the first listed carrying edge not yet in its chain. A walk that reaches a vertex with
  // no such edge ends without a chain and the next start edge is tried. Empty when the
  // vertices are equal, no edge around `vertices[0]` carries the macro edge, or no walk
  // arrives. Throws `LumoraException` "[BackgroundSolid::macro_edge_path] Too many steps
  // while propagating on macro edge." when a walk reaches 1000 steps (so a chain holds at
  // most 1000 edges). Reads only (it may fill the lists' search tables). Unless the vertices
  // are equal, an out-of-range one throws
  // `LumoraException` "[BackgroundLine::macro_edge_path] vertex index <v> is out of range
  // (<n> vertices)".
  std::optional<std::vector<index_t>> macro_edge_path(std::array<index_t, 2> const& vertices,
                                                      MeshEdge const& macro_edge) const;

  // The same query with the step limit chosen by the caller: a chain holds at most
  // `step_limit` edges, and a walk that takes `step_limit` steps throws the same
  // "Too many steps" exception. A limit of `max(1, line().nb_edges())` is never reached, since a
  // walk visits each edge at most once: the chain is then missing only when none exists.
  // Costs O(length of the chain) list searches (`MacroInfo::find_macro_element`): the first
  // around the start vertex, then each step's near the macro edge's position in the previous
  // edge's list, where it sits unless input edges were inserted ending between the two
  // edges. No search scans more than a few thousand entries: a longer list gets a table of
  // positions the first time it would, kept until the list changes, so that queries meeting
  // the same long list again (many repeated input edges) never scan it again. Throws
  // `LumoraException`
  // "[BackgroundLine::macro_edge_path] step limit 0 must be at least 1" for a zero limit.
  std::optional<std::vector<index_t>> macro_edge_path(std::array<index_t, 2> const& vertices,
                                                      MeshEdge const& macro_edge,
                                                      index_t step_limit) const;

  // The answers of `macro_edge_path(query.vertices, query.macro_edge, step_limit)` for every
  // query, in query order, found together: on the parts of the background that form paths
  // (every vertex with at most two edges, no loop: a line, sorted or not), one pass over
  // their edges in order reads each macro list once and gives every chain, in
  // O(queries log queries + edges + macro entries) without searching any list; a query whose
  // first vertex lies elsewhere is answered by `macro_edge_path`. The answers keep each chain
  // along a path as a range of the path, so they take memory in proportion to the queries
  // and the background, not to the chains. When one of the single queries would throw, this
  // throws what the first of them, in query order, would throw, and answers nothing. Reads
  // only (like `macro_edge_path`, it may fill the lists' search tables).
  MacroEdgePaths macro_edge_paths(absl::Span<MacroEdgePathQuery const> queries) const;
  MacroEdgePaths macro_edge_paths(absl::Span<MacroEdgePathQuery const> queries,
                                  index_t step_limit) const;

  // The vertex attribute (`std::uint8_t`) by which the inserter marks the vertices it
  // creates (`INSERTED_VERTEX_MARK`), so that `BackgroundLineInserter::remove_curve` merges
  // back only those; a vertex merged away is marked `MERGED_VERTEX_MARK` until
  // `clean_vertices` removes it. Every other vertex holds 0. The attribute belongs to the
  // curve, not to the macro information: made at the first split an insertion makes, it
  // follows renumbering, is copied by `clone` and `clone_line`, and stays when the
  // background line is destroyed.
  static constexpr char const* INSERTED_VERTEX_ATTRIBUTE_NAME = "velk_inserted_vertices";
  static constexpr std::uint8_t INSERTED_VERTEX_MARK = 1;
  static constexpr std::uint8_t MERGED_VERTEX_MARK = 2;

  // The step limit of the two-argument `macro_edge_path`.
  static constexpr index_t DEFAULT_PATH_STEP_LIMIT = 1000;

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace velk::internal

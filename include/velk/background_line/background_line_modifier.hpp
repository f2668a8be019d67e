// The edge editor of a background line: splits and collapses that keep the macro
// information in step.
//
//   velk::internal::BackgroundLineModifier modifier{line, line_builder, curve_builder};
//   modifier.split_edge(edge, velk::Point<1>{{1.5}});   // both halves carry the edge's list
//   modifier.join_edges(split.new_vertex);              // and back to one edge
//   modifier.clean_edges();
#pragma once

#include <memory>

#include <modifier/edged_curve_modifier.hpp>
#include <velk/background_line/background_line.hpp>
#include <velk/background_line/background_line_builder.hpp>

namespace velk::internal {

// `EdgedCurveModifier<1>` over the background line's curve, which hands every split and
// collapse result to the line's builder. `move_point` and the clean stamp are the generic
// modifier's and leave the macro information alone. The line, its
// builder and the curve builder must outlive the modifier; neither copyable nor movable.
class VELK_BACKGROUND_LINE_API BackgroundLineModifier : public EdgedCurveModifier<1> {
 public:
  // `builder` must be a builder of `background` (not checked); `curve_builder` must write
  // the background's curve (checked: `LumoraException` otherwise).
  BackgroundLineModifier(BackgroundLine const& background, BackgroundLineBuilder& builder,
                         EdgedCurveBuilder<1>& curve_builder);
  ~BackgroundLineModifier() override;
  BackgroundLineModifier(BackgroundLineModifier const&) = delete;
  BackgroundLineModifier& operator=(BackgroundLineModifier const&) = delete;

  // Returns `GraphModifier::clean_edges()` unchanged; macro lists follow their edges.
  std::vector<index_t> clean_edges() override;

  // `GraphModifier::clean_vertices()`, which also removes the vertices that a curve removal
  // merged away (`BackgroundLine::MERGED_VERTEX_MARK`) and that no edge uses, even when
  // another modifier (as that of a clone's original) detached them. O(vertices).
  std::vector<index_t> clean_vertices() override;

  // The generic collapse, then the builder's collapse update; returns the generic result.
  // The remaining vertex keeps the mark of a vertex made by an insertion
  // (`BackgroundLine::INSERTED_VERTEX_ATTRIBUTE_NAME`) only when every merged vertex had it.
  // If the update throws, the collapse stays done and the exception passes.
  CollapseEdgeInfo collapse_edge(index_t edge, Point<1> const& point) override;

  // The generic split, then both new edges receive the split edge's macro elements (first
  // new edge first); returns the generic result. The new vertex gets no macro vertex.
  SplitEdgeInfo split_edge(index_t edge, Point<1> const& point) override;

  // The generic join, refused (with `LumoraException`, changing nothing) when it would lose
  // macro information: when the vertex carries macro vertices, or when its two edges do not
  // carry the same macro elements (as multisets). The kept edge keeps its list.
  JoinEdgesInfo join_edges(index_t vertex) override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace velk::internal

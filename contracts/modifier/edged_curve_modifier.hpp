// Generic edits of a one-dimensional edged curve.
//
//   velk::EdgedCurveModifier<1> modifier{curve, builder};
//   auto split = modifier.split_edge(edge, velk::Point<1>{{1.5}});
//   modifier.collapse_edge(split.new_edges[0], velk::Point<1>{{1.0}});
//   modifier.clean_edges();
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include <geometry/point.hpp>
#include <mesh/edged_curve.hpp>
#include <mesh/edged_curve_builder.hpp>
#include <modifier/graph_modifier.hpp>
#include <modifier/velk_modifier_edged_curve_export.hpp>

namespace velk {

template <unsigned dimension>
class EdgedCurveModifier;

// Splits, collapses and moves, keeping an ordered index of the live edges by position so
// that `detail::find_containing_edge` answers in O(log n) after any number of edits. Edits
// made through the builder behind the modifier's back are noticed (`Graph::revision`) and
// the index is rebuilt on the next lookup. The curve and the builder must outlive the
// modifier. Every operation checks its arguments and throws `LumoraException` (changing
// nothing) on a bad index, a detached edge or a point that is not finite.
template <>
class VELK_MODIFIER_EDGED_CURVE_API EdgedCurveModifier<1> : public GraphModifier {
 public:
  // Throws `LumoraException` when `builder` writes another curve.
  EdgedCurveModifier(EdgedCurve<1> const& curve, EdgedCurveBuilder<1>& builder);
  ~EdgedCurveModifier() override;

  // Merges the edge's second vertex into its first, which moves to `point`; the edges of
  // the second vertex now end at the first. The edge and the second vertex are detached
  // (kept until cleaned). The mapping names the remaining vertex, then both former ones.
  virtual CollapseEdgeInfo collapse_edge(index_t edge, Point<1> const& point);

  // Creates a vertex at `point` and two edges covering the split one, from its first
  // vertex to the new one and from the new one to its second vertex; the split edge is
  // detached, attributes and all, until `clean_edges`. The point must lie within the
  // edge's span, ends included: a split never takes the curve's vertices out of order.
  virtual SplitEdgeInfo split_edge(index_t edge, Point<1> const& point);

  // Moves a vertex to `point`.
  virtual void move_point(index_t vertex, Point<1> const& point);

  // Result of a join: the edge that remains, the edge and the vertex that were detached.
  struct JoinEdgesInfo {
    index_t kept_edge;
    index_t removed_edge;
    index_t removed_vertex;
  };

  // Undoes a split: the two edges around `vertex` become one. The edge listed first around
  // the vertex is kept, its end at the vertex moved to the far end of the second edge (its
  // orientation is kept); the second edge and the vertex are detached (kept until cleaned).
  // Attributes are not touched. Throws `LumoraException`, changing nothing, unless the
  // vertex has exactly two edges around it, neither a loop, leading to two other distinct
  // vertices.
  virtual JoinEdgesInfo join_edges(index_t vertex);

  // What `undo_splits` needs to take the curve back to a former state: the numbers of
  // vertices and edges then, each edge of that time split since, and the lists around
  // their vertices as they were then. `start` it, then `note_split` each edge before
  // splitting it; the splits must be the only edits in between.
  class VELK_MODIFIER_EDGED_CURVE_API SplitRecord {
   public:
    // Starts a record of `curve` as it is now, forgetting what was noted before.
    void start(EdgedCurve<1> const& curve);
    // Notes that `edge` is about to be split (an edge made since the start needs no note).
    void note_split(EdgedCurve<1> const& curve, index_t edge);

   private:
    friend class EdgedCurveModifier<1>;
    // A list around a vertex as it was: `entries_[begin, end)`.
    struct KeptList {
      index_t vertex;
      std::size_t begin;
      std::size_t end;
    };
    index_t nb_vertices_{0};
    index_t nb_edges_{0};
    std::vector<index_t> split_edges_;
    std::vector<KeptList> lists_;
    std::vector<EdgeVertex> entries_;
    // Per vertex of the start's time, the stamp of the last record that kept its list: no
    // set to clear or hash, kept from one record to the next.
    std::vector<std::uint32_t> kept_stamp_;
    std::uint32_t stamp_{0};
  };

  // Undoes the splits made since `record` started: deletes every vertex and edge created
  // since, lists each split edge around its vertices again and puts back the lists around
  // them in their former order. The curve's numbering, lists and attributes of what
  // existed then are as they were (the attributes of deleted elements go with them).
  // Costs O(vertices + edges). Throws `LumoraException` when the curve was edited
  // otherwise since (a vertex created since still holds an older edge).
  void undo_splits(SplitRecord const& record);

  // Makes room for `count` more splits: a vertex and two edges each, in the curve, its
  // attributes and the position index, so that the splits that follow do not move what
  // exists. Changes nothing observable; more splits than reserved still work.
  void reserve_for_splits(index_t count);

  EdgedCurve<1> const& curve() const;

  // The live edge on which `point` lands, by the rule of `detail::find_containing_edge`
  // (an edge ending at the vertex it snaps onto, else the edge holding it strictly inside;
  // `initial` when it is such an edge). Empty when none is or the point is not finite.
  // O(log n) for a curve whose edges do not nest.
  std::optional<index_t> containing_edge(Point<1> const& point, index_t initial) const;

  // The live edges whose interval (between their two end points) meets [low, high], ends
  // included and no tolerance added, in order of lower end, then of index. Empty when
  // `low > high` or either is NaN; infinite bounds are fine. O(log n + answer) expected
  // for a curve whose edges do not nest.
  std::vector<index_t> edges_overlapping(double low, double high) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace velk

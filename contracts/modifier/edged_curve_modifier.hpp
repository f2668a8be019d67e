// Generic edits of a one-dimensional edged curve.
//
//   velk::EdgedCurveModifier<1> modifier{curve, builder};
//   auto split = modifier.split_edge(edge, velk::Point<1>{{1.5}});
//   modifier.collapse_edge(split.new_edges[0], velk::Point<1>{{1.0}});
//   modifier.clean_edges();
#pragma once

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
  // detached, attributes and all, until `clean_edges`. The point must lie on the edge
  // within `GEOMETRIC_TOLERANCE`.
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

  EdgedCurve<1> const& curve() const;

  // The live edge containing `point` (within the tolerance): `initial` when it does,
  // otherwise the one with the smallest lower end. Empty when none does or the point is
  // not finite. O(log n); see `detail::find_containing_edge`.
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

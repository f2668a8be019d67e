#include <modifier/edged_curve_modifier.hpp>

#include <algorithm>
#include <cmath>

#include <absl/strings/str_cat.h>

#include <geometry/tolerance.hpp>

#include "edge_position_index.hpp"

namespace velk {

struct EdgedCurveModifier<1>::Impl {
  EdgedCurve<1> const& curve;
  EdgedCurveBuilder<1>& builder;
  // Mutable: a const lookup may have to bring the index up to date first.
  mutable detail::EdgePositionIndex index;
  mutable std::uint64_t indexed_revision{~std::uint64_t{0}};

  double x(index_t vertex) const { return curve.point(vertex).value(0); }

  bool is_indexable(index_t edge) const {
    if (curve.is_edge_detached(edge)) return false;
    auto const& vertices = curve.edge_vertices(edge);
    return vertices[0] < curve.nb_vertices() && vertices[1] < curve.nb_vertices();
  }

  void index_edge(index_t edge) const {
    if (!is_indexable(edge)) {
      index.remove(edge);
      return;
    }
    auto const& vertices = curve.edge_vertices(edge);
    index.assign(edge, x(vertices[0]), x(vertices[1]));
  }

  void synchronize() const {
    if (indexed_revision == curve.revision()) return;
    index.clear();
    for (index_t edge = 0; edge < curve.nb_edges(); ++edge) {
      if (!is_indexable(edge)) continue;
      auto const& vertices = curve.edge_vertices(edge);
      index.stage(edge, x(vertices[0]), x(vertices[1]));
    }
    index.link_staged();
    indexed_revision = curve.revision();
  }

  void reindex_edges_around(index_t vertex) const {
    for (auto const& around : curve.edges_around_vertex(vertex)) index_edge(around.edge_id);
  }

  bool contains(index_t edge, double position) const {
    auto const& vertices = curve.edge_vertices(edge);
    auto const first = x(vertices[0]);
    auto const second = x(vertices[1]);
    return std::min(first, second) - GEOMETRIC_TOLERANCE <= position &&
           position <= std::max(first, second) + GEOMETRIC_TOLERANCE;
  }

  void check_live_edge(index_t edge, char const* operation) const {
    detail::check_index(edge, curve.nb_edges(), operation, "edge");
    if (!is_indexable(edge)) {
      throw LumoraException{absl::StrCat("[", operation, "] edge ", edge, " is detached")};
    }
  }

  static void check_finite(Point<1> const& point, char const* operation) {
    if (!point.is_finite()) {
      throw LumoraException{absl::StrCat("[", operation, "] point ", point.string(),
                                         " is not finite")};
    }
  }
};

EdgedCurveModifier<1>::EdgedCurveModifier(EdgedCurve<1> const& curve,
                                          EdgedCurveBuilder<1>& builder)
    : GraphModifier{curve, builder}, impl_{std::make_unique<Impl>(Impl{curve, builder, {}})} {
  if (&builder.graph() != &curve) {
    throw LumoraException{
        "[EdgedCurveModifier::EdgedCurveModifier] the builder writes another curve than the "
        "one to modify"};
  }
}

EdgedCurveModifier<1>::~EdgedCurveModifier() = default;

EdgedCurve<1> const& EdgedCurveModifier<1>::curve() const { return impl_->curve; }

std::optional<index_t> EdgedCurveModifier<1>::containing_edge(Point<1> const& point,
                                                              index_t initial) const {
  auto const position = point.value(0);
  if (!std::isfinite(position)) return std::nullopt;
  auto const& state = *impl_;
  if (initial < state.curve.nb_edges() && state.is_indexable(initial) &&
      state.contains(initial, position)) {
    return initial;
  }
  state.synchronize();
  return state.index.find(position, GEOMETRIC_TOLERANCE);
}

std::vector<index_t> EdgedCurveModifier<1>::edges_overlapping(double low, double high) const {
  auto const& state = *impl_;
  state.synchronize();
  std::vector<index_t> edges;
  state.index.overlapping(low, high, edges);
  return edges;
}

GraphModifier::SplitEdgeInfo EdgedCurveModifier<1>::split_edge(index_t edge,
                                                               Point<1> const& point) {
  static constexpr char const* OPERATION = "EdgedCurveModifier::split_edge";
  auto& state = *impl_;
  state.check_live_edge(edge, OPERATION);
  Impl::check_finite(point, OPERATION);
  if (!state.contains(edge, point.value(0))) {
    auto const& vertices = state.curve.edge_vertices(edge);
    throw LumoraException{absl::StrCat("[", OPERATION, "] point ", point.string(),
                                       " is not on edge ", edge, " [",
                                       state.curve.point(vertices[0]).string(), ", ",
                                       state.curve.point(vertices[1]).string(), "]")};
  }
  auto const was_synchronized = state.indexed_revision == state.curve.revision();
  auto const vertices = state.curve.edge_vertices(edge);
  auto const new_vertex = state.builder.create_point(point);
  // Detaching before creating gives the same lists around the vertices (the split edge's
  // entry goes, the new edge's entry comes last), but a vertex with two edges never holds
  // three on the way, so its list stays in the room it has inline.
  state.builder.disconnect_edge(edge);
  auto const first = state.builder.create_edge(vertices[0], new_vertex);
  auto const second = state.builder.create_edge(new_vertex, vertices[1]);
  if (was_synchronized) {
    if (state.is_indexable(first) && state.is_indexable(second)) {
      state.index.replace_by_two(edge, first, state.x(vertices[0]), state.x(new_vertex), second,
                                 state.x(new_vertex), state.x(vertices[1]));
    } else {
      state.index.remove(edge);
      state.index_edge(first);
      state.index_edge(second);
    }
    state.indexed_revision = state.curve.revision();
  }
  return SplitEdgeInfo{{first, second}, edge, new_vertex};
}

GraphModifier::CollapseEdgeInfo EdgedCurveModifier<1>::collapse_edge(index_t edge,
                                                                     Point<1> const& point) {
  static constexpr char const* OPERATION = "EdgedCurveModifier::collapse_edge";
  auto& state = *impl_;
  state.check_live_edge(edge, OPERATION);
  Impl::check_finite(point, OPERATION);
  auto const was_synchronized = state.indexed_revision == state.curve.revision();
  auto const vertices = state.curve.edge_vertices(edge);
  auto const remaining = vertices[0];
  auto const absorbed = vertices[1];
  state.builder.disconnect_edge(edge);
  CollapseEdgeInfo info{{remaining, {remaining}}, edge};
  if (absorbed != remaining) {
    info.vertex_mapping.second.push_back(absorbed);
    // Copy: the list around `absorbed` shrinks as its edges move.
    auto const moving = state.curve.edges_around_vertex(absorbed);
    for (auto const& around : moving) state.builder.set_edge_vertex(around, remaining);
    detach_vertex(absorbed);
    record_vertex_merge(absorbed, remaining);
  }
  state.builder.set_point(remaining, point);
  if (was_synchronized) {
    state.index.remove(edge);
    state.reindex_edges_around(remaining);
    state.indexed_revision = state.curve.revision();
  }
  return info;
}

void EdgedCurveModifier<1>::move_point(index_t vertex, Point<1> const& point) {
  static constexpr char const* OPERATION = "EdgedCurveModifier::move_point";
  auto& state = *impl_;
  detail::check_index(vertex, state.curve.nb_vertices(), OPERATION, "vertex");
  Impl::check_finite(point, OPERATION);
  auto const was_synchronized = state.indexed_revision == state.curve.revision();
  state.builder.set_point(vertex, point);
  if (was_synchronized) {
    state.reindex_edges_around(vertex);
    state.indexed_revision = state.curve.revision();
  }
}

EdgedCurveModifier<1>::JoinEdgesInfo EdgedCurveModifier<1>::join_edges(index_t vertex) {
  static constexpr char const* OPERATION = "EdgedCurveModifier::join_edges";
  auto& state = *impl_;
  detail::check_index(vertex, state.curve.nb_vertices(), OPERATION, "vertex");
  // Copy: the list around `vertex` changes as the edges are edited.
  auto const around = state.curve.edges_around_vertex(vertex);
  if (around.size() != 2) {
    throw LumoraException{absl::StrCat("[", OPERATION, "] vertex ", vertex, " has ", around.size(),
                                       " edge ends around it, not 2")};
  }
  if (around[0].edge_id == around[1].edge_id) {
    throw LumoraException{
        absl::StrCat("[", OPERATION, "] vertex ", vertex, " holds loop edge ", around[0].edge_id)};
  }
  auto const kept_far = state.curve.edge_vertex(around[0].opposite());
  auto const removed_far = state.curve.edge_vertex(around[1].opposite());
  if (kept_far == removed_far || kept_far == vertex || removed_far == vertex) {
    throw LumoraException{absl::StrCat("[", OPERATION, "] the two edges around vertex ", vertex,
                                       " both lead to vertex ", removed_far)};
  }
  auto const was_synchronized = state.indexed_revision == state.curve.revision();
  auto const kept = around[0].edge_id;
  auto const removed = around[1].edge_id;
  state.builder.disconnect_edge(removed);
  state.builder.set_edge_vertex(around[0], removed_far);
  detach_vertex(vertex);
  if (was_synchronized) {
    state.index.remove(removed);
    state.index_edge(kept);
    state.indexed_revision = state.curve.revision();
  }
  return JoinEdgesInfo{kept, removed, vertex};
}

}  // namespace velk

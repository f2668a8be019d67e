#include <modifier/edged_curve_modifier.hpp>

#include <algorithm>
#include <cmath>

#include <absl/strings/str_cat.h>

#include <geometry/tolerance.hpp>
#include <modifier/detection.hpp>

#include "edge_position_index.hpp"

namespace velk {

struct EdgedCurveModifier<1>::Impl {
  EdgedCurve<1> const& curve;
  EdgedCurveBuilder<1>& builder;
  // Mutable: a const lookup may have to bring the index up to date first.
  mutable detail::EdgePositionIndex index;
  mutable std::uint64_t indexed_revision{~std::uint64_t{0}};
  // Scratch of `containing_edge`: the edges near the point.
  mutable std::vector<detail::EdgePositionIndex::Interval> nearby{};

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

  // Whether the edge's span holds the position, ends included.
  bool spans(index_t edge, double position) const {
    auto const& vertices = curve.edge_vertices(edge);
    auto const first = x(vertices[0]);
    auto const second = x(vertices[1]);
    return std::min(first, second) <= position && position <= std::max(first, second);
  }

  // Whether the position lies strictly between the edge's ends.
  bool holds_inside(index_t edge, double position) const {
    auto const& vertices = curve.edge_vertices(edge);
    auto const first = x(vertices[0]);
    auto const second = x(vertices[1]);
    return std::min(first, second) < position && position < std::max(first, second);
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

void EdgedCurveModifier<1>::reserve_for_splits(index_t count) {
  auto& state = *impl_;
  auto const nb_vertices = std::size_t{state.curve.nb_vertices()} + count;
  auto const nb_edges = std::size_t{state.curve.nb_edges()} + 2 * std::size_t{count};
  // Counts past what an index can name are left to the creations to refuse.
  auto const limit = std::size_t{NO_ID};
  state.builder.reserve(static_cast<index_t>(std::min(nb_vertices, limit)),
                        static_cast<index_t>(std::min(nb_edges, limit)));
  state.index.reserve(std::min(nb_edges, limit));
}

std::optional<index_t> EdgedCurveModifier<1>::containing_edge(Point<1> const& point,
                                                              index_t initial) const {
  auto const position = point.value(0);
  if (!std::isfinite(position)) return std::nullopt;
  auto const& state = *impl_;
  state.synchronize();
  // Every edge with an end within the tolerance of the point, or holding it, meets
  // [position - tolerance, position + tolerance]. The bounds are rounded, but rounding is
  // monotone and the ends are doubles: an end at or past the exact bound is at or past the
  // rounded one, and none is lost. The tests below are exact.
  auto& nearby = state.nearby;
  nearby.clear();
  state.index.overlapping(position - GEOMETRIC_TOLERANCE, position + GEOMETRIC_TOLERANCE, nearby);
  auto snap_vertex = NO_ID;
  double snap_x = 0;
  auto snap_edge = NO_ID;
  auto inside_edge = NO_ID;
  for (auto const& near : nearby) {
    // The index holds each edge's ends (lower and upper): the curve is read only for an
    // edge with an end within the tolerance, to name that end's vertex.
    if (!within_tolerance(position, near.lower) && !within_tolerance(position, near.upper)) {
      if (inside_edge == NO_ID && near.lower < position && position < near.upper) {
        inside_edge = near.edge;
      }
      continue;
    }
    auto const& vertices = state.curve.edge_vertices(near.edge);
    for (auto const vertex : vertices) {
      auto const vertex_x = state.x(vertex);
      if (!within_tolerance(position, vertex_x)) continue;
      // Candidates come in the index's order: the first edge met keeps a vertex.
      if (snap_vertex == NO_ID ||
          detail::snaps_before(position, vertex_x, vertex, snap_x, snap_vertex)) {
        snap_vertex = vertex;
        snap_x = vertex_x;
        snap_edge = near.edge;
      }
    }
  }
  auto const initial_is_live = initial < state.curve.nb_edges() && state.is_indexable(initial);
  if (snap_vertex != NO_ID) {
    if (initial_is_live) {
      auto const& ends = state.curve.edge_vertices(initial);
      if (ends[0] == snap_vertex || ends[1] == snap_vertex) return initial;
    }
    return snap_edge;
  }
  if (inside_edge == NO_ID) return std::nullopt;
  if (initial_is_live && state.holds_inside(initial, position)) return initial;
  return inside_edge;
}

std::vector<index_t> EdgedCurveModifier<1>::edges_overlapping(double low, double high) const {
  auto const& state = *impl_;
  state.synchronize();
  std::vector<detail::EdgePositionIndex::Interval> intervals;
  state.index.overlapping(low, high, intervals);
  std::vector<index_t> edges(intervals.size());
  for (std::size_t i = 0; i < intervals.size(); ++i) edges[i] = intervals[i].edge;
  return edges;
}

GraphModifier::SplitEdgeInfo EdgedCurveModifier<1>::split_edge(index_t edge,
                                                               Point<1> const& point) {
  static constexpr char const* OPERATION = "EdgedCurveModifier::split_edge";
  auto& state = *impl_;
  state.check_live_edge(edge, OPERATION);
  Impl::check_finite(point, OPERATION);
  if (!state.spans(edge, point.value(0))) {
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

void EdgedCurveModifier<1>::SplitRecord::start(EdgedCurve<1> const& curve) {
  if (kept_stamp_.size() < curve.nb_vertices()) kept_stamp_.resize(curve.nb_vertices(), 0);
  if (++stamp_ == 0) {
    std::fill(kept_stamp_.begin(), kept_stamp_.end(), 0);
    stamp_ = 1;
  }
  nb_vertices_ = curve.nb_vertices();
  nb_edges_ = curve.nb_edges();
  split_edges_.clear();
  lists_.clear();
  entries_.clear();
}

void EdgedCurveModifier<1>::SplitRecord::note_split(EdgedCurve<1> const& curve, index_t edge) {
  if (edge >= nb_edges_ || curve.is_edge_detached(edge)) return;
  // The first change to the list around a vertex of that time is the split of one of its
  // edges of that time: the list is kept as it was before it. Room is made first, so that
  // a failure to allocate leaves the record whole.
  auto const& ends = curve.edge_vertices(edge);
  auto const keeps = [&](unsigned end) {
    auto const vertex = ends[end];
    return vertex < nb_vertices_ && kept_stamp_[vertex] != stamp_ &&
           (end == 0 || vertex != ends[0]);  // a loop edge: once
  };
  std::size_t nb_lists = 0;
  std::size_t nb_entries = 0;
  for (unsigned end = 0; end < 2; ++end) {
    if (!keeps(end)) continue;
    ++nb_lists;
    nb_entries += curve.edges_around_vertex(ends[end]).size();
  }
  // Grown geometrically, so that many notes cost no more than growing one at a time.
  auto const room = [](auto& values, std::size_t more) {
    if (values.size() + more > values.capacity()) {
      values.reserve(std::max(values.size() + more, 2 * values.capacity()));
    }
  };
  room(split_edges_, 1);
  room(lists_, nb_lists);
  room(entries_, nb_entries);
  split_edges_.push_back(edge);
  for (unsigned end = 0; end < 2; ++end) {
    if (!keeps(end)) continue;
    auto const& around = curve.edges_around_vertex(ends[end]);
    auto const begin = entries_.size();
    entries_.insert(entries_.end(), around.begin(), around.end());
    lists_.push_back(KeptList{ends[end], begin, entries_.size()});
    kept_stamp_[ends[end]] = stamp_;
  }
}

void EdgedCurveModifier<1>::undo_splits(SplitRecord const& record) {
  auto& state = *impl_;
  auto& builder = state.builder;
  auto const& curve = state.curve;
  if (curve.nb_edges() > record.nb_edges_) {
    std::vector<bool> created(curve.nb_edges(), false);
    std::fill(created.begin() + record.nb_edges_, created.end(), true);
    builder.delete_edges(created);
  }
  if (curve.nb_vertices() > record.nb_vertices_) {
    std::vector<bool> created(curve.nb_vertices(), false);
    std::fill(created.begin() + record.nb_vertices_, created.end(), true);
    builder.delete_vertices(created);
  }
  for (auto const edge : record.split_edges_) builder.reconnect_edge(edge);
  for (auto const& list : record.lists_) {
    builder.reorder_edges_around_vertex(
        list.vertex,
        absl::MakeConstSpan(record.entries_.data() + list.begin, list.end - list.begin));
  }
}

}  // namespace velk

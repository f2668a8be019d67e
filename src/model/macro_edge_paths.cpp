// Many macro edge path queries at once: one pass along the line gives every chain.
//
// On a part of the background where every vertex has at most two edges and the edges form a
// path (a line), the edges that carry one macro edge form runs of consecutive edges, and the
// walk of `macro_edge_path` from a vertex follows the run it stands on, towards one end or
// the other: where it arrives, and how many steps it takes, follow from the run's two ends.
// So the runs of every queried macro edge are found in one pass over the edges in order,
// reading each list once, and each query is answered from the run at its first vertex.
// Queries starting on any other part of the background (a branch, a loop) are answered one by
// one.
#include <algorithm>
#include <exception>
#include <tuple>

#include <absl/container/flat_hash_map.h>

#include <basic/lumora_exception.hpp>

#include "model/background_line_impl.hpp"

namespace velk::internal {
namespace {

constexpr char const* TOO_MANY_STEPS =
    "[BackgroundSolid::macro_edge_path] Too many steps while propagating on macro edge.";

// The paths of the background, each walked from one end: their edges in order, one path
// after the other, and where each vertex on them stands.
struct LineOrder {
  std::vector<index_t> edges;
  // The first position of each path in `edges` (its last one is the next path's first).
  std::vector<index_t> path_begin;
  // Per vertex: its path (NO_ID when it is on none) and its position, the index in `edges`
  // of the edge after it along the path (the edge before it is at position - 1).
  std::vector<index_t> path_of;
  std::vector<index_t> position;
  // Per vertex: whether `edges_around_vertex` lists the edge after it first.
  std::vector<bool> after_first;
};

LineOrder order_paths(EdgedCurve<1> const& curve) {
  auto const nb_vertices = curve.nb_vertices();
  LineOrder order;
  order.path_of.assign(nb_vertices, NO_ID);
  order.position.assign(nb_vertices, NO_ID);
  order.after_first.assign(nb_vertices, false);
  // A vertex with more than two edges, or with an edge that comes back to it, is on no path.
  std::vector<bool> branching(nb_vertices, false);
  for (index_t vertex = 0; vertex < nb_vertices; ++vertex) {
    auto const& around = curve.edges_around_vertex(vertex);
    branching[vertex] = around.size() > 2;
    for (auto const& end : around) {
      if (curve.edge_vertex(end.opposite()) == vertex) branching[vertex] = true;
    }
  }
  std::vector<index_t> walked;
  for (index_t start = 0; start < nb_vertices; ++start) {
    if (order.path_of[start] != NO_ID || branching[start] ||
        curve.edges_around_vertex(start).size() > 1) {
      continue;
    }
    // From an end (or a lone vertex) to the other end; a path that meets a branching vertex
    // is none.
    auto const first = static_cast<index_t>(order.edges.size());
    walked.clear();
    auto vertex = start;
    auto came_by = NO_ID;
    bool complete = true;
    for (;;) {
      walked.push_back(vertex);
      auto const& around = curve.edges_around_vertex(vertex);
      auto const next =
          std::find_if(around.begin(), around.end(),
                       [came_by](EdgeVertex const& end) { return end.edge_id != came_by; });
      if (next == around.end()) break;
      order.after_first[vertex] = next == around.begin();
      order.edges.push_back(next->edge_id);
      came_by = next->edge_id;
      vertex = curve.edge_vertex(next->opposite());
      if (branching[vertex]) {
        complete = false;
        break;
      }
    }
    if (!complete) {
      order.edges.resize(first);
      continue;
    }
    auto const path = static_cast<index_t>(order.path_begin.size());
    order.path_begin.push_back(first);
    for (std::size_t step = 0; step < walked.size(); ++step) {
      order.path_of[walked[step]] = path;
      order.position[walked[step]] = first + static_cast<index_t>(step);
    }
  }
  order.path_begin.push_back(static_cast<index_t>(order.edges.size()));
  return order;
}

// A query waiting for the run of its macro edge at its first vertex.
struct Waiting {
  std::uint64_t key;
  index_t path;
  index_t position;
  std::uint32_t query;
};

// The runs of one macro edge met so far, and its queries (a range of the sorted waiting
// list, the next to answer first).
struct KeyState {
  std::uint32_t next;
  std::uint32_t end;
  bool in_run{false};
  index_t path{0};
  index_t first{0};  // first and last position of the current run
  index_t last{0};
};

}  // namespace

MacroEdgePaths BackgroundLine::Impl::macro_edge_paths(MacroInfo const& macro_info,
                                                      absl::Span<MacroEdgePathQuery const> queries,
                                                      index_t step_limit) const {
  if (queries.empty()) return {};
  if (step_limit == 0) {
    throw LumoraException{"[BackgroundLine::macro_edge_path] step limit 0 must be at least 1"};
  }
  auto order = order_paths(curve_);
  std::vector<MacroEdgePaths::Answer> answers(queries.size());
  // The failure of the first query (in query order) whose own call would throw.
  std::size_t failed_query = queries.size();
  std::exception_ptr failure;
  auto const fail = [&failed_query, &failure](std::size_t query, std::exception_ptr error) {
    if (query < failed_query) {
      failed_query = query;
      failure = std::move(error);
    }
  };

  std::vector<Waiting> waiting;
  for (std::size_t q = 0; q < queries.size(); ++q) {
    auto const& [vertices, macro_edge] = queries[q];
    if (vertices[0] == vertices[1]) continue;
    try {
      for (auto const vertex : vertices) {
        detail::check_index(vertex, curve_.nb_vertices(), "BackgroundLine::macro_edge_path",
                            "vertex");
      }
    } catch (LumoraException const&) {
      fail(q, std::current_exception());
      continue;
    }
    auto const key = macro_info.macro_element_key(macro_edge);
    if (!key) continue;
    if (order.path_of[vertices[0]] != NO_ID) {
      waiting.push_back({key->packed(), order.path_of[vertices[0]], order.position[vertices[0]],
                         static_cast<std::uint32_t>(q)});
      continue;
    }
    // Off the paths: the walk itself, its chain kept after the ordered edges.
    try {
      if (auto const chain = macro_edge_path(macro_info, vertices, macro_edge, step_limit)) {
        answers[q] = {order.edges.size(), static_cast<std::uint32_t>(chain->size()), 1};
        order.edges.insert(order.edges.end(), chain->begin(), chain->end());
      }
    } catch (LumoraException const&) {
      fail(q, std::current_exception());
    }
  }

  std::sort(waiting.begin(), waiting.end(), [](Waiting const& lhs, Waiting const& rhs) {
    return std::tie(lhs.key, lhs.path, lhs.position) < std::tie(rhs.key, rhs.path, rhs.position);
  });
  std::vector<KeyState> states;
  absl::flat_hash_map<std::uint64_t, std::uint32_t> state_of;
  for (std::uint32_t w = 0; w < waiting.size(); ++w) {
    if (w > 0 && waiting[w].key == waiting[w - 1].key) {
      ++states.back().end;
      continue;
    }
    state_of.emplace(waiting[w].key, static_cast<std::uint32_t>(states.size()));
    states.push_back({w, w + 1});
  }

  // A run of a macro edge ended: the queries whose first vertex lies before it find no
  // carrying edge there; those on it follow it.
  auto const answer_run = [&](KeyState& state) {
    while (state.next < state.end) {
      auto const& query = waiting[state.next];
      if (std::tie(query.path, query.position) < std::tie(state.path, state.first)) {
        ++state.next;
        continue;
      }
      if (query.path != state.path || query.position > state.last + 1) break;
      ++state.next;
      auto const from = query.position;
      auto const& vertices = queries[query.query].vertices;
      auto const to_path = order.path_of[vertices[1]];
      auto const to = order.position[vertices[1]];
      bool const reachable = to_path == state.path;
      // The walks from the first vertex, along the run forwards (to the edge after it) and
      // backwards, in the order its edges are listed around it. A walk arrives when the
      // second vertex lies on its side of the run; otherwise it stops at the run's end. Either
      // takes one step fewer than its edges, and throws when that reaches the limit.
      bool const forward_first = order.after_first[vertices[0]];
      for (bool const forward : {forward_first, !forward_first}) {
        auto const length = forward ? state.last + 1 - from : from - state.first;
        if (length == 0) continue;
        bool const arrives = reachable && (forward ? from < to && to <= state.last + 1
                                                   : state.first <= to && to < from);
        auto const edges = arrives ? (forward ? to - from : from - to) : length;
        if (edges - 1 >= step_limit) {
          fail(query.query, std::make_exception_ptr(LumoraException{TOO_MANY_STEPS}));
          break;
        }
        if (arrives) {
          answers[query.query] = {forward ? from : from - 1, edges, forward ? 1 : -1};
          break;
        }
      }
    }
    state.in_run = false;
  };

  for (std::size_t path = 0; path + 1 < order.path_begin.size(); ++path) {
    auto const path_end = order.path_begin[path + 1];
    for (auto position = order.path_begin[path]; position < path_end; ++position) {
      for (auto const key : macro_info.macro_element_view(order.edges[position]).keys()) {
        auto const found = state_of.find(key.packed());
        if (found == state_of.end()) continue;
        auto& state = states[found->second];
        if (state.in_run && state.path == path && state.last + 1 >= position) {
          state.last = position;  // the run goes on (or the key is listed twice here)
          continue;
        }
        if (state.in_run) answer_run(state);
        state.in_run = true;
        state.path = static_cast<index_t>(path);
        state.first = position;
        state.last = position;
      }
    }
  }
  for (auto& state : states) {
    if (state.in_run) answer_run(state);
  }
  if (failure) std::rethrow_exception(failure);
  return {std::move(order.edges), std::move(answers)};
}

}  // namespace velk::internal

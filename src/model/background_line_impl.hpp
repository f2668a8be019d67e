// Private state of `BackgroundLine` and the macro edge path query working on it.
#pragma once

#include <memory>

#include <absl/container/inlined_vector.h>

#include <velk/background_line/background_line.hpp>

namespace velk::internal {

class BackgroundLine::Impl {
 public:
  explicit Impl(EdgedCurve<1> const& curve)
      : curve_{curve}, curve_lifetime_{curve.lifetime_token()} {}

  EdgedCurve<1> const& curve() const { return curve_; }

  // False once the wrapped curve was destroyed.
  bool is_curve_alive() const { return !curve_lifetime_.expired(); }

  // The query of `BackgroundLine::macro_edge_path`, reading `macro_info` (the line's own).
  std::optional<std::vector<index_t>> macro_edge_path(MacroInfo const& macro_info,
                                                      std::array<index_t, 2> const& vertices,
                                                      MeshEdge const& macro_edge,
                                                      index_t step_limit) const;

  // The query of `BackgroundLine::macro_edge_paths` (macro_edge_paths.cpp).
  MacroEdgePaths macro_edge_paths(MacroInfo const& macro_info,
                                  absl::Span<MacroEdgePathQuery const> queries,
                                  index_t step_limit) const;

 private:
  // The entries of `edges_around_vertex(vertex)` whose edge carries `macro_edge`, in
  // order, each edge once.
  absl::InlinedVector<EdgeVertex, 2> edges_around_vertex_with_macro_edge(
      MacroInfo const& macro_info, index_t vertex, MacroKey macro_edge) const;

  // The walk from `start` (an edge leaving the first vertex) to `target`: the chain, or
  // empty at a dead end; throws when the walk takes `step_limit` steps.
  std::optional<std::vector<index_t>> propagate_on_macro_edge(MacroInfo const& macro_info,
                                                              EdgeVertex const& start,
                                                              index_t target, MacroKey macro_edge,
                                                              index_t step_limit) const;

  EdgedCurve<1> const& curve_;
  std::weak_ptr<void const> curve_lifetime_;
};

}  // namespace velk::internal

// Private state of `BackgroundLineInserter`: vertex placement and curve insertion.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <absl/container/inlined_vector.h>

#include <background_common/element_search.hpp>
#include <velk/background_line/background_line_inserter.hpp>

#include "editing/debug_lines.hpp"

namespace velk::internal {

class BackgroundLineInserter::Impl {
 public:
  Impl(BackgroundLine& line, EdgedCurveModifier<1>& modifier, BackgroundLineBuilder& builder);

  // Inserts the listed input edges in order; the common routine of both insert calls.
  ElementInsertionInfo insert_edges(EdgedCurve<1> const& input, absl::Span<index_t const> edges);

  // The same, all or nothing: when it throws, its splits and the curve's macro information
  // are undone first (`BackgroundLineInserter::insert_new_curve`).
  ElementInsertionInfo insert_new_edges(EdgedCurve<1> const& input,
                                        absl::Span<index_t const> edges);

  unsigned nb_element_search_rebuilds() const { return element_search.nb_rebuilds(); }

  // `BackgroundLineInserter::remove_curve` (background_line_remover.cpp).
  ElementRemovalInfo remove_curve(uuid const& input_id);

  // Called every `INTERRUPT_CHECK_EDGES` inserted edges when set
  // (`BackgroundLineInserter::set_interrupt_check`).
  std::function<void()> interrupt_check;
  static constexpr unsigned INTERRUPT_CHECK_EDGES = 1024;

 private:
  // Places both end vertices of the input edge (vertex 0 first), records each as a macro
  // vertex and returns the background vertex of each.
  std::array<index_t, 2> insert_edge_vertices(EdgedCurve<1> const& input, index_t edge_id);

  // Snaps `point` onto a vertex of `edge` or splits `edge` at it; returns the background
  // vertex at the point. Records nothing.
  index_t insert_point_in_edge(index_t edge, Point<1> const& point);

  // Places one input edge and tags the background edges between its placed vertices.
  ElementInsertionInfo::INSERTION_STATUS insert_curve_edge(EdgedCurve<1> const& input,
                                                           index_t edge_id);

  // Follows the background from `first` along `start` (never straight back) until `last`;
  // fills `walk_edges` and returns true when it arrives, false when it stops at a dead end
  // or a loop (`stopped_at` then names the vertex).
  bool walk(index_t first, index_t last, EdgeVertex const& start, index_t& stopped_at);

  // Fields in construction order; the state owns only `element_search`.
  BackgroundLine& line;
  EdgedCurve<1> const& curve;
  ElementSearch<EdgedCurve<1>> element_search;
  std::uint32_t cached_clean_stamp;
  BackgroundLineBuilder& builder;
  EdgedCurveModifier<1>& modifier;

  // The splits of an all-or-nothing insertion, while it runs (`recording`).
  EdgedCurveModifier<1>::SplitRecord split_record;
  bool recording{false};

  // The curve's marks of the vertices insertions created (null until the first split made
  // by an insertion); found again at each call.
  std::shared_ptr<VariableAttribute<std::uint8_t>> inserted_vertices;

  // Marks `vertex` as passed by the current walk.
  void stamp(index_t vertex);

  // Scratch of the walk, kept between calls so that walks do not allocate once warm: the
  // edges walked, the first vertices passed, and per vertex the number of the last long walk
  // that passed it.
  std::vector<index_t> walk_edges;
  absl::InlinedVector<index_t, 16> passed_recent;
  std::vector<std::uint32_t> passed_stamps;
  std::uint32_t walk_number{0};

  // Scratch of the debug lines: a line too long for the stack is composed here, and each
  // point's text is written here, so that composing does not allocate once warm.
  std::string debug_line;
  debug_lines::PointText point_text;
};

}  // namespace velk::internal

// Insertion of input curves, or chosen edges of them, into a background line.
//
//   velk::internal::BackgroundLineInserter inserter{{line, modifier}, line_builder};
//   velk::internal::ElementInsertionInfo report = inserter.insert_curve(input);
//   report.status(0);   // INSERTION_STATUS::inserted
//   inserter.remove_curve(input);   // and out again: ElementRemovalInfo
#pragma once

#include <functional>
#include <memory>

#include <absl/types/span.h>

#include <background_common/element_insertion_info.hpp>
#include <background_common/modifiable_object.hpp>
#include <mesh/edged_curve.hpp>
#include <velk/background_line/background_line.hpp>
#include <velk/background_line/background_line_builder.hpp>
#include <velk/background_line/element_removal_info.hpp>

namespace velk::internal {

// Places input edges into the background. For each input edge, both end vertices are
// placed (vertex 0 first) by the rule of `detail::find_containing_edge`: a point within the
// tolerance of one or more background vertices lands on the nearest of them (exactly on a
// vertex: on that one), otherwise it splits, through the modifier, the edge that holds it
// strictly inside; the background vertex records the input vertex. Then, from the first
// placed vertex, each background edge around it whose far end lies on the input segment
// and between the two placed vertices starts a walk that follows the background (never
// straight back) until the second placed vertex, and every edge of a walk that arrives
// records the input edge. When both ends were placed on one vertex, no walk starts: the
// input edge covers no background edge.
//
// A walk that reaches a vertex with no edge but the one it came by, or that would pass a
// vertex it has already passed (a loop that never reaches the second vertex), is stopped:
// its edges record nothing, and a warning line is logged. The report then gives the
// input edge `INSERTION_STATUS::walk_stopped` when its two placed vertices differ and no
// walk arrived; otherwise (and always when both ends were placed on one vertex) it gives
// `INSERTION_STATUS::inserted`. Its macro vertices are recorded either way.
//
// Every placement writes eight debug lines (`label = value`) through `Logger::log_debug`,
// composed on every call; each call reports progress at `info` level with the message
// "Insertion of curve <name> (<uuid>): ". Nothing is rolled back when `insert_curve` or
// `insert_curve_edges` throws; `insert_new_curve` undoes what it did.
// The line, modifier and builder must outlive the inserter, which owns only its element
// search; neither copyable nor movable. One thread at a time.
class VELK_BACKGROUND_LINE_API BackgroundLineInserter {
 public:
  // `object.modifier` must edit `object.object`'s curve and `builder` must be its
  // builder; a modifier of another curve is refused with `LumoraException`.
  BackgroundLineInserter(ModifiableObject<BackgroundLine> object, BackgroundLineBuilder& builder);
  ~BackgroundLineInserter();
  BackgroundLineInserter(BackgroundLineInserter const&) = delete;
  BackgroundLineInserter& operator=(BackgroundLineInserter const&) = delete;

  // Inserts every edge of `input` in index order; returns one report entry per edge.
  // Throws `LumoraException` "[BackgroundLineInserter::insert_curve] Failed to insert
  // vertex." for a point outside the background (or not finite); edges inserted before
  // stay inserted, and no report is returned.
  ElementInsertionInfo insert_curve(EdgedCurve<1> const& input);

  // Inserts the listed edges of `input` in list order, once per occurrence. An index out
  // of range throws the kernel's index error when its turn comes.
  ElementInsertionInfo insert_curve_edges(EdgedCurve<1> const& input,
                                          absl::Span<index_t const> edges);

  // `insert_curve` and `insert_curve_edges`, all or nothing, for a curve the background
  // carries nothing of (never inserted, or removed since). When the call throws (a point
  // outside the background, memory exhausted, ...), what it did is undone before the
  // exception passes on: every macro vertex and element naming `input` is removed, and the
  // splits are undone (`EdgedCurveModifier<1>::undo_splits`): the background's vertices,
  // edges, numbering, lists around vertices and macro information are as before the call.
  // Undoing costs O(vertices + edges) of the background; a call that succeeds costs what
  // `insert_curve` does plus a note per background edge of before the call that it splits.
  // Should undoing fail too (memory still exhausted), its exception passes on instead and
  // the background is left part-way.
  ElementInsertionInfo insert_new_curve(EdgedCurve<1> const& input);
  ElementInsertionInfo insert_new_curve_edges(EdgedCurve<1> const& input,
                                              absl::Span<index_t const> edges);

  // Removes the input curve `input` (found by its uuid) from the background, the inverse of
  // its insertions:
  // - every macro vertex and macro element naming the curve is removed, wherever it was
  //   recorded (detached elements too; an element inserted twice is removed twice);
  // - then every background vertex that an insertion created by a split, that now carries
  //   no macro vertex, has exactly two edges (leading to two other vertices, the vertex
  //   lying between them) and whose two edges carry the same macro elements as multisets,
  //   is merged away: the modifier's `join_edges` makes its two edges one again. Vertices
  //   of the caller's background and those of the caller's own splits are never merged
  //   (see `BackgroundLine::INSERTED_VERTEX_ATTRIBUTE_NAME`).
  // Returns the counts; a curve never inserted changes nothing and gives zeros. Costs in
  // proportion to the background elements that carried the curve, times a log factor.
  // The joined edges and merged vertices are detached, for `clean_edges` and
  // `clean_vertices` as after any edit. Nothing is rolled back when a call throws.
  ElementRemovalInfo remove_curve(EdgedCurve<1> const& input);

  // The same, for the curve with uuid `input_id` (the curve object may no longer exist).
  ElementRemovalInfo remove_curve(uuid const& input_id);

  // Lets a caller stop a long insertion: `check` (when not empty) is called after every
  // 1024 inserted edges of every insert call, and whatever it throws passes on like any
  // other failure of the call, so that `insert_new_curve` and `insert_new_curve_edges`
  // undo what they did first. An empty function turns the check off.
  void set_interrupt_check(std::function<void()> check);

  // How many times the element search was rebuilt: at the first insertion and whenever
  // the modifier's clean stamp changed since the last one.
  unsigned nb_element_search_rebuilds() const;

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace velk::internal

#include <velk/background_line/background_line_inserter.hpp>

#include <algorithm>
#include <functional>
#include <numeric>

#include <absl/strings/str_cat.h>

#include <basic/progress_logger.hpp>
#include <basic/strings.hpp>
#include <geometry/position.hpp>

#include "editing/background_line_inserter_impl.hpp"
#include "editing/debug_lines.hpp"

namespace velk::internal {
namespace {

// Walks up to this many vertices long check passed vertices by a linear scan; longer ones
// stamp each vertex they pass in an array kept between walks.
constexpr std::size_t LINEAR_PASSED_LIMIT = 16;

}  // namespace

BackgroundLineInserter::Impl::Impl(BackgroundLine& line, EdgedCurveModifier<1>& modifier,
                                   BackgroundLineBuilder& builder)
    : line{line},
      curve{line.line()},
      element_search{},
      cached_clean_stamp{~std::uint32_t{0}},
      builder{builder},
      modifier{modifier} {
  if (&modifier.curve() != &curve) {
    throw LumoraException{
        "[BackgroundLineInserter::BackgroundLineInserter] the modifier edits another curve "
        "than the background line's"};
  }
}

ElementInsertionInfo BackgroundLineInserter::Impl::insert_edges(EdgedCurve<1> const& input,
                                                                absl::Span<index_t const> edges) {
  if (modifier.clean_stamp() != cached_clean_stamp) {
    element_search.reinitialize_elements_tree(curve);
    cached_clean_stamp = modifier.clean_stamp();
  }
  inserted_vertices = curve.vertex_attribute_manager().find_attribute<std::uint8_t>(
      BackgroundLine::INSERTED_VERTEX_ATTRIBUTE_NAME);
  // Each placed input vertex splits at most one background edge, and an input vertex placed
  // a second time finds its background vertex there: room for that many splits up front.
  auto const nb_placed = std::min<std::size_t>(2 * edges.size(), input.nb_vertices());
  modifier.reserve_for_splits(static_cast<index_t>(nb_placed));
  ElementInsertionInfo report;
  report.reserve(static_cast<index_t>(edges.size()));
  ProgressLogger progress{
      Logger::LEVEL::info,
      absl::StrCat("Insertion of curve ", as_absl(input.name()), " (", input.id().string(), "): "),
      static_cast<unsigned>(edges.size())};
  unsigned until_check = INTERRUPT_CHECK_EDGES;
  for (auto const edge : edges) {
    auto const status = insert_curve_edge(input, edge);
    report.add(status, edge);
    progress.increment();
    if (--until_check == 0) {
      until_check = INTERRUPT_CHECK_EDGES;
      if (interrupt_check) interrupt_check();
    }
  }
  return report;
}

ElementInsertionInfo BackgroundLineInserter::Impl::insert_new_edges(
    EdgedCurve<1> const& input, absl::Span<index_t const> edges) {
  auto& vertex_attributes = curve.vertex_attribute_manager();
  auto const had_marks =
      vertex_attributes.attribute_exists(BackgroundLine::INSERTED_VERTEX_ATTRIBUTE_NAME);
  split_record.start(curve);
  recording = true;
  try {
    auto report = insert_edges(input, edges);
    recording = false;
    return report;
  } catch (...) {
    recording = false;
    // The splits go first, and with the vertices and edges they made, their lists: most of
    // what the call allocated is then free again for what follows. The curve is new to the
    // background: every macro entry that still names it was made by this call.
    modifier.undo_splits(split_record);
    builder.remove_macro_mesh(input.id());
    if (!had_marks) {
      inserted_vertices.reset();
      vertex_attributes.delete_attribute(BackgroundLine::INSERTED_VERTEX_ATTRIBUTE_NAME);
    }
    throw;
  }
}

ElementInsertionInfo::INSERTION_STATUS BackgroundLineInserter::Impl::insert_curve_edge(
    EdgedCurve<1> const& input, index_t edge_id) {
  debug_lines::write(debug_line, debug_lines::INSERT_CURVE_EDGE);
  debug_lines::write(debug_line, "edge_id", edge_id);
  auto const background_vertices = insert_edge_vertices(input, edge_id);
  auto const segment = input.segment(edge_id);
  MeshElement const macro_element{input.id(), edge_id};
  auto const first = background_vertices[0];
  auto const last = background_vertices[1];
  // Both ends on one vertex: the input edge covers no background edge, and no walk sets
  // out (on an open line it could never come back).
  if (first == last) return ElementInsertionInfo::INSERTION_STATUS::inserted;
  // A walk sets out only towards `last`: its first far end lies on the input segment and
  // between the two placed vertices (ends included). A vertex on the other side may lie
  // within the tolerance of the input's end too, yet a walk that way leads away.
  auto const first_x = curve.point(first).value(0);
  auto const last_x = curve.point(last).value(0);
  auto const low = std::min(first_x, last_x);
  auto const high = std::max(first_x, last_x);
  bool arrived = false;
  // The list around `first` is not edited while walking: tagging writes attributes only.
  for (auto const& start : curve.edges_around_vertex(first)) {
    auto const far_end = curve.edge_vertex(start.opposite());
    auto const& far_point = curve.point(far_end);
    auto const far_x = far_point.value(0);
    if (point_segment_position<1>(far_point, segment) == POSITION::outside || far_x < low ||
        far_x > high) {
      continue;
    }
    index_t stopped_at = NO_ID;
    if (!walk(first, last, start, stopped_at)) {
      Logger::log_warn(absl::StrCat(
          "[BackgroundLineInserter::insert_curve] walk of input edge ", edge_id, " of curve ",
          as_absl(input.name()), " from background vertex ", first, " along edge ", start.edge_id,
          " stopped at background vertex ", stopped_at, " without reaching background vertex ",
          last, "; its edges were not tagged"));
      continue;
    }
    arrived = true;
    builder.add_macro_element_info(macro_element, walk_edges);
  }
  if (!arrived) return ElementInsertionInfo::INSERTION_STATUS::walk_stopped;
  return ElementInsertionInfo::INSERTION_STATUS::inserted;
}

bool BackgroundLineInserter::Impl::walk(index_t first, index_t last, EdgeVertex const& start,
                                        index_t& stopped_at) {
  walk_edges.clear();
  passed_recent.clear();
  bool stamped = false;
  // A walk's first vertices are checked by a scan; a longer walk stamps each vertex it
  // passes with the walk's number instead (no hashing, no clearing).
  auto const pass = [this, &stamped](index_t vertex) {
    if (!stamped && passed_recent.size() < LINEAR_PASSED_LIMIT) {
      passed_recent.push_back(vertex);
      return;
    }
    if (!stamped) {
      stamped = true;
      if (++walk_number == 0) {  // wrapped: stamps of earlier walks could match
        std::fill(passed_stamps.begin(), passed_stamps.end(), 0);
        walk_number = 1;
      }
      for (auto const earlier : passed_recent) stamp(earlier);
    }
    stamp(vertex);
  };
  auto const was_passed = [this, &stamped](index_t vertex) {
    if (stamped) return vertex < passed_stamps.size() && passed_stamps[vertex] == walk_number;
    return std::find(passed_recent.begin(), passed_recent.end(), vertex) != passed_recent.end();
  };

  walk_edges.push_back(start.edge_id);
  pass(first);
  auto previous = first;
  auto current = curve.edge_vertex(start.opposite());
  while (current != last) {
    if (was_passed(current)) {
      stopped_at = current;
      return false;
    }
    pass(current);
    // The first edge around `current` that does not lead back to `previous`.
    auto next = NO_ID;
    for (auto const& around : curve.edges_around_vertex(current)) {
      auto const far_end = curve.edge_vertex(around.opposite());
      if (far_end != previous) {
        walk_edges.push_back(around.edge_id);
        next = far_end;
        break;
      }
    }
    if (next == NO_ID) {
      stopped_at = current;
      return false;
    }
    previous = current;
    current = next;
  }
  return true;
}

void BackgroundLineInserter::Impl::stamp(index_t vertex) {
  if (vertex >= passed_stamps.size()) {
    passed_stamps.resize(std::max<std::size_t>(std::size_t{vertex} + 1, curve.nb_vertices()), 0);
  }
  passed_stamps[vertex] = walk_number;
}

BackgroundLineInserter::BackgroundLineInserter(ModifiableObject<BackgroundLine> object,
                                               BackgroundLineBuilder& builder)
    : impl_{std::make_unique<Impl>(object.object, object.modifier, builder)} {}

BackgroundLineInserter::~BackgroundLineInserter() = default;

ElementRemovalInfo BackgroundLineInserter::remove_curve(EdgedCurve<1> const& input) {
  return impl_->remove_curve(input.id());
}

ElementRemovalInfo BackgroundLineInserter::remove_curve(uuid const& input_id) {
  return impl_->remove_curve(input_id);
}

ElementInsertionInfo BackgroundLineInserter::insert_curve(EdgedCurve<1> const& input) {
  absl::InlinedVector<index_t, 64> edges(input.nb_edges());
  std::iota(edges.begin(), edges.end(), index_t{0});
  return impl_->insert_edges(input, edges);
}

ElementInsertionInfo BackgroundLineInserter::insert_curve_edges(EdgedCurve<1> const& input,
                                                                absl::Span<index_t const> edges) {
  return impl_->insert_edges(input, edges);
}

ElementInsertionInfo BackgroundLineInserter::insert_new_curve(EdgedCurve<1> const& input) {
  absl::InlinedVector<index_t, 64> edges(input.nb_edges());
  std::iota(edges.begin(), edges.end(), index_t{0});
  return impl_->insert_new_edges(input, edges);
}

ElementInsertionInfo BackgroundLineInserter::insert_new_curve_edges(
    EdgedCurve<1> const& input, absl::Span<index_t const> edges) {
  return impl_->insert_new_edges(input, edges);
}

void BackgroundLineInserter::set_interrupt_check(std::function<void()> check) {
  impl_->interrupt_check = std::move(check);
}

unsigned BackgroundLineInserter::nb_element_search_rebuilds() const {
  return impl_->nb_element_search_rebuilds();
}

}  // namespace velk::internal

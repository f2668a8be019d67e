#include <basic/lumora_exception.hpp>
#include <modifier/detection.hpp>

#include "editing/background_line_inserter_impl.hpp"
#include "editing/debug_lines.hpp"

namespace velk::internal {

std::array<index_t, 2> BackgroundLineInserter::Impl::insert_edge_vertices(
    EdgedCurve<1> const& input, index_t edge_id) {
  // Copies, not references: inserting a curve into itself grows the arrays they live in.
  auto const vertices = input.edge_vertices(edge_id);
  std::array<index_t, 2> background_vertices{};
  for (std::size_t end = 0; end < 2; ++end) {
    auto const vertex = vertices[end];
    auto const point = input.point(vertex);
    MeshVertex const macro_vertex{input.id(), vertex};
    // The point's text goes into two lines; it is the same text both times.
    debug_lines::write(debug_line, debug_lines::INSERT_VERTEX);
    debug_lines::write(debug_line, "point", point_text.of(point));
    // The search tree holds the edges as they were at its last rebuild; a point it misses
    // may still lie on the background now (an end vertex moved outward since), so an
    // empty first guess goes to the modifier's lookup of the current edges as well.
    auto const initial = element_search.initial_containing_element(point);
    auto const edge = detail::find_containing_edge(point, curve, modifier, initial.value_or(NO_ID));
    if (!edge) {
      throw LumoraException{"[BackgroundLineInserter::insert_curve] Failed to insert vertex."};
    }
    auto const background_vertex = insert_point_in_edge(*edge, point);
    builder.add_macro_vertex_info(macro_vertex, background_vertex);
    debug_lines::write(debug_line, "inserted_vertex", background_vertex);
    background_vertices[end] = background_vertex;
    debug_lines::write(debug_line, "vertex", vertex);
    debug_lines::write(debug_line, "background_vertices[v]", background_vertices[end]);
  }
  return background_vertices;
}

index_t BackgroundLineInserter::Impl::insert_point_in_edge(index_t edge, Point<1> const& point) {
  debug_lines::write(debug_line, debug_lines::INSERT_VERTEX_IN_EDGE);
  debug_lines::write(debug_line, "point", point_text.of(point));
  if (auto const local = detail::snapping_detection<1>(curve, edge, point)) {
    debug_lines::write(debug_line, debug_lines::SNAP);
    return curve.edge_vertex(EdgeVertex{edge, *local});
  }
  debug_lines::write(debug_line, debug_lines::SPLIT);
  if (recording) split_record.note_split(curve, edge);
  auto const split = modifier.split_edge(edge, point);
  auto const vertex = modifier.updated_vertex(split.new_vertex);
  if (!inserted_vertices) {
    inserted_vertices = curve.vertex_attribute_manager().find_or_create_attribute<std::uint8_t>(
        BackgroundLine::INSERTED_VERTEX_ATTRIBUTE_NAME, 0);
  }
  inserted_vertices->set_value(vertex, BackgroundLine::INSERTED_VERTEX_MARK);
  return vertex;
}

}  // namespace velk::internal

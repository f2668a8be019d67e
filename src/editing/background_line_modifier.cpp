#include <velk/background_line/background_line_modifier.hpp>

#include <algorithm>
#include <cstdint>

#include <absl/strings/str_cat.h>

namespace velk::internal {

struct BackgroundLineModifier::Impl {
  BackgroundLineBuilder& builder;
  BackgroundLine const& line;
};

BackgroundLineModifier::BackgroundLineModifier(BackgroundLine const& background,
                                               BackgroundLineBuilder& builder,
                                               EdgedCurveBuilder<1>& curve_builder)
    : EdgedCurveModifier<1>{background.line(), curve_builder},
      impl_{std::make_unique<Impl>(Impl{builder, background})} {}

BackgroundLineModifier::~BackgroundLineModifier() = default;

std::vector<index_t> BackgroundLineModifier::clean_edges() { return GraphModifier::clean_edges(); }

std::vector<index_t> BackgroundLineModifier::clean_vertices() {
  auto const& curve = impl_->line.line();
  if (auto const marks = curve.vertex_attribute_manager().find_attribute<std::uint8_t>(
          BackgroundLine::INSERTED_VERTEX_ATTRIBUTE_NAME)) {
    auto const count = std::min(marks->size(), curve.nb_vertices());
    for (index_t vertex = 0; vertex < count; ++vertex) {
      if (marks->value(vertex) == BackgroundLine::MERGED_VERTEX_MARK &&
          curve.edges_around_vertex(vertex).empty()) {
        detach_vertex(vertex);
      }
    }
  }
  return GraphModifier::clean_vertices();
}

GraphModifier::CollapseEdgeInfo BackgroundLineModifier::collapse_edge(index_t edge,
                                                                      Point<1> const& point) {
  auto info = EdgedCurveModifier<1>::collapse_edge(edge, point);
  // The remaining vertex stands for every vertex merged into it: it counts as made by an
  // insertion only when all of them were, so that a removal never merges a caller's vertex.
  auto const& curve = impl_->line.line();
  if (auto const marks = curve.vertex_attribute_manager().find_attribute<std::uint8_t>(
          BackgroundLine::INSERTED_VERTEX_ATTRIBUTE_NAME)) {
    for (auto const vertex : info.vertex_mapping.second) {
      if (vertex < marks->size() && marks->value(vertex) != BackgroundLine::INSERTED_VERTEX_MARK) {
        marks->set_value(info.vertex_mapping.first, 0);
      }
    }
  }
  impl_->builder.update_information(info);
  return info;
}

GraphModifier::SplitEdgeInfo BackgroundLineModifier::split_edge(index_t edge,
                                                                Point<1> const& point) {
  auto const info = EdgedCurveModifier<1>::split_edge(edge, point);
  impl_->builder.update_information(info);
  return info;
}

EdgedCurveModifier<1>::JoinEdgesInfo BackgroundLineModifier::join_edges(index_t vertex) {
  static constexpr char const* OPERATION = "BackgroundLineModifier::join_edges";
  auto const& line = impl_->line;
  auto const& curve = line.line();
  detail::check_index(vertex, curve.nb_vertices(), OPERATION, "vertex");
  if (auto const count = line.macro_vertex_view(vertex).size(); count > 0) {
    throw LumoraException{
        absl::StrCat("[", OPERATION, "] vertex ", vertex, " carries ", count, " macro vertices")};
  }
  auto const& around = curve.edges_around_vertex(vertex);
  if (around.size() == 2 && !line.same_macro_elements(around[0].edge_id, around[1].edge_id)) {
    throw LumoraException{absl::StrCat("[", OPERATION, "] edges ", around[0].edge_id, " and ",
                                       around[1].edge_id, " around vertex ", vertex,
                                       " carry different macro elements")};
  }
  return EdgedCurveModifier<1>::join_edges(vertex);
}

}  // namespace velk::internal

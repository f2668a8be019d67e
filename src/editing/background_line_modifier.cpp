#include <velk/background_line/background_line_modifier.hpp>

namespace velk::internal {

struct BackgroundLineModifier::Impl {
  BackgroundLineBuilder& builder;
};

BackgroundLineModifier::BackgroundLineModifier(BackgroundLine const& background,
                                               BackgroundLineBuilder& builder,
                                               EdgedCurveBuilder<1>& curve_builder)
    : EdgedCurveModifier<1>{background.line(), curve_builder},
      impl_{std::make_unique<Impl>(Impl{builder})} {}

BackgroundLineModifier::~BackgroundLineModifier() = default;

std::vector<index_t> BackgroundLineModifier::clean_edges() {
  return GraphModifier::clean_edges();
}

GraphModifier::CollapseEdgeInfo BackgroundLineModifier::collapse_edge(index_t edge,
                                                                      Point<1> const& point) {
  auto info = EdgedCurveModifier<1>::collapse_edge(edge, point);
  impl_->builder.update_information(info);
  return info;
}

GraphModifier::SplitEdgeInfo BackgroundLineModifier::split_edge(index_t edge,
                                                                Point<1> const& point) {
  auto const info = EdgedCurveModifier<1>::split_edge(edge, point);
  impl_->builder.update_information(info);
  return info;
}

}  // namespace velk::internal

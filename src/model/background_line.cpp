#include <velk/background_line/background_line.hpp>

#include <velk/background_line/background_line_builder.hpp>

#include "model/background_line_impl.hpp"

namespace velk::internal {

MacroInfo1D::MacroInfo1D() = default;

MacroInfo1D::MacroInfo1D(MacroInfo1D&& other) noexcept : MacroInfo{std::move(other)} {}

MacroInfo1D::~MacroInfo1D() = default;

void MacroInfo1D::initialize_macro_info_line_data_base(AttributeManager& vertex_attribute_manager,
                                                       AttributeManager& edge_attribute_manager) {
  initialize_macro_info_data_base(vertex_attribute_manager, edge_attribute_manager);
}

void MacroInfo1D::clean_background_line_data_base(
    AttributeManager& vertex_attribute_manager, AttributeManager& edge_attribute_manager) noexcept {
  clean_macro_info_data_base(vertex_attribute_manager, edge_attribute_manager);
}

BackgroundLine::BackgroundLine(EdgedCurve<1> const& line) : impl_{std::make_unique<Impl>(line)} {
  // A builder exists over the line while its data base is set up, as every writer of the
  // macro information is bound before the store is used.
  BackgroundLineBuilder builder{*this};
  initialize_macro_info_line_data_base(line.vertex_attribute_manager(),
                                       line.edge_attribute_manager());
}

BackgroundLine::BackgroundLine(BackgroundLine&& other) noexcept
    : MacroInfo1D{std::move(other)}, impl_{std::move(other.impl_)} {}

BackgroundLine::~BackgroundLine() {
  // A curve destroyed first (as in a clone's tuple going out of scope) has nothing left
  // to clean.
  if (impl_ && impl_->is_curve_alive()) {
    clean_background_line_data_base(impl_->curve().vertex_attribute_manager(),
                                    impl_->curve().edge_attribute_manager());
  }
}

EdgedCurve<1> const& BackgroundLine::line() const { return impl_->curve(); }

std::tuple<std::unique_ptr<EdgedCurve<1>>, std::unique_ptr<BackgroundLine>> BackgroundLine::clone()
    const {
  std::tuple<std::unique_ptr<EdgedCurve<1>>, std::unique_ptr<BackgroundLine>> result;
  std::get<0>(result) = line().clone();
  std::get<1>(result) = std::make_unique<BackgroundLine>(*std::get<0>(result));
  return result;
}

std::unique_ptr<EdgedCurve<1>> BackgroundLine::clone_line() const {
  auto cloned = clone();
  auto curve = std::move(std::get<0>(cloned));
  std::get<1>(cloned).reset();
  return curve;
}

std::optional<std::vector<index_t>> BackgroundLine::macro_edge_path(
    std::array<index_t, 2> const& vertices, MeshEdge const& macro_edge) const {
  return impl_->macro_edge_path(*this, vertices, macro_edge, DEFAULT_PATH_STEP_LIMIT);
}

std::optional<std::vector<index_t>> BackgroundLine::macro_edge_path(
    std::array<index_t, 2> const& vertices, MeshEdge const& macro_edge, index_t step_limit) const {
  return impl_->macro_edge_path(*this, vertices, macro_edge, step_limit);
}

MacroEdgePaths BackgroundLine::macro_edge_paths(
    absl::Span<MacroEdgePathQuery const> queries) const {
  return impl_->macro_edge_paths(*this, queries, DEFAULT_PATH_STEP_LIMIT);
}

MacroEdgePaths BackgroundLine::macro_edge_paths(absl::Span<MacroEdgePathQuery const> queries,
                                                index_t step_limit) const {
  return impl_->macro_edge_paths(*this, queries, step_limit);
}

}  // namespace velk::internal

#include <velk/background_line/background_line_builder.hpp>

#include <array>

namespace velk::internal {

MacroInfoBuilder1D::MacroInfoBuilder1D(MacroInfo1D& info) : MacroInfoBuilder{info} {}

MacroInfoBuilder1D::MacroInfoBuilder1D(MacroInfoBuilder1D&& other) noexcept
    : MacroInfoBuilder{std::move(other)} {}

MacroInfoBuilder1D::~MacroInfoBuilder1D() = default;

void MacroInfoBuilder1D::update_information(GraphModifier::SplitEdgeInfo const& info) {
  update_element({info.new_edges[0], info.split_edge});
  update_element({info.new_edges[1], info.split_edge});
}

void MacroInfoBuilder1D::update_information(GraphModifier::CollapseEdgeInfo const& info) {
  std::array<MultiMapping<index_t>, 1> const mappings{{info.vertex_mapping}};
  update_vertices(mappings);
}

BackgroundLineBuilder::BackgroundLineBuilder(BackgroundLine& background)
    : MacroInfoBuilder1D{background} {}

BackgroundLineBuilder::BackgroundLineBuilder(BackgroundLineBuilder&& other) noexcept
    : MacroInfoBuilder1D{std::move(other)} {}

BackgroundLineBuilder::~BackgroundLineBuilder() = default;

}  // namespace velk::internal

// The builder of a background line's macro information.
//
//   velk::internal::BackgroundLineBuilder line_builder{line};
//   line_builder.add_macro_element_info(velk::MeshElement{input.id(), e}, background_edge);
#pragma once

#include <velk/background_line/background_line.hpp>
#include <velk/background_line/macro_info_builder_1d.hpp>

namespace velk::internal {

// Writes the macro information of one background line, which must outlive it. Movable
// (a moved builder edits the same line), not copyable.
class VELK_BACKGROUND_LINE_API BackgroundLineBuilder : public MacroInfoBuilder1D {
 public:
  explicit BackgroundLineBuilder(BackgroundLine& background);
  BackgroundLineBuilder(BackgroundLineBuilder&& other) noexcept;
  ~BackgroundLineBuilder() override;
};

}  // namespace velk::internal

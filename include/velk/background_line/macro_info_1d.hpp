// The one-dimensional layer of the macro-information store.
#pragma once

#include <background_common/macro_info.hpp>
#include <velk/background_line/velk_background_line_export.hpp>

namespace velk::internal {

// `MacroInfo` with hooks that set its data base up on, and clean it off, a pair of
// attribute managers (vertex manager first, edge manager second). Adds no data.
class VELK_BACKGROUND_LINE_API MacroInfo1D : public MacroInfo {
 public:
  ~MacroInfo1D();

 protected:
  MacroInfo1D();
  MacroInfo1D(MacroInfo1D&& other) noexcept;

  // Forwards to `MacroInfo::initialize_macro_info_data_base`, unchanged and in order.
  void initialize_macro_info_line_data_base(AttributeManager& vertex_attribute_manager,
                                            AttributeManager& edge_attribute_manager);

  // Forwards to `MacroInfo::clean_macro_info_data_base`, unchanged and in order.
  void clean_background_line_data_base(AttributeManager& vertex_attribute_manager,
                                       AttributeManager& edge_attribute_manager) noexcept;
};

}  // namespace velk::internal

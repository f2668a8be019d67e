// A macro-information store over a curve's attributes, and a writer for it, the way a
// background class holds them.
//
//   velk::test::CurveStore store{curve};
//   velk::test::StoreWriter writer{store};
//   writer.add_macro_element_info(element, 0);
#pragma once

#include <background_common/macro_info.hpp>
#include <background_common/macro_info_builder.hpp>
#include <mesh/edged_curve.hpp>

namespace velk::test {

// Creates its attributes on `curve`; they grow with the curve.
class CurveStore : public internal::MacroInfo {
 public:
  explicit CurveStore(EdgedCurve<1> const& curve) {
    initialize_macro_info_data_base(curve.vertex_attribute_manager(),
                                    curve.edge_attribute_manager());
  }
};

class StoreWriter : public internal::MacroInfoBuilder {
 public:
  explicit StoreWriter(internal::MacroInfo& info) : MacroInfoBuilder{info} {}
};

}  // namespace velk::test

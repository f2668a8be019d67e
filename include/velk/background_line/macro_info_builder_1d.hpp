// The one-dimensional layer of the macro-information builder: carrying macro information
// through edge splits and collapses.
//
//   builder.update_information(split_info);      // both new edges carry the split edge's list
//   builder.update_information(collapse_info);   // the remaining vertex carries the union
#pragma once

#include <background_common/macro_info_builder.hpp>
#include <modifier/graph_modifier.hpp>
#include <velk/background_line/macro_info_1d.hpp>

namespace velk::internal {

// `MacroInfoBuilder` plus the two updates of a one-dimensional background. Made only as
// the base of a derived builder or by a move; not copyable.
class VELK_BACKGROUND_LINE_API MacroInfoBuilder1D : public MacroInfoBuilder {
 public:
  MacroInfoBuilder1D(MacroInfoBuilder1D&& other) noexcept;
  ~MacroInfoBuilder1D() override;

  // `update_element({first new edge, split edge})`, then the same for the second new
  // edge: exactly two calls; the new vertex gets nothing. If the second call throws, the
  // first one's effect stays.
  void update_information(GraphModifier::SplitEdgeInfo const& info);

  // `update_vertices` over a one-element span holding a copy of the vertex mapping.
  void update_information(GraphModifier::CollapseEdgeInfo const& info);

 protected:
  explicit MacroInfoBuilder1D(MacroInfo1D& info);
};

}  // namespace velk::internal

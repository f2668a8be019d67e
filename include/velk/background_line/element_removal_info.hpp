// The report of a curve removal: how much macro information went, and how many vertices
// were merged back.
//
//   velk::internal::ElementRemovalInfo report = inserter.remove_curve(input);
//   report.macro_elements_removed;   // entries taken off live background edges
#pragma once

#include <cstddef>

namespace velk::internal {

// Three counts, all zero for a curve that was never inserted. A value type.
struct ElementRemovalInfo {
  // Macro vertices of the curve taken off background vertices that have edges (an input
  // vertex placed twice counts twice).
  std::size_t macro_vertices_removed{0};
  // Macro elements of the curve taken off live background edges (an input edge inserted
  // twice counts twice on each edge that carried it).
  std::size_t macro_elements_removed{0};
  // Background vertices made by insertions that were merged away, their two edges joined.
  std::size_t vertices_merged{0};

  friend bool operator==(ElementRemovalInfo const& lhs, ElementRemovalInfo const& rhs) {
    return lhs.macro_vertices_removed == rhs.macro_vertices_removed &&
           lhs.macro_elements_removed == rhs.macro_elements_removed &&
           lhs.vertices_merged == rhs.vertices_merged;
  }
  friend bool operator!=(ElementRemovalInfo const& lhs, ElementRemovalInfo const& rhs) {
    return !(lhs == rhs);
  }
};

}  // namespace velk::internal

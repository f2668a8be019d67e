// Comparisons of macro-information lists, shared by the modifier and the curve remover.
#pragma once

#include <algorithm>
#include <tuple>
#include <vector>

#include <mesh/mesh_element.hpp>

namespace velk::internal {

// Whether two lists hold the same macro elements, each as often (order aside).
inline bool same_macro_elements(std::vector<MeshElement> const& lhs,
                                std::vector<MeshElement> const& rhs) {
  if (lhs.size() != rhs.size()) return false;
  if (lhs == rhs) return true;
  auto const before = [](MeshElement const& a, MeshElement const& b) {
    return std::tie(a.mesh_id, a.element_id) < std::tie(b.mesh_id, b.element_id);
  };
  auto sorted_lhs = lhs;
  auto sorted_rhs = rhs;
  std::sort(sorted_lhs.begin(), sorted_lhs.end(), before);
  std::sort(sorted_rhs.begin(), sorted_rhs.end(), before);
  return sorted_lhs == sorted_rhs;
}

}  // namespace velk::internal

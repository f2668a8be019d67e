// First guesses of the background edge that contains a point.
//
//   velk::internal::ElementSearch<velk::EdgedCurve<1>> search;
//   search.reinitialize_elements_tree(curve);              // O(n log n)
//   std::optional<velk::index_t> edge = search.initial_containing_element(point);  // O(log n)
#pragma once

#include <memory>
#include <optional>

#include <background_common/velk_background_common_export.hpp>
#include <geometry/point.hpp>
#include <mesh/edged_curve.hpp>

namespace velk::internal {

template <typename Mesh>
class ElementSearch;

// A sorted table of the intervals of a curve's edges, as they were at the last
// `reinitialize_elements_tree`. It is not updated by later edits: its answers are
// starting points for `velk::detail::find_containing_edge`, which knows the current curve.
template <>
class VELK_BACKGROUND_COMMON_API ElementSearch<EdgedCurve<1>> {
 public:
  // No tree: every query answers empty until the first rebuild.
  ElementSearch();
  ~ElementSearch();
  ElementSearch(ElementSearch&& other) noexcept;
  ElementSearch& operator=(ElementSearch&& other) noexcept;
  ElementSearch(ElementSearch const&) = delete;
  ElementSearch& operator=(ElementSearch const&) = delete;

  // Rebuilds the tree over the live (not detached) edges of `curve` whose end points are
  // finite. O(n log n).
  void reinitialize_elements_tree(EdgedCurve<1> const& curve);

  // An edge whose interval, widened by `GEOMETRIC_TOLERANCE` on both sides, contained the
  // point when the tree was built (the one with the smallest lower end when several
  // did); empty when none did, and for a NaN or infinite point. O(log n).
  std::optional<index_t> initial_containing_element(Point<1> const& point) const;

  // How many times the tree was rebuilt since construction.
  unsigned nb_rebuilds() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace velk::internal

#include <background_common/element_search.hpp>

#include <algorithm>
#include <cmath>
#include <vector>

#include <geometry/tolerance.hpp>

namespace velk::internal {

// The intervals sorted by lower end; the implicit balanced tree over [begin, end) has its
// root at the middle, and `subtree_max[middle]` is the largest upper end in [begin, end).
struct ElementSearch<EdgedCurve<1>>::Impl {
  struct Interval {
    double lower;
    double upper;
    index_t edge;
  };
  std::vector<Interval> intervals;
  std::vector<double> subtree_max;
  unsigned nb_rebuilds{0};

  double build(std::size_t begin, std::size_t end) {
    if (begin >= end) return -HUGE_VAL;
    auto const middle = begin + (end - begin) / 2;
    auto const maximum = std::max({intervals[middle].upper, build(begin, middle),
                                   build(middle + 1, end)});
    subtree_max[middle] = maximum;
    return maximum;
  }

  // Stabbing query. When the left half holds an interval reaching the point's lower
  // bound but none containing the point, that interval starts after the point, and so
  // does every interval of the right half: the search never needs both halves.
  std::optional<index_t> find(double x) const {
    auto const low = x - GEOMETRIC_TOLERANCE;
    auto const high = x + GEOMETRIC_TOLERANCE;
    std::size_t begin = 0;
    std::size_t end = intervals.size();
    while (begin < end) {
      auto const middle = begin + (end - begin) / 2;
      if (middle > begin) {
        auto const left_middle = begin + (middle - begin) / 2;
        if (subtree_max[left_middle] >= low) {
          end = middle;
          continue;
        }
      }
      auto const& interval = intervals[middle];
      if (interval.lower > high) return std::nullopt;
      if (interval.upper >= low) return interval.edge;
      begin = middle + 1;
    }
    return std::nullopt;
  }
};

ElementSearch<EdgedCurve<1>>::ElementSearch() : impl_{std::make_unique<Impl>()} {}

ElementSearch<EdgedCurve<1>>::~ElementSearch() = default;

ElementSearch<EdgedCurve<1>>::ElementSearch(ElementSearch&& other) noexcept = default;

ElementSearch<EdgedCurve<1>>& ElementSearch<EdgedCurve<1>>::operator=(
    ElementSearch&& other) noexcept = default;

void ElementSearch<EdgedCurve<1>>::reinitialize_elements_tree(EdgedCurve<1> const& curve) {
  if (!impl_) impl_ = std::make_unique<Impl>();
  auto& intervals = impl_->intervals;
  intervals.clear();
  intervals.reserve(curve.nb_edges());
  for (index_t edge = 0; edge < curve.nb_edges(); ++edge) {
    if (curve.is_edge_detached(edge)) continue;
    auto const& vertices = curve.edge_vertices(edge);
    if (vertices[0] >= curve.nb_vertices() || vertices[1] >= curve.nb_vertices()) continue;
    auto const first = curve.point(vertices[0]).value(0);
    auto const second = curve.point(vertices[1]).value(0);
    if (!std::isfinite(first) || !std::isfinite(second)) continue;
    intervals.push_back({std::min(first, second), std::max(first, second), edge});
  }
  std::sort(intervals.begin(), intervals.end(), [](auto const& lhs, auto const& rhs) {
    return lhs.lower < rhs.lower || (lhs.lower == rhs.lower && lhs.edge < rhs.edge);
  });
  impl_->subtree_max.assign(intervals.size(), 0.0);
  impl_->build(0, intervals.size());
  ++impl_->nb_rebuilds;
}

std::optional<index_t> ElementSearch<EdgedCurve<1>>::initial_containing_element(
    Point<1> const& point) const {
  if (!impl_) return std::nullopt;
  auto const x = point.value(0);
  if (!std::isfinite(x)) return std::nullopt;
  return impl_->find(x);
}

unsigned ElementSearch<EdgedCurve<1>>::nb_rebuilds() const {
  return impl_ ? impl_->nb_rebuilds : 0;
}

}  // namespace velk::internal

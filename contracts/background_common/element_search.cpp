#include <background_common/element_search.hpp>

#include <algorithm>
#include <cmath>
#include <vector>

#include <geometry/tolerance.hpp>

namespace velk::internal {

// The intervals sorted by (lower end, edge), with the running maximum of their upper ends.
// The answer is the first interval whose running maximum reaches x - tolerance (every
// interval before it ends below that), provided it starts no later than x + tolerance. The
// running maximum never decreases, so the first one is found by binary search: first among
// the running maxima at the ends of blocks of `BLOCK` intervals (a small array that stays in
// cache), then within one block.
struct ElementSearch<EdgedCurve<1>>::Impl {
  static constexpr std::size_t BLOCK = 32;

  struct Interval {
    double lower;
    double upper;
    index_t edge;
  };
  std::vector<Interval> intervals;
  std::vector<double> running_max;
  std::vector<double> block_max;
  unsigned nb_rebuilds{0};

  void build() {
    running_max.resize(intervals.size());
    block_max.clear();
    auto maximum = -HUGE_VAL;
    for (std::size_t i = 0; i < intervals.size(); ++i) {
      maximum = std::max(maximum, intervals[i].upper);
      running_max[i] = maximum;
      if (i % BLOCK == BLOCK - 1 || i + 1 == intervals.size()) block_max.push_back(maximum);
    }
  }

  std::optional<index_t> find(double x) const {
    auto const low = x - GEOMETRIC_TOLERANCE;
    auto const high = x + GEOMETRIC_TOLERANCE;
    auto const block = std::lower_bound(block_max.begin(), block_max.end(), low);
    if (block == block_max.end()) return std::nullopt;
    auto const begin = running_max.begin() + (block - block_max.begin()) * BLOCK;
    auto const end = std::min(begin + BLOCK, running_max.end());
    auto const first = std::lower_bound(begin, end, low) - running_max.begin();
    auto const& interval = intervals[first];
    if (interval.lower > high) return std::nullopt;
    return interval.edge;
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
  auto const by_key = [](auto const& lhs, auto const& rhs) {
    return lhs.lower < rhs.lower || (lhs.lower == rhs.lower && lhs.edge < rhs.edge);
  };
  // A curve built in order (a chain, or one cleaned since) has its edges sorted already.
  if (!std::is_sorted(intervals.begin(), intervals.end(), by_key)) {
    std::sort(intervals.begin(), intervals.end(), by_key);
  }
  impl_->build();
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

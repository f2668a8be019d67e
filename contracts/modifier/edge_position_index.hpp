// Private helper of `EdgedCurveModifier<1>`: the live edges ordered by position.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include <basic/common.hpp>

namespace velk::detail {

// A treap of edge intervals keyed by (lower end, edge index), each node also keeping the
// largest upper end of its subtree, so that "which edge contains x" is answered in
// O(log n) expected time however the edges were split, collapsed or moved. Nodes live in
// flat arrays indexed by edge, so edits allocate only when the edge count grows.
class EdgePositionIndex {
 public:
  void clear();

  // Adds or replaces the interval of `edge`. Intervals with a NaN end are not kept.
  void assign(index_t edge, double first, double second);

  // Removes `edge`; does nothing when it is not kept.
  void remove(index_t edge);

  bool contains(index_t edge) const {
    return edge < nodes_.size() && nodes_[edge].present;
  }

  // The kept edge with the smallest (lower end, index) whose interval widened by
  // `tolerance` contains `x`; empty when none does.
  std::optional<index_t> find(double x, double tolerance) const;

  std::size_t size() const { return size_; }

 private:
  static constexpr index_t NIL = NO_ID;

  struct Node {
    double lower{0};
    double upper{0};
    double subtree_max{0};
    index_t left{NIL};
    index_t right{NIL};
    std::uint32_t priority{0};
    bool present{false};
  };

  bool less(index_t lhs, double lower, index_t edge) const {
    auto const& node = nodes_[lhs];
    return node.lower < lower || (node.lower == lower && lhs < edge);
  }
  void pull(index_t node);
  // Splits `root` into keys before (lower, edge) and keys from it on.
  void split(index_t root, double lower, index_t edge, index_t& before, index_t& after);
  index_t merge(index_t left, index_t right);

  std::vector<Node> nodes_;
  index_t root_{NIL};
  std::size_t size_{0};
  std::uint32_t seed_{0x9E3779B9u};
};

}  // namespace velk::detail

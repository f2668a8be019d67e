// Private helper of `EdgedCurveModifier<1>`: the live edges ordered by position.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>
#include <type_traits>
#include <vector>

#include <basic/common.hpp>

namespace velk::detail {

// A treap of edge intervals keyed by (lower end, edge index), each node also keeping the
// largest upper end of its subtree, so that "which edge contains x" is answered in
// O(log n) expected time however the edges were split, collapsed or moved. Nodes live in
// one flat array indexed by edge, so edits allocate only when the edge count grows. The array
// grows with `realloc` (nodes are trivially copyable), which moves a large block's pages
// instead of copying them, and nodes are initialised only up to the largest edge seen: a
// growing curve touches each page of the array once.
class EdgePositionIndex {
 public:
  EdgePositionIndex() = default;
  ~EdgePositionIndex() { std::free(nodes_); }
  EdgePositionIndex(EdgePositionIndex&& other) noexcept { swap(other); }
  EdgePositionIndex& operator=(EdgePositionIndex&& other) noexcept {
    swap(other);
    return *this;
  }
  EdgePositionIndex(EdgePositionIndex const&) = delete;
  EdgePositionIndex& operator=(EdgePositionIndex const&) = delete;

  // Forgets every edge; keeps the array for reuse.
  void clear();

  // Adds or replaces the interval of `edge`. Intervals with a NaN end are not kept.
  void assign(index_t edge, double first, double second);

  // Removes `edge`; does nothing when it is not kept.
  void remove(index_t edge);

  // Rebuilding from scratch: after `clear()`, `stage` each edge (intervals with a NaN end
  // are skipped), then `link_staged()`. The result is the tree that `assign` of each edge
  // would give, built by a sort and one linear pass instead of one descent per edge.
  void stage(index_t edge, double first, double second);
  void link_staged();

  // The same as `remove(edge)`, then `assign(first, ...)`, then `assign(second, ...)`, as
  // after a split of `edge` into two new edges. When both new keys come after the removed
  // one (new edges have larger indices), the tree is cut once around the removed edge and
  // the new nodes are merged in there, instead of three passes from the root.
  void replace_by_two(index_t edge, index_t first, double first0, double first1, index_t second,
                      double second0, double second1);

  bool contains(index_t edge) const { return edge < nb_nodes_ && is_kept(edge); }

  // The kept edge with the smallest (lower end, index) whose interval widened by
  // `tolerance` contains `x`; empty when none does.
  std::optional<index_t> find(double x, double tolerance) const;

  std::size_t size() const { return size_; }

  // Appends to `edges` the kept edges whose interval meets [low, high] (ends included), in
  // (lower end, index) order. O(log n + answer) expected when intervals do not nest.
  void overlapping(double low, double high, std::vector<index_t>& edges) const;

 private:
  static constexpr index_t NIL = NO_ID;

  // 32 bytes: two nodes per cache line. A node that is not kept has a NaN lower end (kept
  // intervals never have one); its priority is a hash of its edge index, so nothing needs
  // storing for it.
  struct Node {
    double lower{std::numeric_limits<double>::quiet_NaN()};
    double upper{0};
    double subtree_max{0};
    index_t left{NIL};
    index_t right{NIL};
  };

  // A hash of the edge index (a 32-bit finaliser): looks random, which is all the treap
  // needs to stay balanced.
  static std::uint32_t priority(index_t edge) {
    std::uint32_t value = edge + 0x9E3779B9u;
    value = (value ^ (value >> 16)) * 0x7FEB352Du;
    value = (value ^ (value >> 15)) * 0x846CA68Bu;
    return value ^ (value >> 16);
  }

  bool is_kept(index_t edge) const { return !std::isnan(nodes_[edge].lower); }

  static_assert(std::is_trivially_copyable_v<Node>, "nodes are moved by realloc");

  bool less(index_t lhs, double lower, index_t edge) const {
    auto const& node = nodes_[lhs];
    return node.lower < lower || (node.lower == lower && lhs < edge);
  }
  void pull(index_t node);
  // Sets up the node of `edge` alone, holding [min, max] of the two ends.
  void make_node(index_t edge, double first, double second);
  // Splits `root` into keys before (lower, edge) and keys from it on.
  void split(index_t root, double lower, index_t edge, index_t& before, index_t& after);
  index_t merge(index_t left, index_t right);
  // Cuts the kept `edge` out of the tree, leaving the keys before it in `before` and those
  // after it in `after` (the tree itself is left to the caller), and marks it not kept.
  // `size_` is the caller's to update.
  void cut_out(index_t edge, index_t& before, index_t& after);
  // Makes nodes [0, count) addressable, new ones empty (not kept).
  void grow_to(std::size_t count);
  void swap(EdgePositionIndex& other) noexcept;
  // Recomputes `subtree_max` below `node`, children first; returns it.
  double fix_subtree_max(index_t node);

  Node* nodes_{nullptr};
  std::size_t nb_nodes_{0};
  std::size_t capacity_{0};
  index_t root_{NIL};
  std::size_t size_{0};
  // Scratch of `stage` and `link_staged`, kept for the next rebuild.
  std::vector<index_t> staged_;
  std::vector<index_t> spine_;
};

}  // namespace velk::detail

// Private helper of `EdgedCurveModifier<1>`: the live edges ordered by position.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <type_traits>
#include <vector>

#include <basic/common.hpp>

namespace velk::detail {

// A B+ tree of edge intervals keyed by (lower end, edge index), each inner node also keeping
// the largest upper end below each of its children, so that "which edge contains x" is
// answered in O(log n) however the edges were split, collapsed or moved. Wide nodes (up to 32
// entries, kept as arrays of lower ends, upper ends and edges) make a tree of a few levels
// whose upper levels stay in cache, where a binary tree would miss the cache at every level.
// Nodes live in one pool reused after `clear()`; each edge's lower end is kept in a flat
// array indexed by edge (NaN when the edge is not kept), which names its key for removal.
class EdgePositionIndex {
 public:
  EdgePositionIndex() = default;
  ~EdgePositionIndex() {
    std::free(lower_of_);
    std::free(leaf_of_);
  }
  EdgePositionIndex(EdgePositionIndex&& other) noexcept { swap(other); }
  EdgePositionIndex& operator=(EdgePositionIndex&& other) noexcept {
    swap(other);
    return *this;
  }
  EdgePositionIndex(EdgePositionIndex const&) = delete;
  EdgePositionIndex& operator=(EdgePositionIndex const&) = delete;

  // Forgets every edge; keeps the node pools and the per-edge array for reuse.
  void clear();

  // Makes room for edges [0, count) ahead of their arrival (a hint; changes no result).
  void reserve(std::size_t count);

  // Adds or replaces the interval of `edge`. Intervals with a NaN end are not kept.
  void assign(index_t edge, double first, double second);

  // Removes `edge`; does nothing when it is not kept.
  void remove(index_t edge);

  // Rebuilding from scratch: after `clear()`, `stage` each edge (intervals with a NaN end
  // are skipped), then `link_staged()`. The result holds what `assign` of each edge would
  // give, built by a sort (skipped when the edges come in key order) and one linear pass.
  void stage(index_t edge, double first, double second);
  void link_staged();

  // The same as `remove(edge)`, then `assign(first, ...)`, then `assign(second, ...)`, as
  // after a split of `edge` into two new edges. When the two new keys take the removed
  // key's place in the order (as the halves of a split edge do), the leaf that held it is
  // edited in place: one descent instead of three.
  void replace_by_two(index_t edge, index_t first, double first0, double first1, index_t second,
                      double second0, double second1);

  bool contains(index_t edge) const { return edge < nb_edges_ && !std::isnan(lower_of_[edge]); }

  std::size_t size() const { return size_; }

  // A kept edge and its interval.
  struct Interval {
    index_t edge;
    double lower;
    double upper;
  };

  // Appends to `intervals` the kept edges whose interval meets [low, high] (ends included),
  // in (lower end, index) order. O(log n + answer) when intervals do not nest: each node is
  // entered at its first child that reaches `low`, found by bisection.
  void overlapping(double low, double high, std::vector<Interval>& intervals) const;

 private:
  static constexpr index_t NIL = NO_ID;
  static constexpr unsigned CAPACITY = 32;
  // A node left with fewer entries is merged with a neighbour when both fit in one.
  static constexpr unsigned MINIMUM = CAPACITY / 4;
  // Leaves made by `link_staged` are filled to this much, leaving room for later inserts.
  static constexpr unsigned BULK_FILL = CAPACITY * 3 / 4;
  // More levels than any count of edges an `index_t` can name needs: every inner node but
  // the root has at least two children (merges keep a node that cannot merge with its
  // neighbour at more than CAPACITY / 2 children on average over the two).
  static constexpr unsigned MAX_HEIGHT = 40;

  // Entries of a leaf (level 0) or children of an inner node, in key order. For an inner
  // node, `lower`/`edge` of child i > 0 is a separator: every key below child i is at least
  // it, and less than the separator of child i + 1; `upper` is the largest upper end below
  // the child. Entry 0's key is not used. `running_max[i]` is the largest `upper` of slots
  // [0, i]: it never decreases, so the first slot reaching a value is found by bisection.
  struct Node {
    double lower[CAPACITY];
    double upper[CAPACITY];
    double running_max[CAPACITY];
    index_t edge[CAPACITY];
    index_t child[CAPACITY];
    std::uint32_t count;
  };
  static_assert(std::is_trivially_copyable_v<Node>, "nodes are moved by the pool's vector");

  struct Step {
    index_t node;
    unsigned slot;
  };

  static bool less(double lhs_lower, index_t lhs_edge, double rhs_lower, index_t rhs_edge) {
    return lhs_lower < rhs_lower || (lhs_lower == rhs_lower && lhs_edge < rhs_edge);
  }

  // The first slot in [begin, count) whose key is above the given key (count when none is).
  static unsigned first_above(Node const& node, unsigned begin, double lower, index_t edge);
  // The child of inner node `node` whose key range holds the key.
  static unsigned route(Node const& node, double lower, index_t edge);
  // The slot of the key in the leaf, or the leaf's count when it is not there.
  static unsigned find_slot(Node const& leaf, double lower, index_t edge);
  // Largest upper end in the node (its entries', or its children's).
  static double node_max(Node const& node);
  // Recomputes `running_max` from slot `from` on; `set_upper` writes one slot's upper end.
  static void refresh_running_max(Node& node, unsigned from);
  static void set_upper(Node& node, unsigned slot, double upper);

  index_t new_node();
  void free_node(index_t node);
  // Inserts the key; the edge must not be kept.
  void insert_key(double lower, index_t edge, double upper);
  // Removes the kept edge's key.
  void erase_key(double lower, index_t edge);
  // Descends from the root to the leaf that holds (or would hold) the key, filling `path`
  // with the inner nodes passed and the child taken in each (root first).
  index_t descend(double lower, index_t edge, Step* path) const;
  // Puts the entry at `slot` of `node`, shifting the ones after it.
  static void put(Node& node, unsigned slot, double lower, double upper, index_t edge,
                  index_t child);
  static void take(Node& node, unsigned slot);
  // Splits the full child at `slot` of `parent` (which has room) in two, the new right part
  // linked at `slot + 1`; `of_leaf` when the child is a leaf, `appending` when the key about
  // to go in comes after all of the last leaf's (the left part then keeps all but one).
  void split_child(index_t parent, unsigned slot, bool of_leaf, bool appending);
  // After an erase below path[0..depth), merges underfull nodes with a neighbour, drops
  // empty ones and refreshes the upper ends on the path.
  void fix_after_erase(Step* path, unsigned depth, index_t leaf);
  // Follows the last child from the root down to the last leaf.
  void find_rightmost_leaf();
  // Refreshes the upper ends stored on the path for the child taken at each level.
  void refresh_path(Step const* path, unsigned depth, index_t bottom);
  // Makes edges [0, count) addressable, new ones not kept.
  void grow_to(std::size_t count);
  void swap(EdgePositionIndex& other) noexcept;
  // The walk of `overlapping` below `node`, at `level` (0: the root).
  void collect_overlapping(index_t node, unsigned level, double low, double high,
                           std::vector<Interval>& intervals) const;

  std::vector<Node> nodes_;
  std::vector<index_t> free_nodes_;
  index_t root_{NIL};
  // The leaf holding the last keys, whose range no key bounds above.
  index_t rightmost_leaf_{NIL};
  // Levels of inner nodes above the leaves (0: the root is a leaf).
  unsigned height_{0};
  std::size_t size_{0};
  // Lower end of each edge's key, NaN when the edge is not kept; grown with `realloc` and
  // initialised only up to the largest edge seen.
  double* lower_of_{nullptr};
  // The leaf that holds each kept edge (meaningless for the others), so that a split edge's
  // entry is found without a descent; same room as `lower_of_`.
  index_t* leaf_of_{nullptr};
  std::size_t nb_edges_{0};
  std::size_t capacity_{0};
  // Scratch of `stage` and `link_staged`, kept for the next rebuild.
  struct Staged {
    double lower;
    double upper;
    index_t edge;
  };
  std::vector<Staged> staged_;
  bool restaged_{false};
  std::vector<index_t> level_;
  std::vector<index_t> next_level_;
};

}  // namespace velk::detail

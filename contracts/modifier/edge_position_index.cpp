#include "edge_position_index.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

namespace velk::detail {
namespace {

constexpr double NOT_KEPT = std::numeric_limits<double>::quiet_NaN();
constexpr double NOTHING = -std::numeric_limits<double>::infinity();

}  // namespace

void EdgePositionIndex::clear() {
  staged_.clear();
  restaged_ = false;
  nodes_.clear();
  free_nodes_.clear();
  root_ = NIL;
  rightmost_leaf_ = NIL;
  height_ = 0;
  size_ = 0;
  nb_edges_ = 0;
}

void EdgePositionIndex::reserve(std::size_t count) {
  if (count <= capacity_) return;
  // Geometric: many small reservations in a row cost no more than growing one at a time.
  auto const capacity = std::max(count, 2 * capacity_);
  auto* grown = static_cast<double*>(std::realloc(lower_of_, capacity * sizeof(double)));
  if (grown == nullptr) throw std::bad_alloc{};
  lower_of_ = grown;
  auto* grown_leaves = static_cast<index_t*>(std::realloc(leaf_of_, capacity * sizeof(index_t)));
  if (grown_leaves == nullptr) throw std::bad_alloc{};
  leaf_of_ = grown_leaves;
  capacity_ = capacity;
}

void EdgePositionIndex::grow_to(std::size_t count) {
  if (count <= nb_edges_) return;
  if (count > capacity_) reserve(std::max<std::size_t>(count, 64));
  std::fill(lower_of_ + nb_edges_, lower_of_ + count, NOT_KEPT);
  nb_edges_ = count;
}

void EdgePositionIndex::swap(EdgePositionIndex& other) noexcept {
  nodes_.swap(other.nodes_);
  free_nodes_.swap(other.free_nodes_);
  std::swap(root_, other.root_);
  std::swap(rightmost_leaf_, other.rightmost_leaf_);
  std::swap(height_, other.height_);
  std::swap(size_, other.size_);
  std::swap(lower_of_, other.lower_of_);
  std::swap(leaf_of_, other.leaf_of_);
  std::swap(nb_edges_, other.nb_edges_);
  std::swap(capacity_, other.capacity_);
  staged_.swap(other.staged_);
  std::swap(restaged_, other.restaged_);
  level_.swap(other.level_);
  next_level_.swap(other.next_level_);
}

index_t EdgePositionIndex::new_node() {
  index_t node;
  if (free_nodes_.empty()) {
    nodes_.emplace_back();
    node = static_cast<index_t>(nodes_.size() - 1);
  } else {
    node = free_nodes_.back();
    free_nodes_.pop_back();
  }
  nodes_[node].count = 0;
  return node;
}

void EdgePositionIndex::free_node(index_t node) { free_nodes_.push_back(node); }

unsigned EdgePositionIndex::first_above(Node const& node, unsigned begin, double lower,
                                        index_t edge) {
  unsigned end = node.count;
  while (begin < end) {
    auto const middle = begin + (end - begin) / 2;
    if (less(lower, edge, node.lower[middle], node.edge[middle])) {
      end = middle;
    } else {
      begin = middle + 1;
    }
  }
  return begin;
}

unsigned EdgePositionIndex::route(Node const& node, double lower, index_t edge) {
  // The separators of children 1.. are sorted: the child is the last one whose separator is
  // not above the key, child 0 when there is none.
  return first_above(node, 1, lower, edge) - 1;
}

unsigned EdgePositionIndex::find_slot(Node const& leaf, double lower, index_t edge) {
  auto const after = first_above(leaf, 0, lower, edge);
  if (after == 0 || leaf.lower[after - 1] != lower || leaf.edge[after - 1] != edge) {
    return leaf.count;
  }
  return after - 1;
}

double EdgePositionIndex::node_max(Node const& node) {
  return node.count == 0 ? NOTHING : node.running_max[node.count - 1];
}

void EdgePositionIndex::refresh_running_max(Node& node, unsigned from) {
  auto maximum = from == 0 ? NOTHING : node.running_max[from - 1];
  for (unsigned slot = from; slot < node.count; ++slot) {
    maximum = std::max(maximum, node.upper[slot]);
    node.running_max[slot] = maximum;
  }
}

void EdgePositionIndex::set_upper(Node& node, unsigned slot, double upper) {
  node.upper[slot] = upper;
  refresh_running_max(node, slot);
}

void EdgePositionIndex::put(Node& node, unsigned slot, double lower, double upper, index_t edge,
                            index_t child) {
  auto const after = node.count - slot;
  std::memmove(node.lower + slot + 1, node.lower + slot, after * sizeof(double));
  std::memmove(node.upper + slot + 1, node.upper + slot, after * sizeof(double));
  std::memmove(node.edge + slot + 1, node.edge + slot, after * sizeof(index_t));
  std::memmove(node.child + slot + 1, node.child + slot, after * sizeof(index_t));
  node.lower[slot] = lower;
  node.upper[slot] = upper;
  node.edge[slot] = edge;
  node.child[slot] = child;
  ++node.count;
  refresh_running_max(node, slot);
}

void EdgePositionIndex::take(Node& node, unsigned slot) {
  auto const after = node.count - slot - 1;
  std::memmove(node.lower + slot, node.lower + slot + 1, after * sizeof(double));
  std::memmove(node.upper + slot, node.upper + slot + 1, after * sizeof(double));
  std::memmove(node.edge + slot, node.edge + slot + 1, after * sizeof(index_t));
  std::memmove(node.child + slot, node.child + slot + 1, after * sizeof(index_t));
  --node.count;
  refresh_running_max(node, slot);
}

index_t EdgePositionIndex::descend(double lower, index_t edge, Step* path) const {
  auto node = root_;
  for (unsigned level = 0; level < height_; ++level) {
    auto const slot = route(nodes_[node], lower, edge);
    path[level] = Step{node, slot};
    node = nodes_[node].child[slot];
  }
  return node;
}

void EdgePositionIndex::split_child(index_t parent, unsigned slot, bool of_leaf, bool appending) {
  auto const right = new_node();
  // References taken once the pool may have grown.
  auto& parent_node = nodes_[parent];
  auto& left_node = nodes_[parent_node.child[slot]];
  auto& right_node = nodes_[right];
  // A key past the end of the last leaf (a curve inserted in order) leaves the left half
  // full, where halving would leave every leaf behind the insertions half empty.
  auto const keep = appending ? left_node.count - 1 : left_node.count / 2;
  auto const moved = left_node.count - keep;
  std::memcpy(right_node.lower, left_node.lower + keep, moved * sizeof(double));
  std::memcpy(right_node.upper, left_node.upper + keep, moved * sizeof(double));
  std::memcpy(right_node.edge, left_node.edge + keep, moved * sizeof(index_t));
  std::memcpy(right_node.child, left_node.child + keep, moved * sizeof(index_t));
  right_node.count = moved;
  left_node.count = keep;
  refresh_running_max(right_node, 0);
  if (of_leaf) {
    for (unsigned entry = 0; entry < moved; ++entry) leaf_of_[right_node.edge[entry]] = right;
  }
  // The right half's first key bounds it below (for an inner node, that is the separator
  // its first child had).
  set_upper(parent_node, slot, node_max(left_node));
  put(parent_node, slot + 1, right_node.lower[0], node_max(right_node), right_node.edge[0], right);
}

void EdgePositionIndex::insert_key(double lower, index_t edge, double upper) {
  ++size_;
  if (root_ == NIL) {
    root_ = new_node();
    height_ = 0;
    put(nodes_[root_], 0, lower, upper, edge, NIL);
    leaf_of_[edge] = root_;
    rightmost_leaf_ = root_;
    return;
  }
  // Full nodes are split on the way down, so that a split never has to go back up.
  bool split = false;
  if (nodes_[root_].count == CAPACITY) {
    auto const old_root = root_;
    root_ = new_node();
    auto& root_node = nodes_[root_];
    root_node.lower[0] = NOTHING;
    root_node.edge[0] = 0;
    root_node.upper[0] = node_max(nodes_[old_root]);
    root_node.child[0] = old_root;
    root_node.count = 1;
    refresh_running_max(root_node, 0);
    ++height_;
    split_child(root_, 0, height_ == 1, false);
    split = true;
  }
  auto node = root_;
  for (unsigned level = 0; level < height_; ++level) {
    auto slot = route(nodes_[node], lower, edge);
    if (nodes_[nodes_[node].child[slot]].count == CAPACITY) {
      auto const child = nodes_[node].child[slot];
      auto const& child_node = nodes_[child];
      auto const of_leaf = level + 1 == height_;
      auto const appending = of_leaf && child == rightmost_leaf_ &&
                             less(child_node.lower[child_node.count - 1],
                                  child_node.edge[child_node.count - 1], lower, edge);
      split_child(node, slot, of_leaf, appending);
      split = true;
      auto const& parent_node = nodes_[node];
      if (!less(lower, edge, parent_node.lower[slot + 1], parent_node.edge[slot + 1])) ++slot;
    }
    auto& parent_node = nodes_[node];
    if (upper > parent_node.upper[slot]) set_upper(parent_node, slot, upper);
    node = parent_node.child[slot];
  }
  auto& leaf_node = nodes_[node];
  put(leaf_node, first_above(leaf_node, 0, lower, edge), lower, upper, edge, NIL);
  leaf_of_[edge] = node;
  if (split) find_rightmost_leaf();
}

void EdgePositionIndex::find_rightmost_leaf() {
  auto node = root_;
  for (unsigned level = 0; node != NIL && level < height_; ++level) {
    node = nodes_[node].child[nodes_[node].count - 1];
  }
  rightmost_leaf_ = node;
}

void EdgePositionIndex::refresh_path(Step const* path, unsigned depth, index_t bottom) {
  auto maximum = node_max(nodes_[bottom]);
  for (unsigned level = depth; level-- > 0;) {
    auto& node = nodes_[path[level].node];
    set_upper(node, path[level].slot, maximum);
    maximum = node_max(node);
  }
}

void EdgePositionIndex::erase_key(double lower, index_t edge) {
  Step path[MAX_HEIGHT];
  auto const leaf = descend(lower, edge, path);
  auto& leaf_node = nodes_[leaf];
  auto const slot = find_slot(leaf_node, lower, edge);
  if (slot == leaf_node.count) return;  // not reachable for a kept edge
  take(leaf_node, slot);
  --size_;
  fix_after_erase(path, height_, leaf);
  find_rightmost_leaf();
}

void EdgePositionIndex::fix_after_erase(Step* path, unsigned depth, index_t bottom) {
  auto node = bottom;
  for (unsigned level = depth; level-- > 0;) {
    auto const parent = path[level].node;
    auto const slot = path[level].slot;
    auto& parent_node = nodes_[parent];
    auto& child_node = nodes_[node];
    if (child_node.count == 0) {
      take(parent_node, slot);
      free_node(node);
    } else if (child_node.count < MINIMUM && parent_node.count > 1) {
      // Merge with the right neighbour, or the left one for the last child, when both fit.
      auto const left_slot = slot + 1 < parent_node.count ? slot : slot - 1;
      auto const left = parent_node.child[left_slot];
      auto const right = parent_node.child[left_slot + 1];
      auto& left_node = nodes_[left];
      auto& right_node = nodes_[right];
      if (left_node.count + right_node.count <= CAPACITY) {
        auto const at = left_node.count;
        auto const moved = right_node.count;
        std::memcpy(left_node.lower + at, right_node.lower, moved * sizeof(double));
        std::memcpy(left_node.upper + at, right_node.upper, moved * sizeof(double));
        std::memcpy(left_node.edge + at, right_node.edge, moved * sizeof(index_t));
        std::memcpy(left_node.child + at, right_node.child, moved * sizeof(index_t));
        if (depth - level > 1) {
          // Inner nodes: the right node's first child is bounded below by its separator
          // in the parent, not by its own unused entry-0 key.
          left_node.lower[at] = parent_node.lower[left_slot + 1];
          left_node.edge[at] = parent_node.edge[left_slot + 1];
        } else {
          for (auto entry = at; entry < at + moved; ++entry) leaf_of_[left_node.edge[entry]] = left;
        }
        left_node.count += moved;
        refresh_running_max(left_node, at);
        take(parent_node, left_slot + 1);
        free_node(right);
        set_upper(parent_node, left_slot, node_max(left_node));
      } else {
        set_upper(parent_node, slot, node_max(child_node));
      }
    } else {
      set_upper(parent_node, slot, node_max(child_node));
    }
    node = parent;
  }
  // The root: dropped when empty, or when an inner root is left with one child.
  while (true) {
    auto& root_node = nodes_[root_];
    if (root_node.count == 0) {
      free_node(root_);
      root_ = NIL;
      height_ = 0;
      return;
    }
    if (height_ == 0 || root_node.count > 1) return;
    auto const only = root_node.child[0];
    free_node(root_);
    root_ = only;
    --height_;
  }
}

void EdgePositionIndex::assign(index_t edge, double first, double second) {
  remove(edge);
  if (std::isnan(first) || std::isnan(second)) return;
  grow_to(std::size_t{edge} + 1);
  auto const lower = std::min(first, second);
  lower_of_[edge] = lower;
  insert_key(lower, edge, std::max(first, second));
}

void EdgePositionIndex::remove(index_t edge) {
  if (!contains(edge)) return;
  erase_key(lower_of_[edge], edge);
  lower_of_[edge] = NOT_KEPT;
}

void EdgePositionIndex::stage(index_t edge, double first, double second) {
  if (root_ != NIL) {
    // Not rebuilding from empty: the edge is linked at once.
    assign(edge, first, second);
    return;
  }
  if (std::isnan(first) || std::isnan(second)) return;
  grow_to(std::size_t{edge} + 1);
  // Staged twice: the later interval replaces the earlier one, as `assign` would.
  if (!std::isnan(lower_of_[edge])) restaged_ = true;
  auto const lower = std::min(first, second);
  lower_of_[edge] = lower;
  staged_.push_back(Staged{lower, std::max(first, second), edge});
}

void EdgePositionIndex::link_staged() {
  if (restaged_) {
    // Only the last interval staged for an edge counts: drop the earlier ones.
    std::vector<bool> seen(nb_edges_, false);
    auto kept = staged_.end();
    for (auto it = staged_.end(); it != staged_.begin();) {
      --it;
      if (seen[it->edge]) continue;
      seen[it->edge] = true;
      *--kept = *it;
    }
    staged_.erase(staged_.begin(), kept);
    restaged_ = false;
  }
  auto const by_key = [](Staged const& lhs, Staged const& rhs) {
    return less(lhs.lower, lhs.edge, rhs.lower, rhs.edge);
  };
  // A curve built in order (a chain) stages its edges sorted, but for the edges that edits
  // appended since: only what follows the sorted run is sorted, then merged into it.
  auto const unsorted = std::is_sorted_until(staged_.begin(), staged_.end(), by_key);
  if (unsorted != staged_.end()) {
    std::sort(unsorted, staged_.end(), by_key);
    std::inplace_merge(staged_.begin(), unsorted, staged_.end(), by_key);
  }
  // Leaves filled in key order, then each level of inner nodes above the one below.
  level_.clear();
  for (std::size_t begin = 0; begin < staged_.size();) {
    auto const leaf = new_node();
    auto& leaf_node = nodes_[leaf];
    for (; begin < staged_.size() && leaf_node.count < BULK_FILL; ++begin) {
      auto const& staged = staged_[begin];
      auto const slot = leaf_node.count++;
      leaf_node.lower[slot] = staged.lower;
      leaf_node.upper[slot] = staged.upper;
      leaf_node.edge[slot] = staged.edge;
      leaf_node.child[slot] = NIL;
      leaf_of_[staged.edge] = leaf;
      ++size_;
    }
    refresh_running_max(leaf_node, 0);
    level_.push_back(leaf);
  }
  staged_.clear();
  if (level_.empty()) return;
  height_ = 0;
  while (level_.size() > 1) {
    next_level_.clear();
    for (std::size_t begin = 0; begin < level_.size();) {
      auto const inner = new_node();
      auto& inner_node = nodes_[inner];
      for (; begin < level_.size() && inner_node.count < BULK_FILL; ++begin) {
        auto const& child_node = nodes_[level_[begin]];
        auto const slot = inner_node.count++;
        inner_node.lower[slot] = child_node.lower[0];
        inner_node.edge[slot] = child_node.edge[0];
        inner_node.upper[slot] = node_max(child_node);
        inner_node.child[slot] = level_[begin];
      }
      refresh_running_max(inner_node, 0);
      next_level_.push_back(inner);
    }
    level_.swap(next_level_);
    ++height_;
  }
  root_ = level_.front();
  find_rightmost_leaf();
  level_.clear();
}

void EdgePositionIndex::replace_by_two(index_t edge, index_t first, double first0, double first1,
                                       index_t second, double second0, double second1) {
  auto const generic = [&] {
    remove(edge);
    assign(first, first0, first1);
    assign(second, second0, second1);
  };
  if (!contains(edge) || first == second || first == edge || second == edge || contains(first) ||
      contains(second) || std::isnan(first0) || std::isnan(first1) || std::isnan(second0) ||
      std::isnan(second1)) {
    generic();
    return;
  }
  auto const old_lower = lower_of_[edge];
  double lows[2] = {std::min(first0, first1), std::min(second0, second1)};
  double highs[2] = {std::max(first0, first1), std::max(second0, second1)};
  index_t edges[2] = {first, second};
  if (less(lows[1], edges[1], lows[0], edges[0])) {
    std::swap(lows[0], lows[1]);
    std::swap(highs[0], highs[1]);
    std::swap(edges[0], edges[1]);
  }
  // The new keys take the old one's place when both come after it and before the key that
  // follows it: the leaf's next entry, or past the leaf's last entry the separator that
  // bounds the leaf.
  if (!less(old_lower, edge, lows[0], edges[0])) {
    generic();
    return;
  }
  auto const new_upper = std::max(highs[0], highs[1]);
  // The per-edge records once the two new keys sit in `leaf` in place of the old one.
  auto const record_keys_in = [&](index_t leaf) {
    grow_to(std::size_t{std::max(first, second)} + 1);
    lower_of_[edge] = NOT_KEPT;
    for (unsigned key = 0; key < 2; ++key) {
      lower_of_[edges[key]] = lows[key];
      leaf_of_[edges[key]] = leaf;
    }
  };
  {
    // The halves of a split edge cover its interval: when they end where it ended and take
    // its place inside its leaf, nothing above the leaf changes and no descent is needed.
    auto const leaf = leaf_of_[edge];
    auto& leaf_node = nodes_[leaf];
    auto const slot = find_slot(leaf_node, old_lower, edge);
    // Past the last entry of the last leaf, no key bounds the new ones.
    auto const fits =
        slot + 1 < leaf_node.count
            ? less(lows[1], edges[1], leaf_node.lower[slot + 1], leaf_node.edge[slot + 1])
            : slot + 1 == leaf_node.count && leaf == rightmost_leaf_;
    if (fits && leaf_node.count < CAPACITY && leaf_node.upper[slot] == new_upper) {
      record_keys_in(leaf);
      leaf_node.lower[slot] = lows[0];
      leaf_node.upper[slot] = highs[0];
      leaf_node.edge[slot] = edges[0];
      put(leaf_node, slot + 1, lows[1], highs[1], edges[1], NIL);
      refresh_running_max(leaf_node, slot);
      ++size_;
      return;
    }
  }
  Step path[MAX_HEIGHT];
  auto const leaf = descend(old_lower, edge, path);
  auto const slot = find_slot(nodes_[leaf], old_lower, edge);
  if (slot == nodes_[leaf].count) {
    generic();
    return;
  }
  auto const* bound = &nodes_[leaf];
  auto bound_slot = slot + 1;
  for (unsigned level = height_; bound_slot == bound->count && level-- > 0;) {
    bound = &nodes_[path[level].node];
    bound_slot = path[level].slot + 1;
  }
  if (bound_slot < bound->count &&
      !less(lows[1], edges[1], bound->lower[bound_slot], bound->edge[bound_slot])) {
    generic();
    return;
  }
  record_keys_in(leaf);
  auto& leaf_node = nodes_[leaf];
  auto const old_upper = leaf_node.upper[slot];
  leaf_node.lower[slot] = lows[0];
  leaf_node.edge[slot] = edges[0];
  if (leaf_node.count == CAPACITY) {
    // No room for the second key here: it goes in from the root, splitting on the way.
    set_upper(leaf_node, slot, highs[0]);
    refresh_path(path, height_, leaf);
    insert_key(lows[1], edges[1], highs[1]);
    return;
  }
  leaf_node.upper[slot] = highs[0];
  put(leaf_node, slot + 1, lows[1], highs[1], edges[1], NIL);
  refresh_running_max(leaf_node, slot);
  if (new_upper >= old_upper) {
    // The old upper end is matched or passed: the maxima above can only grow.
    for (unsigned level = 0; level < height_; ++level) {
      auto& node = nodes_[path[level].node];
      if (new_upper > node.upper[path[level].slot]) set_upper(node, path[level].slot, new_upper);
    }
  } else {
    refresh_path(path, height_, leaf);
  }
  ++size_;
}

void EdgePositionIndex::overlapping(double low, double high,
                                    std::vector<Interval>& intervals) const {
  if (std::isnan(low) || std::isnan(high) || low > high || root_ == NIL) return;
  // The common case first: one descent to the first entry (in key order) whose upper end
  // reaches `low` (at each level, the first child whose largest upper end does, found by
  // bisection), then the entries after it in its leaf. Only when the range runs past the
  // leaf's end does the walk of every child that may hold an answer take over.
  auto node = root_;
  for (unsigned level = 0; level < height_; ++level) {
    auto const& current = nodes_[node];
    auto const slot = static_cast<unsigned>(
        std::lower_bound(current.running_max, current.running_max + current.count, low) -
        current.running_max);
    if (slot == current.count) return;
    node = current.child[slot];
  }
  auto const& leaf = nodes_[node];
  auto const first = static_cast<unsigned>(
      std::lower_bound(leaf.running_max, leaf.running_max + leaf.count, low) - leaf.running_max);
  auto const found = intervals.size();
  for (auto slot = first; slot < leaf.count; ++slot) {
    if (leaf.lower[slot] > high) return;
    if (leaf.upper[slot] >= low) {
      intervals.push_back(Interval{leaf.edge[slot], leaf.lower[slot], leaf.upper[slot]});
    }
  }
  // The leaf ran out (or is the last one): the next leaf may hold more.
  if (node == rightmost_leaf_) return;
  intervals.resize(found);
  collect_overlapping(root_, 0, low, high, intervals);
}

void EdgePositionIndex::collect_overlapping(index_t node, unsigned level, double low, double high,
                                            std::vector<Interval>& intervals) const {
  // Slots are in key order. The slots before the first whose running maximum reaches `low`
  // hold nothing that reaches the range (found by bisection, as the running maximum never
  // decreases); after it, the first slot whose lower end (a separator, for an inner node)
  // passes `high` ends the walk, since every key after it starts later still, and a child
  // whose largest upper end stays below `low` is skipped.
  auto const& current = nodes_[node];
  auto const first = static_cast<unsigned>(
      std::lower_bound(current.running_max, current.running_max + current.count, low) -
      current.running_max);
  for (unsigned slot = first; slot < current.count; ++slot) {
    if (current.lower[slot] > high && (level == height_ || slot > 0)) return;
    if (current.upper[slot] < low) continue;
    if (level == height_) {
      intervals.push_back(Interval{current.edge[slot], current.lower[slot], current.upper[slot]});
    } else {
      collect_overlapping(current.child[slot], level + 1, low, high, intervals);
    }
  }
}

}  // namespace velk::detail

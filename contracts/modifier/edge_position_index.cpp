#include "edge_position_index.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <new>
#include <utility>

namespace velk::detail {

void EdgePositionIndex::clear() {
  nb_nodes_ = 0;
  root_ = NIL;
  size_ = 0;
}

void EdgePositionIndex::grow_to(std::size_t count) {
  if (count <= nb_nodes_) return;
  if (count > capacity_) {
    auto const capacity = std::max<std::size_t>({count, 2 * capacity_, 64});
    auto* grown = static_cast<Node*>(std::realloc(nodes_, capacity * sizeof(Node)));
    if (grown == nullptr) throw std::bad_alloc{};
    nodes_ = grown;
    capacity_ = capacity;
  }
  std::uninitialized_fill(nodes_ + nb_nodes_, nodes_ + count, Node{});
  nb_nodes_ = count;
}

void EdgePositionIndex::swap(EdgePositionIndex& other) noexcept {
  std::swap(nodes_, other.nodes_);
  std::swap(nb_nodes_, other.nb_nodes_);
  std::swap(capacity_, other.capacity_);
  std::swap(root_, other.root_);
  std::swap(size_, other.size_);
  staged_.swap(other.staged_);
  spine_.swap(other.spine_);
}

void EdgePositionIndex::pull(index_t node) {
  auto& current = nodes_[node];
  current.subtree_max = current.upper;
  if (current.left != NIL) {
    current.subtree_max = std::max(current.subtree_max, nodes_[current.left].subtree_max);
  }
  if (current.right != NIL) {
    current.subtree_max = std::max(current.subtree_max, nodes_[current.right].subtree_max);
  }
}

void EdgePositionIndex::split(index_t root, double lower, index_t edge, index_t& before,
                              index_t& after) {
  if (root == NIL) {
    before = after = NIL;
    return;
  }
  if (less(root, lower, edge)) {
    split(nodes_[root].right, lower, edge, nodes_[root].right, after);
    before = root;
  } else {
    split(nodes_[root].left, lower, edge, before, nodes_[root].left);
    after = root;
  }
  pull(root);
}

index_t EdgePositionIndex::merge(index_t left, index_t right) {
  if (left == NIL) return right;
  if (right == NIL) return left;
  if (priority(left) > priority(right)) {
    nodes_[left].right = merge(nodes_[left].right, right);
    pull(left);
    return left;
  }
  nodes_[right].left = merge(left, nodes_[right].left);
  pull(right);
  return right;
}

void EdgePositionIndex::make_node(index_t edge, double first, double second) {
  grow_to(std::size_t{edge} + 1);
  auto& node = nodes_[edge];
  node.lower = std::min(first, second);
  node.upper = std::max(first, second);
  node.subtree_max = node.upper;
  node.left = node.right = NIL;
}

void EdgePositionIndex::assign(index_t edge, double first, double second) {
  remove(edge);
  if (std::isnan(first) || std::isnan(second)) return;
  make_node(edge, first, second);
  index_t before = NIL;
  index_t after = NIL;
  split(root_, nodes_[edge].lower, edge, before, after);
  root_ = merge(merge(before, edge), after);
  ++size_;
}

void EdgePositionIndex::stage(index_t edge, double first, double second) {
  if (std::isnan(first) || std::isnan(second)) return;
  make_node(edge, first, second);
  staged_.push_back(edge);
}

void EdgePositionIndex::link_staged() {
  if (root_ != NIL) {
    // Not rebuilding from empty: link the staged nodes one by one.
    for (auto const edge : staged_) {
      index_t before = NIL;
      index_t after = NIL;
      split(root_, nodes_[edge].lower, edge, before, after);
      root_ = merge(merge(before, edge), after);
      ++size_;
    }
    staged_.clear();
    return;
  }
  std::sort(staged_.begin(), staged_.end(),
            [this](index_t lhs, index_t rhs) { return less(lhs, nodes_[rhs].lower, rhs); });
  // In key order, each node pops the nodes of lower priority off the right spine built so
  // far and takes them as its left subtree (a Cartesian tree by priority).
  spine_.clear();
  for (auto const edge : staged_) {
    index_t popped = NIL;
    while (!spine_.empty() && priority(spine_.back()) < priority(edge)) {
      popped = spine_.back();
      spine_.pop_back();
    }
    nodes_[edge].left = popped;
    if (!spine_.empty()) nodes_[spine_.back()].right = edge;
    spine_.push_back(edge);
  }
  root_ = spine_.empty() ? NIL : spine_.front();
  size_ += staged_.size();
  staged_.clear();
  spine_.clear();
  if (root_ != NIL) fix_subtree_max(root_);
}

double EdgePositionIndex::fix_subtree_max(index_t node) {
  auto maximum = nodes_[node].upper;
  if (nodes_[node].left != NIL) maximum = std::max(maximum, fix_subtree_max(nodes_[node].left));
  if (nodes_[node].right != NIL) {
    maximum = std::max(maximum, fix_subtree_max(nodes_[node].right));
  }
  nodes_[node].subtree_max = maximum;
  return maximum;
}

void EdgePositionIndex::replace_by_two(index_t edge, index_t first, double first0, double first1,
                                       index_t second, double second0, double second1) {
  auto const comes_after = [](double lower, index_t key_edge, double than_lower,
                              index_t than_edge) {
    return lower > than_lower || (lower == than_lower && key_edge > than_edge);
  };
  auto const lower_first = std::min(first0, first1);
  auto const lower_second = std::min(second0, second1);
  auto const fast = contains(edge) && first != second && first != edge && second != edge &&
                    !contains(first) && !contains(second) && !std::isnan(first0) &&
                    !std::isnan(first1) && !std::isnan(second0) && !std::isnan(second1) &&
                    comes_after(lower_first, first, nodes_[edge].lower, edge) &&
                    comes_after(lower_second, second, nodes_[edge].lower, edge);
  if (!fast) {
    remove(edge);
    assign(first, first0, first1);
    assign(second, second0, second1);
    return;
  }
  make_node(first, first0, first1);
  make_node(second, second0, second1);
  index_t before = NIL;
  index_t after = NIL;
  cut_out(edge, before, after);
  // The new keys in order, both after the removed one: cut the rest before each.
  auto low = first;
  auto high = second;
  if (comes_after(nodes_[low].lower, low, nodes_[high].lower, high)) std::swap(low, high);
  index_t until_low = NIL;
  index_t from_low = NIL;
  split(after, nodes_[low].lower, low, until_low, from_low);
  index_t until_high = NIL;
  index_t from_high = NIL;
  split(from_low, nodes_[high].lower, high, until_high, from_high);
  root_ = merge(before, merge(until_low, merge(low, merge(until_high, merge(high, from_high)))));
  ++size_;
}

void EdgePositionIndex::cut_out(index_t edge, index_t& before, index_t& after) {
  auto const lower = nodes_[edge].lower;
  index_t rest = NIL;
  split(root_, lower, edge, before, rest);
  index_t removed = NIL;
  split(rest, lower, edge + 1, removed, after);
  nodes_[edge].lower = std::numeric_limits<double>::quiet_NaN();
}

void EdgePositionIndex::remove(index_t edge) {
  if (!contains(edge)) return;
  index_t before = NIL;
  index_t after = NIL;
  cut_out(edge, before, after);
  root_ = merge(before, after);
  --size_;
}

std::optional<index_t> EdgePositionIndex::find(double x, double tolerance) const {
  if (std::isnan(x)) return std::nullopt;
  auto const low = x - tolerance;
  auto const high = x + tolerance;
  // When the left subtree reaches `low` but holds no interval containing x, that
  // interval starts after x, and so do the node and its right subtree.
  auto node = root_;
  while (node != NIL) {
    auto const& current = nodes_[node];
    if (current.left != NIL && nodes_[current.left].subtree_max >= low) {
      node = current.left;
      continue;
    }
    if (current.lower > high) return std::nullopt;
    if (current.upper >= low) return node;
    node = current.right;
  }
  return std::nullopt;
}

void EdgePositionIndex::overlapping(double low, double high, std::vector<index_t>& edges) const {
  if (std::isnan(low) || std::isnan(high) || low > high) return;
  // In-order walk, skipping every subtree whose largest upper end stays below `low`, and
  // stopping at the first node whose lower end passes `high` (its right subtree starts
  // later still). An explicit stack: the treap's depth is only expected to be logarithmic.
  std::vector<index_t> pending;
  pending.reserve(64);
  auto node = root_;
  while (node != NIL || !pending.empty()) {
    while (node != NIL && nodes_[node].subtree_max >= low) {
      pending.push_back(node);
      node = nodes_[node].left;
    }
    if (pending.empty()) return;
    node = pending.back();
    pending.pop_back();
    auto const& current = nodes_[node];
    if (current.lower > high) return;
    if (current.upper >= low) edges.push_back(node);
    node = current.right;
  }
}

}  // namespace velk::detail

#include "edge_position_index.hpp"

#include <algorithm>
#include <cmath>

namespace velk::detail {

void EdgePositionIndex::clear() {
  nodes_.clear();
  root_ = NIL;
  size_ = 0;
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
  if (nodes_[left].priority > nodes_[right].priority) {
    nodes_[left].right = merge(nodes_[left].right, right);
    pull(left);
    return left;
  }
  nodes_[right].left = merge(left, nodes_[right].left);
  pull(right);
  return right;
}

void EdgePositionIndex::assign(index_t edge, double first, double second) {
  remove(edge);
  if (std::isnan(first) || std::isnan(second)) return;
  if (edge >= nodes_.size()) nodes_.resize(std::max<std::size_t>(edge + 1, nodes_.size() * 2));
  // xorshift32: priorities only need to look random to keep the treap balanced.
  seed_ ^= seed_ << 13;
  seed_ ^= seed_ >> 17;
  seed_ ^= seed_ << 5;
  auto& node = nodes_[edge];
  node.lower = std::min(first, second);
  node.upper = std::max(first, second);
  node.subtree_max = node.upper;
  node.left = node.right = NIL;
  node.priority = seed_;
  node.present = true;
  index_t before = NIL;
  index_t after = NIL;
  split(root_, node.lower, edge, before, after);
  root_ = merge(merge(before, edge), after);
  ++size_;
}

void EdgePositionIndex::remove(index_t edge) {
  if (!contains(edge)) return;
  auto const lower = nodes_[edge].lower;
  index_t before = NIL;
  index_t rest = NIL;
  split(root_, lower, edge, before, rest);
  index_t middle = NIL;
  index_t after = NIL;
  split(rest, lower, edge + 1, middle, after);
  root_ = merge(before, after);
  nodes_[edge].present = false;
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

}  // namespace velk::detail

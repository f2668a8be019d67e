// The chains of many macro edges at once: the queries and the answers of
// `BackgroundLine::macro_edge_paths`.
//
//   std::vector<velk::internal::MacroEdgePathQuery> queries{{{v0, v1}, {input.id(), 0}}};
//   auto const paths = line.macro_edge_paths(queries);
//   for (auto const edge : paths.chain(0)) { ... }      // empty when no chain was found
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <vector>

#include <basic/common.hpp>
#include <mesh/mesh_element.hpp>

namespace velk::internal {

// One query: the chain that carries `macro_edge` from `vertices[0]` to `vertices[1]`, as
// `BackgroundLine::macro_edge_path` answers it.
struct MacroEdgePathQuery {
  std::array<index_t, 2> vertices;
  MeshEdge macro_edge;
};

// The background edges of one chain, in walk order: a view into a `MacroEdgePaths`, valid
// while it lives.
class MacroEdgeChain {
 public:
  class iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = index_t;
    using difference_type = std::ptrdiff_t;
    using pointer = index_t const*;
    using reference = index_t const&;

    iterator(index_t const* first, std::ptrdiff_t position, std::ptrdiff_t step)
        : first_{first}, position_{position}, step_{step} {}
    index_t const& operator*() const { return first_[position_ * step_]; }
    iterator& operator++() {
      ++position_;
      return *this;
    }
    friend bool operator==(iterator lhs, iterator rhs) { return lhs.position_ == rhs.position_; }
    friend bool operator!=(iterator lhs, iterator rhs) { return lhs.position_ != rhs.position_; }

   private:
    index_t const* first_;
    std::ptrdiff_t position_;
    std::ptrdiff_t step_;
  };

  MacroEdgeChain() = default;
  // `size` edges from `first` on, stepping `step` (1 or -1) entries at a time.
  MacroEdgeChain(index_t const* first, std::size_t size, std::ptrdiff_t step)
      : first_{first}, size_{size}, step_{step} {}

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  index_t operator[](std::size_t position) const {
    return first_[static_cast<std::ptrdiff_t>(position) * step_];
  }
  iterator begin() const { return {first_, 0, step_}; }
  iterator end() const { return {first_, static_cast<std::ptrdiff_t>(size_), step_}; }
  std::vector<index_t> to_vector() const { return {begin(), end()}; }

 private:
  index_t const* first_{nullptr};
  std::size_t size_{0};
  std::ptrdiff_t step_{1};
};

// The answers of `BackgroundLine::macro_edge_paths`, one per query, in query order. A chain
// along a run of the line is kept as a range of the line's edges in order, so the answers
// take memory in proportion to the queries and the line, not to the chains' total length.
// Movable and copyable.
class MacroEdgePaths {
 public:
  // Where one answer lies: `size` entries of `edges_` from `first`, stepping `step`; no
  // chain when `size` is 0 (a chain found is never empty).
  struct Answer {
    std::size_t first{0};
    std::uint32_t size{0};
    std::int32_t step{1};
  };

  MacroEdgePaths() = default;
  MacroEdgePaths(std::vector<index_t> edges, std::vector<Answer> answers)
      : edges_{std::move(edges)}, answers_{std::move(answers)} {}

  std::size_t size() const { return answers_.size(); }

  // Whether query `query` (< `size()`) found a chain.
  bool found(std::size_t query) const { return answers_[query].size > 0; }

  // The chain of query `query` (< `size()`), empty when none was found.
  MacroEdgeChain chain(std::size_t query) const {
    auto const& answer = answers_[query];
    if (answer.size == 0) return {};
    return {edges_.data() + answer.first, answer.size, answer.step};
  }

 private:
  std::vector<index_t> edges_;
  std::vector<Answer> answers_;
};

}  // namespace velk::internal

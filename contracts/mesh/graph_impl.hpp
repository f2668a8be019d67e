// Private state of `Graph`, shared by the graph and its builder only.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include <absl/container/inlined_vector.h>

#include <mesh/graph.hpp>

namespace velk {

struct Graph::Impl {
  std::vector<std::array<index_t, 2>> edges;
  std::vector<absl::InlinedVector<EdgeVertex, 2>> around;
  std::vector<std::uint8_t> detached;
  mutable AttributeManager edge_attributes;
  std::uint64_t revision{0};
};

}  // namespace velk

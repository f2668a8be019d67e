// Private state of `VertexSet`, shared by the vertex set and the graph builder only.
#pragma once

#include <memory>

#include <mesh/vertex_set.hpp>

namespace velk {

struct VertexSet::Impl {
  index_t nb_vertices{0};
  mutable AttributeManager vertex_attributes;
  std::shared_ptr<void const> lifetime{std::make_shared<char>(0)};
};

}  // namespace velk

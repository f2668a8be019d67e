#include <modifier/vertices_modifier.hpp>

#include <absl/container/flat_hash_map.h>

namespace velk {

struct VerticesModifier::Impl {
  absl::flat_hash_map<index_t, index_t> absorbed_by;
};

VerticesModifier::VerticesModifier() : impl_{std::make_unique<Impl>()} {}

VerticesModifier::~VerticesModifier() = default;

index_t VerticesModifier::updated_vertex(index_t vertex) const {
  auto const& absorbed_by = impl_->absorbed_by;
  // Each merge points to a vertex that was alive when it happened; a chain is at most as
  // long as the number of merges, and a guard stops a corrupted cycle.
  for (std::size_t hops = 0; hops <= absorbed_by.size(); ++hops) {
    auto const found = absorbed_by.find(vertex);
    if (found == absorbed_by.end()) return vertex;
    vertex = found->second;
  }
  return vertex;
}

void VerticesModifier::record_vertex_merge(index_t absorbed, index_t remaining) {
  if (absorbed != remaining) impl_->absorbed_by[absorbed] = remaining;
}

void VerticesModifier::clear_vertex_merges() { impl_->absorbed_by.clear(); }

EdgesModifier::EdgesModifier() = default;

EdgesModifier::~EdgesModifier() = default;

}  // namespace velk

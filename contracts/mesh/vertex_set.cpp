#include <mesh/vertex_set.hpp>

#include <mesh/vertex_set_impl.hpp>

namespace velk {

VertexSet::VertexSet() : impl_{std::make_unique<Impl>()} {}

VertexSet::~VertexSet() = default;

index_t VertexSet::nb_vertices() const { return impl_->nb_vertices; }

AttributeManager& VertexSet::vertex_attribute_manager() const { return impl_->vertex_attributes; }

std::weak_ptr<void const> VertexSet::lifetime_token() const { return impl_->lifetime; }

void VertexSet::copy_vertex_set(VertexSet const& other) {
  set_id(other.id());
  set_name(other.name());
  impl_->nb_vertices = other.impl_->nb_vertices;
  impl_->vertex_attributes.copy_from(other.impl_->vertex_attributes);
}

}  // namespace velk

// A set of vertices with their attributes.
//
//   curve.nb_vertices();
//   curve.vertex_attribute_manager().find_or_create_attribute<int>("tag", 0);
#pragma once

#include <memory>

#include <basic/common.hpp>
#include <basic/identifier.hpp>
#include <mesh/attribute_manager.hpp>
#include <mesh/lumora_mesh_export.hpp>

namespace velk {

// Vertices of a mesh: their count and their attribute manager. Vertices are created,
// removed and renumbered by the mesh builders only.
class LUMORA_MESH_API VertexSet : public Identifier {
 public:
  ~VertexSet() override;

  index_t nb_vertices() const;

  // The vertices' attribute manager. Writable although reached through a const mesh:
  // attributes are data attached to the mesh, not its geometry or topology.
  AttributeManager& vertex_attribute_manager() const;

  // A token that expires when the mesh is destroyed: objects that refer to the mesh
  // without owning it keep a copy to tell whether the mesh is still alive.
  std::weak_ptr<void const> lifetime_token() const;

 protected:
  VertexSet();
  void copy_vertex_set(VertexSet const& other);

 private:
  friend class GraphBuilder;

  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace velk

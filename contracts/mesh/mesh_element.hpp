// Records that name an element of a mesh, and an end of an edge.
//
//   velk::MeshElement element{curve.id(), edge};
//   velk::EdgeVertex end{edge, 1};          // the second vertex of `edge`
//   end.opposite();                         // {edge, 0}
#pragma once

#include <utility>

#include <basic/common.hpp>
#include <basic/uuid.hpp>

namespace velk {

// An element (here: an edge) of the mesh `mesh_id`.
struct MeshElement {
  uuid mesh_id;
  index_t element_id;

  friend bool operator==(MeshElement const& lhs, MeshElement const& rhs) {
    return lhs.element_id == rhs.element_id && lhs.mesh_id == rhs.mesh_id;
  }
  friend bool operator!=(MeshElement const& lhs, MeshElement const& rhs) { return !(lhs == rhs); }

  template <typename H>
  friend H AbslHashValue(H state, MeshElement const& value) {
    return H::combine(std::move(state), value.mesh_id, value.element_id);
  }
};

// A vertex of the mesh `mesh_id`.
struct MeshVertex {
  uuid mesh_id;
  index_t vertex_id;

  friend bool operator==(MeshVertex const& lhs, MeshVertex const& rhs) {
    return lhs.vertex_id == rhs.vertex_id && lhs.mesh_id == rhs.mesh_id;
  }
  friend bool operator!=(MeshVertex const& lhs, MeshVertex const& rhs) { return !(lhs == rhs); }

  template <typename H>
  friend H AbslHashValue(H state, MeshVertex const& value) {
    return H::combine(std::move(state), value.mesh_id, value.vertex_id);
  }
};

// An edge of the mesh `mesh_id`; equal to a `MeshElement` with the same two fields.
struct MeshEdge {
  uuid mesh_id;
  index_t edge_id;

  friend bool operator==(MeshEdge const& lhs, MeshEdge const& rhs) {
    return lhs.edge_id == rhs.edge_id && lhs.mesh_id == rhs.mesh_id;
  }
  friend bool operator!=(MeshEdge const& lhs, MeshEdge const& rhs) { return !(lhs == rhs); }
  friend bool operator==(MeshEdge const& lhs, MeshElement const& rhs) {
    return lhs.edge_id == rhs.element_id && lhs.mesh_id == rhs.mesh_id;
  }
  friend bool operator==(MeshElement const& lhs, MeshEdge const& rhs) { return rhs == lhs; }
};

// One end of an edge: the edge and the local index (0 first vertex, 1 second vertex).
struct EdgeVertex {
  index_t edge_id;
  local_index_t vertex_id;

  // The other end of the same edge.
  EdgeVertex opposite() const {
    return EdgeVertex{edge_id, static_cast<local_index_t>(vertex_id == 0 ? 1 : 0)};
  }

  friend bool operator==(EdgeVertex const& lhs, EdgeVertex const& rhs) {
    return lhs.edge_id == rhs.edge_id && lhs.vertex_id == rhs.vertex_id;
  }
  friend bool operator!=(EdgeVertex const& lhs, EdgeVertex const& rhs) { return !(lhs == rhs); }
};

}  // namespace velk

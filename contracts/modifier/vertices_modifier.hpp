// Bases of the mesh modifiers: what they know of vertices and of edges.
//
//   auto now = modifier.updated_vertex(info.new_vertex);   // follows later merges
#pragma once

#include <memory>

#include <basic/common.hpp>
#include <modifier/velk_modifier_common_export.hpp>

namespace velk {

// Remembers which vertex absorbed which when vertices are merged, until the next
// renumbering.
class VELK_MODIFIER_COMMON_API VerticesModifier {
 public:
  virtual ~VerticesModifier();
  VerticesModifier(VerticesModifier const&) = delete;
  VerticesModifier& operator=(VerticesModifier const&) = delete;

  // The index under which `vertex` is now found: itself, or the vertex that absorbed it
  // (following merges of merges).
  index_t updated_vertex(index_t vertex) const;

 protected:
  VerticesModifier();

  // `absorbed` was merged into `remaining`.
  void record_vertex_merge(index_t absorbed, index_t remaining);

  // Forgets every merge, after the vertices were renumbered.
  void clear_vertex_merges();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The edge side of the modifiers; it holds nothing yet.
class VELK_MODIFIER_COMMON_API EdgesModifier {
 public:
  virtual ~EdgesModifier();
  EdgesModifier(EdgesModifier const&) = delete;
  EdgesModifier& operator=(EdgesModifier const&) = delete;

 protected:
  EdgesModifier();
};

}  // namespace velk

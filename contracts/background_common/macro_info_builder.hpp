// The write side of a `MacroInfo`.
//
//   builder.add_macro_vertex_info(velk::MeshVertex{input.id(), v}, background_vertex);
//   builder.add_macro_element_info(velk::MeshElement{input.id(), e}, background_edge);
//   builder.update_element({new_edge, split_edge});   // new_edge now carries split_edge's list
#pragma once

#include <memory>
#include <utility>
#include <vector>

#include <absl/types/span.h>

#include <background_common/macro_info.hpp>
#include <basic/mapping.hpp>

namespace velk::internal {

// What `MacroInfoBuilder::remove_macro_mesh` took away: each vertex and each edge that lost
// entries (each once, in no particular order), with the number of entries it lost.
struct MacroInfoRemoval {
  std::vector<std::pair<index_t, index_t>> vertices;
  std::vector<std::pair<index_t, index_t>> edges;
};

// Writes one `MacroInfo`, which must outlive the builder. Movable, not copyable; a
// moved-from builder may only be destroyed. Every call checks its indices against the
// background and throws `LumoraException` naming the bad one, changing nothing.
class VELK_BACKGROUND_COMMON_API MacroInfoBuilder {
 public:
  MacroInfoBuilder(MacroInfoBuilder&& other) noexcept;
  virtual ~MacroInfoBuilder();
  MacroInfoBuilder(MacroInfoBuilder const&) = delete;
  MacroInfoBuilder& operator=(MacroInfoBuilder const&) = delete;
  MacroInfoBuilder& operator=(MacroInfoBuilder&&) = delete;

  // After a merge of vertices: `mapping.first` (the vertex that remains) carries the
  // union, without duplicates, of what it and every vertex of `mapping.second` carried,
  // its own entries first, then the others' in the order met. The listed vertices keep
  // their lists.
  virtual void update_vertex(MultiMapping<index_t> const& mapping);

  // `update_vertex` for each mapping, in order.
  void update_vertices(absl::Span<MultiMapping<index_t> const> mappings);

  // The edge `mapping.first` (receiving) now carries the list of the edge `mapping.second`
  // (source): both hold one list, in O(1), until one of them changes; a self-mapping changes
  // nothing.
  void update_element(Mapping<index_t> const& mapping);

  // Appends `macro_vertex` to the background vertex's list (a repeat is appended again).
  void add_macro_vertex_info(MeshVertex const& macro_vertex, index_t vertex);

  // Appends `macro_element` to the background edge's list (a repeat is appended again).
  void add_macro_element_info(MeshElement const& macro_element, index_t edge);

  // Appends `macro_element` to the list of each listed edge, in order (an edge listed twice
  // gets it twice): what one call per edge does, with the work per input edge done once.
  // Checks every index before changing anything.
  void add_macro_element_info(MeshElement const& macro_element, absl::Span<index_t const> edges);

  // Removes every macro vertex and every macro element of the input mesh `mesh_id` from
  // every list that holds one (detached elements included; the other entries keep their
  // order), and forgets the mesh. Costs in proportion to the elements that carried it,
  // found through the store's footprint; a mesh never added changes nothing. Should memory
  // run out part-way (`std::bad_alloc`), each list has lost all or none of the mesh's
  // entries and the store is whole: calling it again completes the removal.
  MacroInfoRemoval remove_macro_mesh(uuid const& mesh_id);

 protected:
  explicit MacroInfoBuilder(MacroInfo& info);

 private:
  // The store this builder writes; throws `LumoraException` on a moved-from builder.
  MacroInfo& bound_info(char const* operation) const;

  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace velk::internal

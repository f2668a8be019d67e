// The macro-information store: which input (macro) vertices and edges each vertex and
// edge of a background mesh stands for.
//
//   line.macro_elements(edge);        // std::vector<velk::MeshElement> const&
//   line.macro_vertices(vertex);      // std::vector<velk::MeshVertex> const&
//   for (auto const element : line.macro_element_view(edge)) { ... }   // keeps nothing
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <optional>
#include <vector>

#include <absl/types/span.h>

#include <background_common/velk_background_common_export.hpp>
#include <mesh/attribute_manager.hpp>
#include <mesh/mesh_element.hpp>

namespace velk::internal {

class MacroInfoBuilder;

// A macro entry as the store keeps it: the store's number for the input mesh (each mesh's
// uuid is kept once, in the store's table of meshes) and the index of the vertex or edge in
// that mesh. Two entries of one store's edge lists (or of its vertex lists) are equal exactly
// when their keys are; keys of different stores, or of vertex and edge lists, are unrelated.
struct MacroKey {
  std::uint32_t mesh;
  std::uint32_t index;

  // Both numbers in one, for hashing and ordering.
  std::uint64_t packed() const { return (std::uint64_t{mesh} << 32U) | index; }

  friend bool operator==(MacroKey lhs, MacroKey rhs) {
    return lhs.mesh == rhs.mesh && lhs.index == rhs.index;
  }
  friend bool operator!=(MacroKey lhs, MacroKey rhs) { return !(lhs == rhs); }
};

// One macro list read in place: its entries (`MeshElement` or `MeshVertex`) are made on the
// fly from the store's keys, so reading keeps nothing. Valid until the list next changes.
//
//   for (velk::MeshElement const element : line.macro_element_view(edge)) { ... }
template <typename Entry>
class MacroListView {
 public:
  class iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = Entry;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = Entry;

    iterator(MacroKey const* key, std::vector<uuid> const* meshes) : key_{key}, meshes_{meshes} {}
    Entry operator*() const { return Entry{(*meshes_)[key_->mesh], key_->index}; }
    iterator& operator++() {
      ++key_;
      return *this;
    }
    friend bool operator==(iterator lhs, iterator rhs) { return lhs.key_ == rhs.key_; }
    friend bool operator!=(iterator lhs, iterator rhs) { return lhs.key_ != rhs.key_; }

   private:
    MacroKey const* key_;
    std::vector<uuid> const* meshes_;
  };

  MacroListView(absl::Span<MacroKey const> keys, std::vector<uuid> const& meshes)
      : keys_{keys}, meshes_{&meshes} {}

  std::size_t size() const { return keys_.size(); }
  bool empty() const { return keys_.empty(); }
  Entry operator[](std::size_t position) const {
    return Entry{(*meshes_)[keys_[position].mesh], keys_[position].index};
  }
  iterator begin() const { return {keys_.data(), meshes_}; }
  iterator end() const { return {keys_.data() + keys_.size(), meshes_}; }

  // The store's keys of the entries, in list order. Lists that share their storage (as
  // the halves of a split edge do until one of them changes) have the same `keys().data()`.
  absl::Span<MacroKey const> keys() const { return keys_; }

 private:
  absl::Span<MacroKey const> keys_;
  std::vector<uuid> const* meshes_;
};

// Keeps one list of macro vertices per background vertex and one list of macro elements per
// background edge as attributes of the background mesh, under the names
// `VERTEX_ATTRIBUTE_NAME` and `EDGE_ATTRIBUTE_NAME`, so the lists grow with new elements,
// follow renumbering and are copied with the mesh; beside them, under the two footprint
// names, the index of which elements carry each input mesh. Written through a
// `MacroInfoBuilder`; made only as the base of a background class.
//
// A list is kept once however many elements hold it: a split gives both halves (and the edge
// it detaches) the list of the split edge without copying it, and the first change to a
// list that others hold copies it for the element that changes. Entries are kept as
// `MacroKey`s of 8 bytes. Reads may fill caches (the lists in the interface's form, search
// tables), so even reading one store from two threads at once is not safe.
class VELK_BACKGROUND_COMMON_API MacroInfo {
 public:
  static constexpr char const* VERTEX_ATTRIBUTE_NAME = "velk_macro_vertices";
  static constexpr char const* EDGE_ATTRIBUTE_NAME = "velk_macro_elements";
  // The index of which vertices and edges carry each input mesh (a `MacroFootprint`),
  // beside the lists on the same managers.
  static constexpr char const* VERTEX_FOOTPRINT_ATTRIBUTE_NAME = "velk_macro_vertex_footprint";
  static constexpr char const* EDGE_FOOTPRINT_ATTRIBUTE_NAME = "velk_macro_element_footprint";

  ~MacroInfo();
  MacroInfo(MacroInfo const&) = delete;
  MacroInfo& operator=(MacroInfo const&) = delete;
  MacroInfo& operator=(MacroInfo&&) = delete;

  // The macro edges the background edge carries, in the order they were recorded. The
  // vector is made at the first call and kept with the list: the reference stays valid until
  // the edge's list next changes or the edge is removed (a clean that keeps the edge keeps
  // it valid). To read many lists without keeping copies, use `macro_element_view`. Throws
  // `LumoraException` when `edge` is out of range or the store is not initialised.
  std::vector<MeshElement> const& macro_elements(index_t edge) const;

  // The macro vertices the background vertex carries, in the order they were recorded; kept
  // like `macro_elements`. Throws as `macro_elements` does.
  std::vector<MeshVertex> const& macro_vertices(index_t vertex) const;

  // The same lists read in place, keeping nothing; valid as long as `macro_elements`'s
  // reference would be. Throw as `macro_elements` does.
  MacroListView<MeshElement> macro_element_view(index_t edge) const;
  MacroListView<MeshVertex> macro_vertex_view(index_t vertex) const;

  // The key the edge lists use for `macro_edge`, or nothing when no edge list ever named its
  // mesh (then no edge carries it). Throws when the store is not initialised.
  std::optional<MacroKey> macro_element_key(MeshEdge const& macro_edge) const;

  // A position of `key` in the edge's list, or `NOT_FOUND`. The list is searched outwards
  // from `hint` (hint, hint + 1, hint - 1, ...), so a hint near the entry makes the search
  // short; a list longer than 4096 entries whose entry lies further than 2048 from the hint
  // (or that does not hold it) gets a table of its entries' positions, kept with the list
  // until it changes, so that no later search scans it again. A search thus compares at most
  // a few thousand entries. Throws as `macro_elements` does.
  static constexpr std::size_t NOT_FOUND = static_cast<std::size_t>(-1);
  std::size_t find_macro_element(index_t edge, MacroKey key, std::size_t hint = 0) const;

  // Whether the two edges carry the same macro elements, each as often (order aside).
  // Throws as `macro_elements` does.
  bool same_macro_elements(index_t first_edge, index_t second_edge) const;

  // The bytes the store holds for its lists (their slots, entries and caches, and the
  // tables of meshes), allocator overhead left out. Throws when the store is not initialised.
  std::size_t memory_bytes() const;

 protected:
  MacroInfo();
  MacroInfo(MacroInfo&& other) noexcept;

  // Sets the store up on the background's vertex manager, then its edge manager. Lists
  // and footprints already stored there (a cloned mesh's) are taken over; lists found
  // without their footprint get one built from them. Throws
  // `LumoraException` when one of the names holds an attribute of another type.
  void initialize_macro_info_data_base(AttributeManager& vertex_attribute_manager,
                                       AttributeManager& edge_attribute_manager);

  // Removes the store's attributes from the managers, when they are still the ones this store
  // set up; cleaning what is already gone does nothing. Never throws.
  void clean_macro_info_data_base(AttributeManager& vertex_attribute_manager,
                                  AttributeManager& edge_attribute_manager) noexcept;

 private:
  friend class MacroInfoBuilder;

  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace velk::internal

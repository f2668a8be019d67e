// The storage of the macro-information store: one macro list per element of a background
// mesh, kept as an attribute of the mesh and shared between elements until one of them
// changes it.
//
//   auto lists = std::make_shared<MacroListAttribute<MeshElement>>();
//   lists->append(edge, lists->key(input.id(), input_edge));
//   lists->share(new_edge, split_edge);      // O(1): both hold one list
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include <absl/hash/hash.h>
#include <absl/types/span.h>

#include <background_common/macro_info.hpp>
#include <mesh/attribute.hpp>

namespace velk::internal {

// Per element, a list of macro entries (`Entry` is `MeshElement` or `MeshVertex`) held as
// `MacroKey`s in a node that any number of elements may hold: sharing a list costs one
// pointer, and the first change through an element whose list others hold too gives that
// element a copy of its own (copy on write); a node that no element holds any more is freed.
// The uuid of each input mesh is kept once, in the attribute's table of meshes. The manager
// drives growth, renumbering and cloning (a clone copies every list, keeping which elements
// share one). Reads may fill a node's caches: not thread-safe, not even for reads.
//
// When memory runs out (`std::bad_alloc`), every operation but `remove_mesh` leaves the lists
// as they were, and `remove_mesh` leaves the lists it did not reach as they were: each list
// stays whole and each count right, so that what an insertion cut short wrote can still be
// removed. Hence no Abseil hash table here: one of this Abseil whose growth runs out of
// memory is left broken.
template <typename Entry>
class MacroListAttribute final : public AttributeBase {
  struct Caches;
  // A list: its holders, size and room, the number of its caches' slot plus one (0: none),
  // then its keys, stored right after the header.
  struct Node {
    std::uint32_t holders;
    std::uint32_t size;
    std::uint32_t capacity;
    mutable std::uint32_t cached;
    MacroKey* keys() { return reinterpret_cast<MacroKey*>(this + 1); }
    MacroKey const* keys() const { return reinterpret_cast<MacroKey const*>(this + 1); }
  };

  // Memory for the nodes of short lists, carved from large blocks and reused through one
  // free list per room, so that making and dropping a short list costs no allocator call;
  // longer lists are allocated one by one.
  class NodePool {
   public:
    static constexpr std::uint32_t MAX_POOLED = 15;  // keys of room

    NodePool() = default;
    NodePool(NodePool const&) = delete;
    NodePool& operator=(NodePool const&) = delete;

    void* allocate(std::uint32_t capacity);
    void deallocate(void* memory, std::uint32_t capacity);
    // The bytes of the nodes in use (free ones, kept for reuse, are left out, as an
    // allocator's own free memory is).
    std::size_t bytes_in_use() const { return bytes_in_use_; }

   private:
    // Blocks grow from 1 KiB to 64 KiB: a small store holds little.
    static constexpr std::size_t FIRST_BLOCK_BYTES = std::size_t{1} << 10;
    static constexpr std::size_t MAX_BLOCK_BYTES = std::size_t{1} << 16;
    std::vector<std::unique_ptr<std::uint64_t[]>> blocks_;
    std::size_t bytes_{0};
    std::size_t block_bytes_{0};
    std::size_t used_in_block_{0};
    std::size_t bytes_in_use_{0};
    void* free_[MAX_POOLED + 1]{};
  };

 public:
  MacroListAttribute();
  ~MacroListAttribute() override;

  index_t size() const override { return static_cast<index_t>(lists_.size()); }
  void resize(index_t size) override;
  void reserve(index_t capacity) override;
  void renumber(absl::Span<index_t const> old_to_new, index_t new_size) override;
  std::shared_ptr<AttributeBase> clone() const override;

  // The uuids of the meshes the keys name, by key number.
  std::vector<uuid> const& meshes() const { return meshes_; }
  // The key of entry `index` of mesh `mesh_id`, the mesh numbered when new.
  MacroKey key(uuid const& mesh_id, index_t index);
  // The key of entry `index` of mesh `mesh_id`, or nothing when the mesh has no number.
  std::optional<MacroKey> find_key(uuid const& mesh_id, index_t index) const;
  Entry entry(MacroKey key) const { return Entry{meshes_[key.mesh], key.index}; }

  // The list of `element` (empty when it holds none). Unchecked index, as every operation
  // below: the callers check against `size()`.
  absl::Span<MacroKey const> keys(index_t element) const {
    auto const* node = lists_[element];
    return node == nullptr ? absl::Span<MacroKey const>{}
                           : absl::Span<MacroKey const>{node->keys(), node->size};
  }
  // The list in the interface's form, made at the first call and kept until it changes.
  std::vector<Entry> const& entries(index_t element) const;

  // Appends `key` to the list of `element`.
  void append(index_t element, MacroKey key);
  // `receiving` now holds the list of `source` (nothing happens when they are equal).
  void share(index_t receiving, index_t source);
  // `target` now holds, once each, the entries of its own list then those of the others'
  // lists, in the order met; returns that list.
  absl::Span<MacroKey const> merge(index_t target, absl::Span<index_t const> others);

  // Takes the entries of mesh number `mesh` off the lists of `elements` (indices past the
  // end are skipped; an element listed twice loses them once), the other entries keeping
  // their order; appends each element that lost some, with how many, to `removed`. Elements
  // that share a list go on sharing one. Should memory run out, the lists not yet reached
  // are as they were, and `removed` names those that were.
  void remove_mesh(absl::Span<index_t const> elements, std::uint32_t mesh,
                   std::vector<std::pair<index_t, index_t>>& removed);

  // A position of `key` in the list of `element`, or `MacroInfo::NOT_FOUND`; see
  // `MacroInfo::find_macro_element`.
  std::size_t find(index_t element, MacroKey key, std::size_t hint) const;

  // Whether the two lists hold the same keys, each as often.
  bool same_entries(index_t first, index_t second) const;

  // The bytes held: slots, nodes in use with their room and caches, the table of meshes.
  std::size_t memory_bytes() const;

 private:
  // A slot of `caches_`: the caches of one node, or the next free slot plus one (0: none).
  struct CacheSlot {
    std::unique_ptr<Caches> caches;
    std::uint32_t next_free{0};
  };

  Node* allocate(std::uint32_t capacity);
  void destroy(Node* node);
  // Frees the caches of `node`, if any; allocates nothing.
  void drop_caches(Node const* node) const;
  // The caches of `node`, made empty when it has none.
  Caches& caches_of(Node const* node) const;
  void release(Node* node) {
    if (node != nullptr && --node->holders == 0) destroy(node);
  }
  // A node of its own for `element` with room for `capacity` keys, holding the first
  // `count` keys of its present list; returns it.
  Node* own_copy(index_t element, std::uint32_t count, std::uint32_t capacity);
  // The node of `element`, made writable (own, caches dropped) with room for one more key.
  Node* writable_for_append(index_t element);

  // Declared first, destroyed last: every node lives in it or was allocated alone.
  NodePool pool_;
  std::size_t unpooled_bytes_{0};
  std::vector<Node*> lists_;
  // The caches of the nodes that have some, by slot (`Node::cached`), the free slots
  // chained from `free_cache_slot_` (the first free slot plus one; 0: none).
  mutable std::vector<CacheSlot> caches_;
  mutable std::uint32_t free_cache_slot_{0};
  std::vector<uuid> meshes_;
  std::unordered_map<uuid, std::uint32_t, absl::Hash<uuid>> mesh_numbers_;
  // The mesh of the last `key` call: consecutive entries name the same mesh.
  std::optional<uuid> last_mesh_;
  std::uint32_t last_number_{0};
};

extern template class MacroListAttribute<MeshElement>;
extern template class MacroListAttribute<MeshVertex>;

}  // namespace velk::internal

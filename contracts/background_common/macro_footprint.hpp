// Where the macro information of each input mesh lies on a background: an index of the
// macro-information store, kept as an attribute so that it follows renumbering and cloning.
//
//   footprint.add(input.id(), edge);               // `edge` now names `input`
//   footprint.derive(new_edge, split_edge, for_each_mesh);  // `new_edge` took a copy of the list
//   for (auto edge : footprint.candidates(input.id())) { /* check its list */ }
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include <absl/hash/hash.h>
#include <absl/types/span.h>

#include <background_common/velk_background_common_export.hpp>
#include <mesh/attribute.hpp>
#include <mesh/mesh_element.hpp>

namespace velk::internal {

// Per input mesh (by uuid), the candidate background elements (vertices or edges) whose
// macro list may name it: every element whose list names the mesh is a candidate, and a
// candidate whose list no longer does is harmless (readers check the lists). A copy of a
// list onto an element with a larger index (as after a split) is recorded as a derivation,
// in O(1) whatever the list holds; `candidates` follows derivations. Registered on an
// attribute manager, so that it learns of every renumbering and is copied with the mesh.
// A renumbering is kept (its mapping and the derivations made before it) and applied to a
// mesh's candidates when that mesh is next used, in time proportional to them: a clean
// costs one copy of its mapping, not a pass over every mesh's candidates. After
// `MAX_PENDING` renumberings not yet applied everywhere, all are applied at once. Not
// thread-safe.
class VELK_BACKGROUND_COMMON_API MacroFootprint final : public AttributeBase {
 public:
  static constexpr std::size_t MAX_PENDING = 4;

  MacroFootprint();
  ~MacroFootprint() override;

  // `element` now names the mesh `mesh_id`. O(1), without a lookup when the previous call
  // named the same mesh (inline: called once per macro entry recorded).
  void add(uuid const& mesh_id, index_t element) {
    if (cached_list_ == nullptr || !(*cached_mesh_ == mesh_id)) cache_slot(mesh_id);
    cached_list_->push_back(element);
  }

  // `receiving` now carries a copy of the (non-empty) list of `source`: it becomes a
  // candidate of every mesh the list names. O(1) when `receiving > source`; otherwise
  // `for_each_mesh(add)` must call `add(mesh_id)` for each mesh the list names (a mesh may
  // come more than once), and each call is an `add`.
  template <typename ForEachMesh>
  void derive(index_t receiving, index_t source, ForEachMesh&& for_each_mesh) {
    if (receiving == source) return;
    if (receiving < source) {
      // Recorded directly: derivations only ever lead to larger indices, so following them
      // never loops.
      std::forward<ForEachMesh>(for_each_mesh)(
          [this, receiving](uuid const& mesh_id) { add(mesh_id, receiving); });
      return;
    }
    record_derivation(receiving, source);
  }

  // The candidates of `mesh_id`, derivations followed, each once, in no particular order;
  // empty for a mesh never added. O(candidates) expected.
  std::vector<index_t> candidates(uuid const& mesh_id);

  // Whether `mesh_id` was added and not forgotten since.
  bool knows(uuid const& mesh_id) const;

  // Drops the candidates of `mesh_id` (derivations stay: they are shared by every mesh).
  void forget(uuid const& mesh_id);

  index_t size() const override;
  void resize(index_t size) override;
  // Nothing to reserve: the footprint keeps no storage per element.
  void reserve(index_t /*capacity*/) override {}
  void renumber(absl::Span<index_t const> old_to_new, index_t new_size) override;
  std::shared_ptr<AttributeBase> clone() const override;

 private:
  using Derivations = std::vector<std::array<index_t, 2>>;
  // Standard maps, not Abseil's hash maps: a hash map of this Abseil whose growth runs out
  // of memory is left broken, where an insertion that fails so must leave the store whole.
  using MoreDerivations = std::unordered_map<index_t, std::vector<index_t>>;

  // A renumbering not yet applied to every mesh: its mapping, and the derivations recorded
  // in the numbering it replaced.
  struct Renumbering {
    std::vector<index_t> old_to_new;
    index_t new_size;
    Derivations derived;
    MoreDerivations more_derived;
  };

  // Records that `receiving` (> `source`) took a copy of the list of `source`.
  void record_derivation(index_t receiving, index_t source);
  // Makes `mesh_id` the cached mesh, with a slot of its own, brought up to date.
  void cache_slot(uuid const& mesh_id);
  // Applies the renumberings the slot has not seen yet.
  void bring_up_to_date(std::uint32_t slot);
  // Applies every pending renumbering to every slot, and forgets them.
  void apply_all_pending();

  index_t size_{0};
  std::unordered_map<uuid, std::uint32_t, absl::Hash<uuid>> slot_of_;
  std::vector<uuid> meshes_;                    // the mesh of each slot
  std::vector<std::vector<index_t>> elements_;  // the candidates of each slot
  std::vector<std::uint32_t> seen_;             // pending renumberings each slot has had
  // The last mesh added and its candidates (null when none is cached): consecutive
  // additions name the same mesh.
  std::optional<uuid> cached_mesh_;
  std::vector<index_t>* cached_list_{nullptr};
  // derived_[source]: up to two elements that copied the list of `source` (NO_ID when
  // unused), more in `more_derived_`; in the current numbering.
  Derivations derived_;
  MoreDerivations more_derived_;
  // Renumberings, oldest first, that some slot has not had yet. Shared with clones.
  std::vector<std::shared_ptr<Renumbering const>> pending_;
};

}  // namespace velk::internal

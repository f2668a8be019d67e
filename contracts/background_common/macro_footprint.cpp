#include <background_common/macro_footprint.hpp>

#include <algorithm>

#include <absl/container/flat_hash_set.h>

namespace velk::internal {

MacroFootprint::MacroFootprint() = default;

MacroFootprint::~MacroFootprint() = default;

std::uint32_t MacroFootprint::slot(uuid const& mesh_id) {
  if (cached_slot_ != NO_SLOT && *cached_mesh_ == mesh_id) return cached_slot_;
  auto const [found, inserted] =
      slot_of_.try_emplace(mesh_id, static_cast<std::uint32_t>(meshes_.size()));
  if (inserted) {
    meshes_.push_back(mesh_id);
    elements_.emplace_back();
  }
  cached_mesh_ = mesh_id;
  cached_slot_ = found->second;
  return cached_slot_;
}

void MacroFootprint::add(uuid const& mesh_id, index_t element) {
  elements_[slot(mesh_id)].push_back(element);
}

void MacroFootprint::derive(index_t receiving, index_t source,
                            absl::Span<MeshElement const> source_list) {
  if (receiving == source || source_list.empty()) return;
  if (receiving < source) {
    // Recorded directly: derivations only ever lead to larger indices, so following them
    // never loops.
    for (std::size_t entry = 0; entry < source_list.size(); ++entry) {
      if (entry > 0 && source_list[entry].mesh_id == source_list[entry - 1].mesh_id) continue;
      add(source_list[entry].mesh_id, receiving);
    }
    return;
  }
  if (source >= derived_.size()) {
    derived_.resize(std::max<std::size_t>(std::size_t{source} + 1, 2 * derived_.size()),
                    {NO_ID, NO_ID});
  }
  auto& slots = derived_[source];
  for (auto& derived : slots) {
    if (derived == receiving) return;
    if (derived == NO_ID) {
      derived = receiving;
      return;
    }
  }
  auto& more = more_derived_[source];
  if (std::find(more.begin(), more.end(), receiving) == more.end()) more.push_back(receiving);
}

template <typename Visit, typename Emit>
void MacroFootprint::expand(index_t element, std::vector<index_t>& stack, Visit&& visit,
                            Emit&& emit) const {
  stack.clear();
  stack.push_back(element);
  while (!stack.empty()) {
    auto const current = stack.back();
    stack.pop_back();
    if (!visit(current)) continue;
    emit(current);
    if (current >= derived_.size()) continue;
    for (auto const derived : derived_[current]) {
      if (derived != NO_ID) stack.push_back(derived);
    }
    if (derived_[current][1] == NO_ID || more_derived_.empty()) continue;
    auto const more = more_derived_.find(current);
    if (more != more_derived_.end())
      stack.insert(stack.end(), more->second.begin(), more->second.end());
  }
}

std::vector<index_t> MacroFootprint::candidates(uuid const& mesh_id) const {
  std::vector<index_t> result;
  auto const found = slot_of_.find(mesh_id);
  if (found == slot_of_.end()) return result;
  auto const& elements = elements_[found->second];
  absl::flat_hash_set<index_t> seen;
  seen.reserve(elements.size());
  std::vector<index_t> stack;
  for (auto const element : elements) {
    expand(
        element, stack, [&seen](index_t candidate) { return seen.insert(candidate).second; },
        [&result](index_t candidate) { result.push_back(candidate); });
  }
  return result;
}

bool MacroFootprint::knows(uuid const& mesh_id) const { return slot_of_.contains(mesh_id); }

void MacroFootprint::forget(uuid const& mesh_id) {
  auto const found = slot_of_.find(mesh_id);
  if (found == slot_of_.end()) return;
  auto const slot = found->second;
  slot_of_.erase(found);
  auto const last = static_cast<std::uint32_t>(meshes_.size() - 1);
  if (slot != last) {
    meshes_[slot] = meshes_[last];
    elements_[slot] = std::move(elements_[last]);
    slot_of_[meshes_[slot]] = slot;
  }
  meshes_.pop_back();
  elements_.pop_back();
  cached_mesh_.reset();
  cached_slot_ = NO_SLOT;
}

index_t MacroFootprint::size() const { return size_; }

void MacroFootprint::resize(index_t size) {
  if (size < size_) {
    // Elements past the new end are gone: so are their candidacies.
    std::vector<index_t> old_to_new(size_, NO_ID);
    for (index_t element = 0; element < size; ++element) old_to_new[element] = element;
    renumber(old_to_new, size);
    return;
  }
  size_ = size;
}

void MacroFootprint::renumber(absl::Span<index_t const> old_to_new, index_t new_size) {
  // One mark per old element, stamped with the slot being renumbered: each candidate is kept
  // once, and each derivation followed once per mesh.
  std::vector<std::uint32_t> marks(old_to_new.size(), NO_SLOT);
  std::vector<index_t> stack;
  std::vector<index_t> renumbered;
  for (std::uint32_t slot = 0; slot < elements_.size(); ++slot) {
    renumbered.clear();
    for (auto const element : elements_[slot]) {
      expand(
          element, stack,
          [&marks, slot](index_t candidate) {
            if (candidate >= marks.size() || marks[candidate] == slot) return false;
            marks[candidate] = slot;
            return true;
          },
          [&renumbered, &old_to_new, new_size](index_t candidate) {
            auto const now = old_to_new[candidate];
            if (now != NO_ID && now < new_size) renumbered.push_back(now);
          });
    }
    elements_[slot].assign(renumbered.begin(), renumbered.end());
  }
  // Every derivation was resolved into the candidates it led to.
  derived_.clear();
  more_derived_.clear();
  size_ = new_size;
}

std::shared_ptr<AttributeBase> MacroFootprint::clone() const {
  // Field by field: attributes are not copyable as such.
  auto copy = std::make_shared<MacroFootprint>();
  copy->size_ = size_;
  copy->slot_of_ = slot_of_;
  copy->meshes_ = meshes_;
  copy->elements_ = elements_;
  copy->derived_ = derived_;
  copy->more_derived_ = more_derived_;
  return copy;
}

}  // namespace velk::internal

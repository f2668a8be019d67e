#include <background_common/macro_footprint.hpp>

#include <algorithm>

#include <background_common/integer_set.hpp>

namespace velk::internal {
namespace {

// Appends to `out`, through `emit`, every element of `elements` and every element reached
// from one of them through the derivations, each once.
template <typename Derivations, typename MoreDerivations, typename Emit>
void follow(std::vector<index_t> const& elements, Derivations const& derived,
            MoreDerivations const& more_derived, Emit&& emit) {
  // No element is NO_ID, the set's empty mark.
  IntegerSet<index_t> seen;
  seen.reserve(elements.size());
  std::vector<index_t> stack;
  for (auto const element : elements) {
    stack.push_back(element);
    while (!stack.empty()) {
      auto const current = stack.back();
      stack.pop_back();
      if (!seen.insert(current)) continue;
      emit(current);
      if (current >= derived.size()) continue;
      for (auto const next : derived[current]) {
        if (next != NO_ID) stack.push_back(next);
      }
      if (derived[current][1] == NO_ID || more_derived.empty()) continue;
      auto const more = more_derived.find(current);
      if (more != more_derived.end()) {
        stack.insert(stack.end(), more->second.begin(), more->second.end());
      }
    }
  }
}

}  // namespace

MacroFootprint::MacroFootprint() = default;

MacroFootprint::~MacroFootprint() = default;

void MacroFootprint::cache_slot(uuid const& mesh_id) {
  auto found = slot_of_.find(mesh_id);
  if (found == slot_of_.end()) {
    // Room first, so that a failure to allocate leaves the footprint as it was.
    auto const grow = [](auto& values) {
      if (values.size() == values.capacity()) values.reserve(2 * values.size() + 1);
    };
    grow(meshes_);
    grow(elements_);
    grow(seen_);
    found = slot_of_.emplace(mesh_id, static_cast<std::uint32_t>(meshes_.size())).first;
    meshes_.push_back(mesh_id);
    elements_.emplace_back();
    seen_.push_back(static_cast<std::uint32_t>(pending_.size()));
  } else {
    bring_up_to_date(found->second);
  }
  cached_mesh_ = mesh_id;
  cached_list_ = &elements_[found->second];
}

void MacroFootprint::bring_up_to_date(std::uint32_t slot) {
  auto& elements = elements_[slot];
  std::vector<index_t> renumbered;
  for (auto pending = seen_[slot]; pending < pending_.size(); ++pending) {
    auto const& renumbering = *pending_[pending];
    renumbered.clear();
    follow(elements, renumbering.derived, renumbering.more_derived,
           [&renumbered, &renumbering](index_t element) {
             if (element >= renumbering.old_to_new.size()) return;
             auto const now = renumbering.old_to_new[element];
             if (now != NO_ID && now < renumbering.new_size) renumbered.push_back(now);
           });
    elements.swap(renumbered);
    // Counted at once: should a later renumbering run out of memory, this one is not
    // applied twice.
    seen_[slot] = pending + 1;
  }
}

void MacroFootprint::apply_all_pending() {
  for (std::uint32_t slot = 0; slot < elements_.size(); ++slot) bring_up_to_date(slot);
  pending_.clear();
  std::fill(seen_.begin(), seen_.end(), 0);
}

void MacroFootprint::record_derivation(index_t receiving, index_t source) {
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

std::vector<index_t> MacroFootprint::candidates(uuid const& mesh_id) {
  std::vector<index_t> result;
  auto const found = slot_of_.find(mesh_id);
  if (found == slot_of_.end()) return result;
  bring_up_to_date(found->second);
  follow(elements_[found->second], derived_, more_derived_,
         [&result](index_t element) { result.push_back(element); });
  return result;
}

bool MacroFootprint::knows(uuid const& mesh_id) const { return slot_of_.count(mesh_id) > 0; }

void MacroFootprint::forget(uuid const& mesh_id) {
  auto const found = slot_of_.find(mesh_id);
  if (found == slot_of_.end()) return;
  auto const slot = found->second;
  slot_of_.erase(found);
  auto const last = static_cast<std::uint32_t>(meshes_.size() - 1);
  if (slot != last) {
    meshes_[slot] = meshes_[last];
    elements_[slot] = std::move(elements_[last]);
    seen_[slot] = seen_[last];
    slot_of_[meshes_[slot]] = slot;
  }
  meshes_.pop_back();
  elements_.pop_back();
  seen_.pop_back();
  if (meshes_.empty()) pending_.clear();
  cached_mesh_.reset();
  cached_list_ = nullptr;
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
  if (meshes_.empty()) {
    size_ = new_size;
    derived_.clear();
    more_derived_.clear();
    return;
  }
  // Every allocation before the derivations move: a failure leaves the footprint as it was.
  auto renumbering = std::make_shared<Renumbering>();
  renumbering->old_to_new.assign(old_to_new.begin(), old_to_new.end());
  renumbering->new_size = new_size;
  pending_.reserve(pending_.size() + 1);
  size_ = new_size;
  renumbering->derived = std::move(derived_);
  renumbering->more_derived = std::move(more_derived_);
  derived_.clear();
  more_derived_.clear();
  pending_.push_back(std::move(renumbering));
  cached_mesh_.reset();
  cached_list_ = nullptr;
  if (pending_.size() > MAX_PENDING) apply_all_pending();
}

std::shared_ptr<AttributeBase> MacroFootprint::clone() const {
  // Field by field: attributes are not copyable as such. Pending renumberings never change:
  // the copy shares them.
  auto copy = std::make_shared<MacroFootprint>();
  copy->size_ = size_;
  copy->slot_of_ = slot_of_;
  copy->meshes_ = meshes_;
  copy->elements_ = elements_;
  copy->seen_ = seen_;
  copy->derived_ = derived_;
  copy->more_derived_ = more_derived_;
  copy->pending_ = pending_;
  return copy;
}

}  // namespace velk::internal

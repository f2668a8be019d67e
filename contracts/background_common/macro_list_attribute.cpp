#include <background_common/macro_list_attribute.hpp>

#include <algorithm>
#include <cstring>
#include <functional>
#include <new>

#include <background_common/integer_set.hpp>

namespace velk::internal {
namespace {

// Room of a list made by a first entry: an input vertex is placed once per input edge that
// ends there, and a background edge is usually tagged again soon.
constexpr std::uint32_t FIRST_ROOM = 2;

// Free slots of a copy made for a change: the element is usually tagged again soon (a half
// of a split edge by the next input edge, then by curves that overlap it).
constexpr std::uint32_t COPY_ROOM = 2;

// Room after growing a full list of `size` entries: a quarter more (at least two), so that
// long lists waste little and growing stays linear overall.
std::uint32_t grown(std::uint32_t size) { return size + std::max<std::uint32_t>(2, size / 4); }

// A search first scans this many entries on each side of the hint, where the entry usually
// is; then, in a list with a table of positions, it looks there; otherwise it scans on, the
// whole list when it holds at most LONG_LIST entries, else up to LONG_LIST / 2 entries away
// from the hint; a long list whose entry lies beyond (or holds none) gets a table, so that
// no later search scans it again. A search thus costs at most a few thousand comparisons,
// however long the list, and lists of ordinary length are only ever scanned: a short scan of
// nearby entries is cheaper than a table's scattered reads.
constexpr std::size_t NEAR_HINT = 16;
constexpr std::size_t LONG_LIST = 4096;

// A merge of up to this many entries in all finds repeats by scanning what it kept; a longer
// one hashes them.
constexpr std::size_t SHORT_MERGE = 32;

// The slot of `key` in a table of 2^bits slots (Fibonacci hashing of both numbers).
std::size_t slot_of(MacroKey key, unsigned bits) {
  return static_cast<std::size_t>((key.packed() * 0x9e3779b97f4a7c15ULL) >> (64U - bits));
}

}  // namespace

// What a list keeps besides its keys, made when first needed and dropped when it changes.
template <typename Entry>
struct MacroListAttribute<Entry>::Caches {
  // The list in the interface's form (`entries`).
  std::vector<Entry> entries;
  // Open addressing over 2^position_bits slots: the first position of each key, plus one (0
  // for an empty slot).
  std::vector<std::uint32_t> positions;
  unsigned position_bits{0};
};

template <typename Entry>
MacroListAttribute<Entry>::MacroListAttribute() = default;

template <typename Entry>
MacroListAttribute<Entry>::~MacroListAttribute() {
  for (auto* node : lists_) release(node);
}

template <typename Entry>
void* MacroListAttribute<Entry>::NodePool::allocate(std::uint32_t capacity) {
  auto const bytes = sizeof(Node) + std::size_t{capacity} * sizeof(MacroKey);
  if (auto* const first = free_[capacity]) {
    std::memcpy(&free_[capacity], first, sizeof(void*));  // the next free node
    bytes_in_use_ += bytes;
    return first;
  }
  if (used_in_block_ + bytes > block_bytes_) {
    auto const next = std::min(MAX_BLOCK_BYTES, std::max(FIRST_BLOCK_BYTES, bytes_));
    blocks_.push_back(std::make_unique<std::uint64_t[]>(next / sizeof(std::uint64_t)));
    bytes_ += next;
    block_bytes_ = next;
    used_in_block_ = 0;
  }
  auto* const memory = reinterpret_cast<char*>(blocks_.back().get()) + used_in_block_;
  used_in_block_ += bytes;
  bytes_in_use_ += bytes;
  return memory;
}

template <typename Entry>
void MacroListAttribute<Entry>::NodePool::deallocate(void* memory, std::uint32_t capacity) {
  bytes_in_use_ -= sizeof(Node) + std::size_t{capacity} * sizeof(MacroKey);
  std::memcpy(memory, &free_[capacity], sizeof(void*));
  free_[capacity] = memory;
}

template <typename Entry>
typename MacroListAttribute<Entry>::Node* MacroListAttribute<Entry>::allocate(
    std::uint32_t capacity) {
  void* memory = nullptr;
  if (capacity <= NodePool::MAX_POOLED) {
    memory = pool_.allocate(capacity);
  } else {
    auto const bytes = sizeof(Node) + std::size_t{capacity} * sizeof(MacroKey);
    memory = ::operator new(bytes);
    unpooled_bytes_ += bytes;
  }
  return new (memory) Node{0, 0, capacity, 0};
}

template <typename Entry>
void MacroListAttribute<Entry>::drop_caches(Node const* node) const {
  if (node->cached == 0) return;
  auto& slot = caches_[node->cached - 1];
  slot.caches.reset();
  slot.next_free = free_cache_slot_;
  free_cache_slot_ = node->cached;
  node->cached = 0;
}

template <typename Entry>
typename MacroListAttribute<Entry>::Caches& MacroListAttribute<Entry>::caches_of(
    Node const* node) const {
  if (node->cached != 0) return *caches_[node->cached - 1].caches;
  // Both allocations before any change: a failure leaves the slots as they were.
  auto caches = std::make_unique<Caches>();
  if (free_cache_slot_ == 0) {
    caches_.emplace_back();
    free_cache_slot_ = static_cast<std::uint32_t>(caches_.size());
  }
  auto const number = free_cache_slot_;
  auto& slot = caches_[number - 1];
  free_cache_slot_ = slot.next_free;
  slot.caches = std::move(caches);
  node->cached = number;
  return *slot.caches;
}

template <typename Entry>
void MacroListAttribute<Entry>::destroy(Node* node) {
  drop_caches(node);
  auto const capacity = node->capacity;
  node->~Node();
  if (capacity <= NodePool::MAX_POOLED) {
    pool_.deallocate(node, capacity);
  } else {
    unpooled_bytes_ -= sizeof(Node) + std::size_t{capacity} * sizeof(MacroKey);
    ::operator delete(static_cast<void*>(node));
  }
}

template <typename Entry>
MacroKey MacroListAttribute<Entry>::key(uuid const& mesh_id, index_t index) {
  if (!last_mesh_ || !(*last_mesh_ == mesh_id)) {
    // Room first, so that a number is never given without its uuid.
    if (meshes_.size() == meshes_.capacity()) meshes_.reserve(2 * meshes_.size() + 1);
    auto const [found, added] =
        mesh_numbers_.try_emplace(mesh_id, static_cast<std::uint32_t>(meshes_.size()));
    if (added) meshes_.push_back(mesh_id);
    last_mesh_ = mesh_id;
    last_number_ = found->second;
  }
  return MacroKey{last_number_, index};
}

template <typename Entry>
std::optional<MacroKey> MacroListAttribute<Entry>::find_key(uuid const& mesh_id,
                                                            index_t index) const {
  if (last_mesh_ && *last_mesh_ == mesh_id) return MacroKey{last_number_, index};
  auto const found = mesh_numbers_.find(mesh_id);
  if (found == mesh_numbers_.end()) return std::nullopt;
  return MacroKey{found->second, index};
}

template <typename Entry>
std::vector<Entry> const& MacroListAttribute<Entry>::entries(index_t element) const {
  static std::vector<Entry> const none;
  auto const* node = lists_[element];
  if (node == nullptr) return none;
  auto& entries = caches_of(node).entries;
  // A list holds at least one key: an empty vector is one not made yet.
  if (entries.empty()) {
    entries.reserve(node->size);
    for (auto const key : absl::MakeConstSpan(node->keys(), node->size)) {
      entries.push_back(entry(key));
    }
  }
  return entries;
}

template <typename Entry>
typename MacroListAttribute<Entry>::Node* MacroListAttribute<Entry>::own_copy(
    index_t element, std::uint32_t count, std::uint32_t capacity) {
  auto* const old = lists_[element];
  auto* const copy = allocate(capacity);
  if (count > 0) std::memcpy(copy->keys(), old->keys(), std::size_t{count} * sizeof(MacroKey));
  copy->size = count;
  copy->holders = 1;
  lists_[element] = copy;
  release(old);
  return copy;
}

template <typename Entry>
typename MacroListAttribute<Entry>::Node* MacroListAttribute<Entry>::writable_for_append(
    index_t element) {
  auto* const node = lists_[element];
  if (node == nullptr) {
    auto* const fresh = allocate(FIRST_ROOM);
    fresh->holders = 1;
    lists_[element] = fresh;
    return fresh;
  }
  if (node->holders > 1) return own_copy(element, node->size, node->size + COPY_ROOM);
  if (node->size == node->capacity) return own_copy(element, node->size, grown(node->size));
  drop_caches(node);
  return node;
}

template <typename Entry>
void MacroListAttribute<Entry>::append(index_t element, MacroKey key) {
  auto* const node = writable_for_append(element);
  new (node->keys() + node->size) MacroKey{key};
  ++node->size;
}

template <typename Entry>
void MacroListAttribute<Entry>::share(index_t receiving, index_t source) {
  auto* const node = lists_[source];
  if (lists_[receiving] == node) return;
  if (node != nullptr) ++node->holders;
  release(lists_[receiving]);
  lists_[receiving] = node;
}

template <typename Entry>
absl::Span<MacroKey const> MacroListAttribute<Entry>::merge(index_t target,
                                                            absl::Span<index_t const> others) {
  auto const own = keys(target);
  auto total = own.size();
  for (auto const other : others) total += keys(other).size();
  // All the room first, so that nothing allocates once the lists are read. No key packs to
  // the set's empty mark: no entry has the index NO_ID.
  std::vector<MacroKey> merged;
  merged.reserve(total);
  IntegerSet<std::uint64_t> seen;
  bool const hashed = total > SHORT_MERGE;
  if (hashed) seen.reserve(total);
  auto const append_new = [&merged, &seen, hashed](absl::Span<MacroKey const> list) {
    for (auto const key : list) {
      if (hashed ? seen.insert(key.packed())
                 : std::find(merged.begin(), merged.end(), key) == merged.end()) {
        merged.push_back(key);
      }
    }
  };
  append_new(own);
  for (auto const other : others) append_new(keys(other));
  if (merged.size() == own.size() && std::equal(merged.begin(), merged.end(), own.begin())) {
    return own;
  }
  if (merged.empty()) {
    release(lists_[target]);
    lists_[target] = nullptr;
    return {};
  }
  auto* const node = own_copy(target, 0, static_cast<std::uint32_t>(merged.size()));
  std::memcpy(node->keys(), merged.data(), merged.size() * sizeof(MacroKey));
  node->size = static_cast<std::uint32_t>(merged.size());
  return keys(target);
}

template <typename Entry>
void MacroListAttribute<Entry>::remove_mesh(absl::Span<index_t const> elements, std::uint32_t mesh,
                                            std::vector<std::pair<index_t, index_t>>& removed) {
  auto const is_removed = [mesh](MacroKey key) { return key.mesh == mesh; };
  auto const count_in = [&is_removed](Node const* node) {
    return static_cast<index_t>(std::count_if(node->keys(), node->keys() + node->size, is_removed));
  };
  // The room first: once a list changes, recording it cannot fail.
  removed.reserve(removed.size() + elements.size());
  std::vector<std::pair<Node*, index_t>> shared;
  shared.reserve(elements.size());
  // A list held once is changed in place; shared lists are gathered, by node.
  for (auto const element : elements) {
    if (element >= lists_.size()) continue;
    auto* const node = lists_[element];
    if (node == nullptr) continue;
    if (node->holders > 1) {
      shared.emplace_back(node, element);
      continue;
    }
    auto const count = count_in(node);
    if (count == 0) continue;
    auto* const keys = node->keys();
    node->size =
        static_cast<std::uint32_t>(std::remove_if(keys, keys + node->size, is_removed) - keys);
    drop_caches(node);
    if (node->size == 0) {
      destroy(node);
      lists_[element] = nullptr;
    }
    removed.emplace_back(element, count);
  }
  // Each shared list is replaced once, for all the elements that hold it (null when emptied).
  std::sort(shared.begin(), shared.end(), [](auto const& lhs, auto const& rhs) {
    return lhs.first != rhs.first ? std::less<Node*>{}(lhs.first, rhs.first)
                                  : lhs.second < rhs.second;
  });
  for (std::size_t begin = 0, end = 0; begin < shared.size(); begin = end) {
    auto* const node = shared[begin].first;
    end = begin + 1;
    while (end < shared.size() && shared[end].first == node) ++end;
    auto const count = count_in(node);
    if (count == 0) continue;
    Node* replacement = nullptr;
    if (count < node->size) {
      // The only allocation: should it fail, this list and those after it are as they were.
      replacement = allocate(node->size - count);
      replacement->size =
          static_cast<std::uint32_t>(std::remove_copy_if(node->keys(), node->keys() + node->size,
                                                         replacement->keys(), is_removed) -
                                     replacement->keys());
    }
    for (auto at = begin; at < end; ++at) {
      auto const element = shared[at].second;
      if (at > begin && element == shared[at - 1].second) continue;  // listed twice
      if (replacement != nullptr) ++replacement->holders;
      lists_[element] = replacement;
      removed.emplace_back(element, count);
      release(node);  // the last holder frees it: nothing reads it after
    }
  }
}

namespace {

// The position of `key` among keys[low, high), searched outwards from `start` (start,
// start + 1, start - 1, ...), or NOT_FOUND.
std::size_t scan_outwards(MacroKey const* keys, std::size_t start, std::size_t low,
                          std::size_t high, MacroKey key) {
  auto above = start;
  auto below = start;
  while (above < high || below > low) {
    if (above < high) {
      if (keys[above] == key) return above;
      ++above;
    }
    if (below > low) {
      --below;
      if (keys[below] == key) return below;
    }
  }
  return MacroInfo::NOT_FOUND;
}

}  // namespace

template <typename Entry>
std::size_t MacroListAttribute<Entry>::find(index_t element, MacroKey key, std::size_t hint) const {
  auto const* node = lists_[element];
  if (node == nullptr) return MacroInfo::NOT_FOUND;
  auto const* keys = node->keys();
  std::size_t const size = node->size;
  auto const start = std::min(hint, size - 1);
  auto const window = [start, size](std::size_t reach) {
    return std::make_pair(start > reach ? start - reach : 0, std::min(size, start + reach));
  };
  auto const [near_low, near_high] = window(NEAR_HINT);
  if (auto const found = scan_outwards(keys, start, near_low, near_high, key);
      found != MacroInfo::NOT_FOUND || (near_low == 0 && near_high == size)) {
    return found;
  }
  Caches* caches = node->cached != 0 ? caches_[node->cached - 1].caches.get() : nullptr;
  if (caches == nullptr || caches->positions.empty()) {
    auto const [low, high] = window(size <= LONG_LIST ? size : LONG_LIST / 2);
    // Only the entries beyond the near window are left to scan.
    auto found = scan_outwards(keys, near_high, near_high, high, key);
    if (found == MacroInfo::NOT_FOUND) found = scan_outwards(keys, near_low, low, near_low, key);
    if (found != MacroInfo::NOT_FOUND || (low == 0 && high == size)) return found;
    // Far from the hint in a long list: a table of positions, so that no later search
    // scans this list again.
    if (caches == nullptr) caches = &caches_of(node);
    unsigned bits = 1;
    while ((std::size_t{1} << bits) < size + size / 3 + 1) ++bits;
    caches->position_bits = bits;
    caches->positions.assign(std::size_t{1} << bits, 0);
    auto const mask = (std::size_t{1} << bits) - 1;
    for (std::uint32_t position = 0; position < size; ++position) {
      for (auto slot = slot_of(keys[position], bits);; slot = (slot + 1) & mask) {
        auto& stored = caches->positions[slot];
        if (stored == 0) {
          stored = position + 1;
          break;
        }
        if (keys[stored - 1] == keys[position]) break;  // the first position stays
      }
    }
  }
  auto const bits = caches->position_bits;
  auto const mask = (std::size_t{1} << bits) - 1;
  for (auto slot = slot_of(key, bits);; slot = (slot + 1) & mask) {
    auto const stored = caches->positions[slot];
    if (stored == 0) return MacroInfo::NOT_FOUND;
    if (keys[stored - 1] == key) return stored - 1;
  }
}

template <typename Entry>
bool MacroListAttribute<Entry>::same_entries(index_t first, index_t second) const {
  auto const lhs = keys(first);
  auto const rhs = keys(second);
  if (lhs.data() == rhs.data()) return true;
  if (lhs.size() != rhs.size()) return false;
  if (std::equal(lhs.begin(), lhs.end(), rhs.begin())) return true;
  auto const sorted = [](absl::Span<MacroKey const> list) {
    std::vector<std::uint64_t> packed;
    packed.reserve(list.size());
    for (auto const key : list) packed.push_back(key.packed());
    std::sort(packed.begin(), packed.end());
    return packed;
  };
  return sorted(lhs) == sorted(rhs);
}

template <typename Entry>
std::size_t MacroListAttribute<Entry>::memory_bytes() const {
  // A number of a mesh takes a bucket and a node: its link, its value and its saved hash.
  std::size_t bytes =
      lists_.capacity() * sizeof(Node*) + meshes_.capacity() * sizeof(uuid) +
      mesh_numbers_.bucket_count() * sizeof(void*) +
      mesh_numbers_.size() *
          (sizeof(void*) + sizeof(std::pair<uuid const, std::uint32_t>) + sizeof(std::size_t)) +
      pool_.bytes_in_use() + unpooled_bytes_ + caches_.capacity() * sizeof(CacheSlot);
  for (auto const& slot : caches_) {
    if (!slot.caches) continue;
    bytes += sizeof(Caches) + slot.caches->entries.capacity() * sizeof(Entry) +
             slot.caches->positions.capacity() * sizeof(std::uint32_t);
  }
  return bytes;
}

template <typename Entry>
void MacroListAttribute<Entry>::resize(index_t size) {
  for (auto element = size; element < lists_.size(); ++element) release(lists_[element]);
  lists_.resize(size, nullptr);
}

template <typename Entry>
void MacroListAttribute<Entry>::reserve(index_t capacity) {
  // Geometric, so that many small reservations in a row cost no more than growing.
  if (capacity > lists_.capacity()) {
    lists_.reserve(std::max<std::size_t>(capacity, 2 * lists_.capacity()));
  }
}

template <typename Entry>
void MacroListAttribute<Entry>::renumber(absl::Span<index_t const> old_to_new, index_t new_size) {
  auto const count = std::min<std::size_t>(old_to_new.size(), lists_.size());
  // Kept elements moving down in order (as a clean renumbers) are moved within the array.
  bool in_order = true;
  index_t next = 0;
  for (std::size_t old_index = 0; old_index < count && in_order; ++old_index) {
    auto const new_index = old_to_new[old_index];
    if (new_index == NO_ID || new_index >= new_size) continue;
    in_order = new_index == next;
    ++next;
  }
  if (in_order && next == new_size) {
    for (std::size_t old_index = 0; old_index < lists_.size(); ++old_index) {
      auto const new_index = old_index < count ? old_to_new[old_index] : NO_ID;
      if (new_index == NO_ID || new_index >= new_size) {
        release(lists_[old_index]);
      } else {
        lists_[new_index] = lists_[old_index];
      }
    }
    lists_.resize(new_size);
    return;
  }
  std::vector<Node*> renumbered(new_size, nullptr);
  for (std::size_t old_index = 0; old_index < lists_.size(); ++old_index) {
    auto const new_index = old_index < count ? old_to_new[old_index] : NO_ID;
    if (new_index == NO_ID || new_index >= new_size) {
      release(lists_[old_index]);
    } else {
      release(renumbered[new_index]);  // two elements mapped onto one: the last one stays
      renumbered[new_index] = lists_[old_index];
    }
  }
  lists_ = std::move(renumbered);
}

template <typename Entry>
std::shared_ptr<AttributeBase> MacroListAttribute<Entry>::clone() const {
  auto copy = std::make_shared<MacroListAttribute<Entry>>();
  copy->meshes_ = meshes_;
  copy->mesh_numbers_ = mesh_numbers_;
  copy->lists_.assign(lists_.size(), nullptr);
  // One copy per list, held by the same elements as the original: a list held once is
  // copied at once, the shared ones are gathered by node first.
  auto& target = *copy;
  auto* const slots = target.lists_.data();
  auto const copy_of = [&target](Node const* node) {
    auto* const copied = target.allocate(node->size);
    std::memcpy(copied->keys(), node->keys(), std::size_t{node->size} * sizeof(MacroKey));
    copied->size = node->size;
    return copied;
  };
  std::vector<std::pair<Node const*, index_t>> shared;
  for (std::size_t element = 0; element < lists_.size(); ++element) {
    auto const* node = lists_[element];
    if (node == nullptr) continue;
    if (node->holders > 1) {
      shared.emplace_back(node, static_cast<index_t>(element));
      continue;
    }
    auto* const copied = copy_of(node);
    copied->holders = 1;
    slots[element] = copied;
  }
  std::sort(shared.begin(), shared.end(), [](auto const& lhs, auto const& rhs) {
    return std::less<Node const*>{}(lhs.first, rhs.first);
  });
  Node* copied = nullptr;
  for (std::size_t at = 0; at < shared.size(); ++at) {
    if (at == 0 || shared[at].first != shared[at - 1].first) copied = copy_of(shared[at].first);
    ++copied->holders;
    slots[shared[at].second] = copied;
  }
  return copy;
}

template class MacroListAttribute<MeshElement>;
template class MacroListAttribute<MeshVertex>;

}  // namespace velk::internal

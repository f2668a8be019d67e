// A set of unsigned integers for scratch work on paths that must survive running out of
// memory: a failed allocation leaves it as it was (a hash table of Debian's Abseil whose
// growth runs out of memory is left broken, and even destroying it then frees a bad pointer).
//
//   IntegerSet<index_t> seen;
//   if (seen.insert(element)) { /* first time */ }
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <type_traits>
#include <vector>

namespace velk::internal {

// Open addressing with linear probing over a power-of-two table, at most three quarters full.
// Growing builds the larger table before giving up the old one, so that `insert` and
// `reserve` either succeed or throw `std::bad_alloc` changing nothing. `Key` is an unsigned
// integer type; its largest value marks an empty slot and cannot be inserted.
template <typename Key>
class IntegerSet {
  static_assert(std::is_unsigned<Key>::value, "IntegerSet holds unsigned integers");

 public:
  static constexpr Key EMPTY = std::numeric_limits<Key>::max();

  // Room for `count` keys without growing.
  void reserve(std::size_t count) {
    if (count > capacity()) rebuild(bits_for(count));
  }

  // Inserts `key` (not `EMPTY`); returns whether it was not there yet.
  bool insert(Key key) {
    if (size_ >= capacity()) rebuild(bits_for(size_ + 1));
    auto const mask = slots_.size() - 1;
    for (auto slot = slot_of(key, bits_);; slot = (slot + 1) & mask) {
      if (slots_[slot] == key) return false;
      if (slots_[slot] == EMPTY) {
        slots_[slot] = key;
        ++size_;
        return true;
      }
    }
  }

  std::size_t size() const { return size_; }

 private:
  // Keys the table holds before it grows.
  std::size_t capacity() const { return slots_.size() / 4 * 3; }

  // The fewest bits of a table that holds `count` keys (at least 16 slots).
  static unsigned bits_for(std::size_t count) {
    unsigned bits = 4;
    while ((std::size_t{1} << bits) / 4 * 3 < count) ++bits;
    return bits;
  }

  // Fibonacci hashing: the top `bits` bits of the key times 2^64 / phi.
  static std::size_t slot_of(Key key, unsigned bits) {
    return static_cast<std::size_t>((std::uint64_t{key} * 0x9e3779b97f4a7c15ULL) >> (64U - bits));
  }

  void rebuild(unsigned bits) {
    std::vector<Key> larger(std::size_t{1} << bits, EMPTY);  // the only step that can throw
    auto const mask = larger.size() - 1;
    for (auto const key : slots_) {
      if (key == EMPTY) continue;
      auto slot = slot_of(key, bits);
      while (larger[slot] != EMPTY) slot = (slot + 1) & mask;
      larger[slot] = key;
    }
    slots_.swap(larger);
    bits_ = bits;
  }

  std::vector<Key> slots_;
  unsigned bits_{0};
  std::size_t size_{0};
};

}  // namespace velk::internal

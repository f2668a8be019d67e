// Universally unique identifiers of meshes.
//
//   velk::uuid id;                    // 16 fresh random bytes
//   std::string text = id.string();   // "1b4e28ba-2fa1-41d2-883f-0016d3cca427"
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include <basic/lumora_basic_export.hpp>

namespace velk {

// A 16-byte identifier. A default-constructed uuid is random (version 4, variant 1);
// two uuids are equal when their bytes are equal.
class LUMORA_BASIC_API uuid {
 public:
  // Draws 16 random bytes from a per-thread generator seeded from std::random_device.
  uuid();

  // Reads the canonical text: 36 characters, hexadecimal digits (either case) in groups of
  // 8-4-4-4-12 separated by '-'. Throws `LumoraException` when the text is malformed.
  explicit uuid(std::string_view text);

  // Canonical 36-character lower-case hexadecimal text.
  std::string string() const;

  std::array<std::uint8_t, 16> const& bytes() const { return bytes_; }

  // Two 8-byte comparisons, inlined: uuids are compared once per macro element scanned.
  friend bool operator==(uuid const& lhs, uuid const& rhs) {
    return lhs.half(0) == rhs.half(0) && lhs.half(1) == rhs.half(1);
  }
  friend bool operator!=(uuid const& lhs, uuid const& rhs) { return !(lhs == rhs); }
  friend bool operator<(uuid const& lhs, uuid const& rhs) { return lhs.bytes_ < rhs.bytes_; }

  template <typename H>
  friend H AbslHashValue(H state, uuid const& value) {
    return H::combine_contiguous(std::move(state), value.bytes_.data(), value.bytes_.size());
  }

 private:
  std::uint64_t half(std::size_t index) const {
    std::uint64_t value;
    std::memcpy(&value, bytes_.data() + 8 * index, sizeof(value));
    return value;
  }

  // A value type of 16 bytes: kept inline (no private implementation) so that the
  // macro-information records that hold it stay small and copyable.
  std::array<std::uint8_t, 16> bytes_;
};

}  // namespace velk

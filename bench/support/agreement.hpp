// What both contenders report about their result, so that a run can show they agree: counts
// and an order-independent checksum of the content.
//
//   velk::bench::ContentChecksum checksum;
//   checksum.add_interval(lower, upper, sorted_tags);
//   state.counters["checksum"] = checksum.value();
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace velk::bench {

// The input edge `edge` of input curve `curve` as one number, the same for every contender.
inline std::uint32_t input_edge_tag(std::uint32_t curve, std::uint32_t edge,
                                    std::uint32_t edges_per_curve) {
  return curve * edges_per_curve + edge;
}

// A sum of per-item hashes modulo 2^52: independent of the order in which items are added,
// and exactly representable in the double of a benchmark counter.
class ContentChecksum {
 public:
  // One elementary interval with the (sorted) input edges it carries.
  void add_interval(double lower, double upper, std::vector<std::uint32_t> const& sorted_tags) {
    auto hash = mix(bits(lower) ^ 0x1234567u);
    hash = mix(hash ^ bits(upper));
    for (auto const tag : sorted_tags) hash = mix(hash ^ tag);
    add(hash);
  }

  // Piece `position` of the answer to query `query`.
  void add_piece(std::uint64_t query, std::uint64_t position, double lower, double upper) {
    auto hash = mix(query ^ 0x9abcdefu);
    hash = mix(hash ^ position);
    hash = mix(hash ^ bits(lower));
    hash = mix(hash ^ bits(upper));
    add(hash);
  }

  double value() const { return static_cast<double>(sum_); }

 private:
  static constexpr std::uint64_t MASK = (std::uint64_t{1} << 52) - 1;

  static std::uint64_t bits(double value) {
    std::uint64_t result = 0;
    std::memcpy(&result, &value, sizeof(result));
    return result;
  }

  // The splitmix64 finaliser.
  static std::uint64_t mix(std::uint64_t value) {
    value += 0x9e3779b97f4a7c15u;
    value = (value ^ (value >> 30)) * 0xbf58476d1ce4e5b9u;
    value = (value ^ (value >> 27)) * 0x94d049bb133111ebu;
    return value ^ (value >> 31);
  }

  void add(std::uint64_t hash) { sum_ = (sum_ + (hash & MASK)) & MASK; }

  std::uint64_t sum_{0};
};

// What a finished insertion holds: elementary intervals, (interval, input edge) pairs and
// the checksum of both.
struct PartitionSummary {
  std::uint64_t intervals{0};
  std::uint64_t pairs{0};
  ContentChecksum checksum;
};

// What the answers to path queries hold, as both contenders report it: their pieces, the
// empty answers and a checksum of every piece's bounds and position in its answer.
struct ChainSummary {
  std::uint64_t pieces{0};
  std::uint64_t empty{0};
  ContentChecksum checksum;

  // Piece `position` of the answer to query `query`.
  void add_piece(std::uint64_t query, std::uint64_t position, double lower, double upper) {
    checksum.add_piece(query, position, lower, upper);
    ++pieces;
  }
};

}  // namespace velk::bench

// Boost.ICL as the benchmark contender: an `interval_map` from right-open intervals of the
// line to the set of tags they carry. The background's edges are tagged too (one tag each,
// high bit set), so that the map is cut at the background's vertices like the background
// line is, and neighbouring pieces never carry equal sets (which the map would join).
//
//   auto map = velk::bench::icl_unit_chain(100000);
//   velk::bench::icl_add(map, lower, upper, tag);
#pragma once

// Static right-open intervals instead of intervals with bounds chosen at run time (ICL's
// fastest configuration), unless VELK_BENCH_ICL_DEFAULT_INTERVALS asks for ICL's default.
#if !defined(BOOST_ICL_USE_STATIC_BOUNDED_INTERVALS) && !defined(VELK_BENCH_ICL_DEFAULT_INTERVALS)
#define BOOST_ICL_USE_STATIC_BOUNDED_INTERVALS
#endif

#include <cstdint>
#include <set>
#include <vector>

#include <boost/icl/interval_map.hpp>

#include "support/agreement.hpp"

namespace velk::bench {

using IclTags = std::set<std::uint32_t>;
using IclMap = boost::icl::interval_map<double, IclTags>;
using IclInterval = IclMap::interval_type;

inline constexpr std::uint32_t ICL_BACKGROUND_TAG = 0x80000000u;

inline bool is_input_tag(std::uint32_t tag) { return (tag & ICL_BACKGROUND_TAG) == 0; }

// Adds `tag` over [lower, upper).
inline void icl_add(IclMap& map, double lower, double upper, std::uint32_t tag) {
  map.add(std::make_pair(IclInterval{lower, upper}, IclTags{tag}));
}

// The background chain 0, 1, ..., nb_edges: piece [i, i + 1) tagged background edge i.
inline IclMap icl_unit_chain(std::uint32_t nb_edges) {
  IclMap map;
  for (std::uint32_t i = 0; i < nb_edges; ++i) {
    icl_add(map, static_cast<double>(i), static_cast<double>(i) + 1.0, ICL_BACKGROUND_TAG | i);
  }
  return map;
}

// Elementary intervals, (interval, input edge) pairs and their checksum.
inline PartitionSummary icl_summarize(IclMap const& map) {
  PartitionSummary summary;
  std::vector<std::uint32_t> tags;
  for (auto const& piece : map) {
    tags.clear();
    for (auto const tag : piece.second) {
      if (is_input_tag(tag)) tags.push_back(tag);
    }
    ++summary.intervals;
    summary.pairs += tags.size();
    summary.checksum.add_interval(piece.first.lower(), piece.first.upper(), tags);
  }
  return summary;
}

}  // namespace velk::bench

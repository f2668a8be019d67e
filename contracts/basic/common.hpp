// Index types and named constants shared by every library of the project.
//
//   velk::index_t edge = curve.nb_edges();
//   if (found == velk::NO_ID) { ... }
#pragma once

#include <cstdint>
#include <limits>

namespace velk {

// Index of a vertex, edge or other element of a mesh.
using index_t = std::uint32_t;

// Index of a vertex within one edge: 0 for the first vertex, 1 for the second.
using local_index_t = std::uint8_t;

// "No element": returned by renumberings for removed elements.
inline constexpr index_t NO_ID = std::numeric_limits<index_t>::max();

}  // namespace velk

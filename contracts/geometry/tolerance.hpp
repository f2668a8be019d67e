// The absolute tolerance of every geometric test in the project.
//
//   if (std::abs(a - b) <= velk::GEOMETRIC_TOLERANCE) { /* same position */ }
#pragma once

namespace velk {

// Two coordinates whose difference is at most this value (inclusive) are at the same
// position: a point snaps onto a vertex within it, lies on a segment extended by it, and
// is contained by an edge extended by it. It is absolute, so coordinates are expected in
// units where 1e-8 is negligible (lines up to about 1e6 units long keep 14 significant
// digits of room above it).
inline constexpr double GEOMETRIC_TOLERANCE = 1e-8;

}  // namespace velk

// The absolute tolerance of every geometric test in the project, and the exact distance
// that the tests compare with it.
//
//   if (velk::within_tolerance(a, b)) { /* same position */ }
//   if (velk::distance(x, a) < velk::distance(x, b)) { /* a is nearer to x than b */ }
#pragma once

namespace velk {

// Two coordinates whose difference is at most this value (inclusive) are at the same
// position: a point snaps onto a vertex within it, lies on a segment extended by it, and
// is contained by an edge extended by it. It is absolute, so coordinates are expected in
// units where 1e-8 is negligible (lines up to about 1e6 units long keep 14 significant
// digits of room above it).
inline constexpr double GEOMETRIC_TOLERANCE = 1e-8;

// The distance |a - b| between two finite coordinates, exactly: the rounded difference and
// the rounding error, whose sum is the true distance (Knuth's two-sum, exact whatever the
// magnitudes, as long as the difference does not overflow; then `rounded` is infinite).
// Comparing two of them compares the true distances, without rounding, so that a point
// exactly as far from two vertices is a tie and a point at exactly the tolerance is within
// it, whatever the coordinates' magnitudes.
struct ExactDistance {
  double rounded;
  double error;
};

inline ExactDistance distance(double a, double b) {
  double const rounded = a - b;
  double const b_part = rounded - a;
  double const a_part = rounded - b_part;
  double error = (a - a_part) - (b + b_part);
  if (rounded < 0 || (rounded == 0 && error < 0)) return ExactDistance{-rounded, -error};
  return ExactDistance{rounded, error};
}

// The rounded parts order the true distances (rounding never reverses an order); equal
// rounded parts leave the order to the errors. A NaN part makes every comparison false.
inline bool operator<(ExactDistance const& lhs, ExactDistance const& rhs) {
  return lhs.rounded < rhs.rounded || (lhs.rounded == rhs.rounded && lhs.error < rhs.error);
}

inline bool operator==(ExactDistance const& lhs, ExactDistance const& rhs) {
  return lhs.rounded == rhs.rounded && lhs.error == rhs.error;
}

// Whether the true distance is at most the tolerance (false for a NaN or an overflow).
inline bool within_tolerance(ExactDistance const& gap) {
  return gap.rounded < GEOMETRIC_TOLERANCE ||
         (gap.rounded == GEOMETRIC_TOLERANCE && gap.error <= 0);
}

// Whether `a` and `b` are at the same position: |a - b| <= GEOMETRIC_TOLERANCE, exactly.
// The rounded difference decides unless it equals the tolerance: rounding is monotone and
// the tolerance is a double, so a rounded difference below it (above it) comes from a true
// one below it (above it).
inline bool within_tolerance(double a, double b) {
  auto const rounded = a - b;
  auto const magnitude = rounded < 0 ? -rounded : rounded;
  if (magnitude != GEOMETRIC_TOLERANCE) return magnitude < GEOMETRIC_TOLERANCE;
  return within_tolerance(distance(a, b));
}

}  // namespace velk

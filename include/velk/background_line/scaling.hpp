// The scaling that maps a snapping tolerance in the caller's units onto the library's
// absolute `GEOMETRIC_TOLERANCE`: coordinates go in multiplied by 2^exponent and come out
// divided by it, both exact as long as no value overflows or becomes subnormal. The rule is
// written here once: the tolerance in effect is the largest GEOMETRIC_TOLERANCE / 2^k that
// is not above the one asked, so points farther apart than asked are never snapped together.
//
//   auto const scaling = velk::scaling_for_tolerance(8);   // tolerance in effect: <= 8
//   double const inside = scaling.to_library(17.0);
//   auto const apart = velk::scaling_apart({0, 1e-12, 5});  // keeps 0 and 1e-12 apart
#pragma once

#include <cmath>
#include <optional>
#include <vector>

#include <geometry/tolerance.hpp>
#include <velk/background_line/velk_background_line_export.hpp>

namespace velk {

struct Scaling {
  int exponent = 0;
  double tolerance = GEOMETRIC_TOLERANCE;  // in the caller's units

  double to_library(double x) const { return std::ldexp(x, exponent); }
  double from_library(double x) const { return std::ldexp(x, -exponent); }
};

// The scaling for the snapping distance `requested` (caller's units, positive and finite):
// the smallest exponent with GEOMETRIC_TOLERANCE / 2^exponent <= `requested`, so that the
// tolerance in effect lies in (requested / 2, requested]. `requested` = GEOMETRIC_TOLERANCE
// gives exponent 0. The tolerance in effect may be 0 or infinite for extreme requests:
// callers check it.
VELK_BACKGROUND_LINE_API Scaling scaling_for_tolerance(double requested);

// Whether `x` stays a normal finite number (or 0) once scaled by `scaling`.
VELK_BACKGROUND_LINE_API bool scalable(double x, Scaling const& scaling);

// The scaling under which no two of the `sorted` coordinates (sorted, distinct) are within
// the library's tolerance, so that none snaps onto another: none (exponent 0) when no two
// are, else the scaling for a tolerance just below the smallest gap. Empty when no scaling
// can keep them apart (a coordinate would overflow or become subnormal, or the gap is too
// small to be a tolerance).
VELK_BACKGROUND_LINE_API std::optional<Scaling> scaling_apart(std::vector<double> const& sorted);

}  // namespace velk

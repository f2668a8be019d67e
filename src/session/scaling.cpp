#include <velk/background_line/scaling.hpp>

#include <cfloat>

namespace velk {

Scaling scaling_for_tolerance(double requested) {
  // Difference of logarithms, not the logarithm of the quotient: the quotient overflows for a
  // tiny `requested` (1e-320), and an infinite value has no `int`. Every positive finite
  // `requested` gives a start within a few thousand of the answer.
  auto exponent =
      static_cast<int>(std::ceil(std::log2(GEOMETRIC_TOLERANCE) - std::log2(requested)));
  auto const in_effect = [](int e) { return std::ldexp(GEOMETRIC_TOLERANCE, -e); };
  while (in_effect(exponent) > requested) ++exponent;
  while (in_effect(exponent - 1) <= requested) --exponent;
  return Scaling{exponent, in_effect(exponent)};
}

bool scalable(double x, Scaling const& scaling) {
  if (x == 0) return true;
  auto const scaled = std::abs(scaling.to_library(x));
  return std::isfinite(scaled) && scaled >= DBL_MIN;
}

std::optional<Scaling> scaling_apart(std::vector<double> const& sorted) {
  // The smallest gap, if any is within the library's tolerance; the scaling is then the
  // one for a tolerance just below it (the distance measured exactly, so that the tolerance
  // in effect stays below the true gap).
  std::optional<ExactDistance> smallest;
  for (std::size_t i = 1; i < sorted.size(); ++i) {
    auto const gap = distance(sorted[i], sorted[i - 1]);
    if (within_tolerance(gap) && (!smallest || gap < *smallest)) smallest = gap;
  }
  if (!smallest) return Scaling{};
  auto const requested = std::nextafter(smallest->rounded, 0.0);
  if (!(requested >= DBL_MIN)) return std::nullopt;
  auto const scaling = scaling_for_tolerance(requested);
  for (auto const x : sorted) {
    if (!scalable(x, scaling)) return std::nullopt;
  }
  return scaling;
}

}  // namespace velk

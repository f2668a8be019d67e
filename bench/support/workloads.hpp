// Benchmark workloads, generated from fixed seeds so that every contender and every run sees
// the same data. Plain coordinates only: each contender builds its own structures from them.
//
//   auto const w1 = velk::bench::make_many_curves(velk::bench::ManyCurvesSize{});
//   auto const w2 = velk::bench::make_long_curve(10000);
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <random>
#include <set>
#include <vector>

#include <geometry/tolerance.hpp>

namespace velk::bench {

// Two generated coordinates are always more than this apart (and, in W1, this far from
// every integer, where the background has its vertices). Closer points would snap onto one
// another in the background line but stay distinct breakpoints for an interval map, so the
// generators redraw them and both contenders see the same breakpoints.
inline constexpr double MIN_SEPARATION = 2 * GEOMETRIC_TOLERANCE;

// A deterministic source of uniform numbers. `std::mt19937_64` is fully specified by the
// standard; the conversion to double is ours, so the sequence is the same on every platform.
class Random {
 public:
  explicit Random(std::uint64_t seed) : engine_{seed} {}

  // Uniform in [0, 1), 53 random bits.
  double uniform01() { return static_cast<double>(engine_() >> 11) * 0x1.0p-53; }

  // Uniform in [low, high).
  double uniform(double low, double high) { return low + (high - low) * uniform01(); }

  // Uniform in the open interval (low, high).
  double uniform_open(double low, double high) {
    for (;;) {
      auto const value = uniform(low, high);
      if (value > low) return value;
    }
  }

 private:
  std::mt19937_64 engine_;
};

// ---------------------------------------------------------------------------------------
// W1: many curves into a chain of unit edges.

struct ManyCurvesSize {
  std::uint32_t background_edges{100000};  // N: the chain 0, 1, ..., N
  std::uint32_t nb_curves{1000};
  std::uint32_t edges_per_curve{100};
  double max_step{10.0};
  std::uint64_t seed{20240501};
};

struct ManyCurves {
  ManyCurvesSize size;
  // One monotone (increasing) chain of coordinates per input curve, edges_per_curve + 1
  // vertices each.
  std::vector<std::vector<double>> curves;

  std::uint64_t nb_input_edges() const {
    return std::uint64_t{size.nb_curves} * size.edges_per_curve;
  }
};

namespace detail {

// Keeps every accepted coordinate; tells whether a new one is far enough from all of them.
class Separation {
 public:
  bool is_free(double x) const {
    auto const after = accepted_.lower_bound(x);
    if (after != accepted_.end() && *after - x <= MIN_SEPARATION) return false;
    if (after != accepted_.begin() && x - *std::prev(after) <= MIN_SEPARATION) return false;
    return true;
  }
  void accept(double x) { accepted_.insert(x); }

 private:
  std::set<double> accepted_;
};

inline bool far_from_integers(double x) { return std::abs(x - std::round(x)) > MIN_SEPARATION; }

}  // namespace detail

// Curve starts x0 uniform in [0, N - (10 * edges + 100)) (that is [0, N - 1100) for the
// standard size), steps uniform in (0, max_step). A point closer than MIN_SEPARATION to an
// integer or to a point drawn before is drawn again.
inline ManyCurves make_many_curves(ManyCurvesSize const& size) {
  ManyCurves result{size, {}};
  Random random{size.seed};
  detail::Separation separation;
  auto const span =
      static_cast<double>(size.background_edges) - (size.max_step * size.edges_per_curve + 100.0);
  result.curves.reserve(size.nb_curves);
  for (std::uint32_t curve = 0; curve < size.nb_curves; ++curve) {
    std::vector<double> points;
    points.reserve(size.edges_per_curve + 1);
    for (;;) {
      auto const x0 = random.uniform(0.0, span);
      if (detail::far_from_integers(x0) && separation.is_free(x0)) {
        points.push_back(x0);
        break;
      }
    }
    separation.accept(points.back());
    while (points.size() < size.edges_per_curve + 1) {
      auto const x = points.back() + random.uniform_open(0.0, size.max_step);
      if (!detail::far_from_integers(x) || !separation.is_free(x)) continue;
      separation.accept(x);
      points.push_back(x);
    }
    result.curves.push_back(std::move(points));
  }
  return result;
}

// ---------------------------------------------------------------------------------------
// W2: one long curve into the one-edge background [0, 1].

// 0, then K - 1 sorted uniform points of (0, 1), then 1: K edges. Points closer than
// MIN_SEPARATION to their predecessor (or the last one to 1) are drawn again, and the
// points sorted again, until every gap is wider.
inline std::vector<double> make_long_curve(std::uint32_t nb_edges, std::uint64_t seed = 19700101) {
  Random random{seed};
  std::vector<double> inner(nb_edges > 0 ? nb_edges - 1 : 0);
  for (auto& x : inner) x = random.uniform01();
  std::vector<std::size_t> crowded;
  for (;;) {
    std::sort(inner.begin(), inner.end());
    crowded.clear();
    auto previous = 0.0;
    for (std::size_t index = 0; index < inner.size(); ++index) {
      if (inner[index] - previous <= MIN_SEPARATION) {
        crowded.push_back(index);
      } else {
        previous = inner[index];
      }
    }
    if (!inner.empty() && 1.0 - inner.back() <= MIN_SEPARATION &&
        (crowded.empty() || crowded.back() != inner.size() - 1)) {
      crowded.push_back(inner.size() - 1);
    }
    if (crowded.empty()) break;
    for (auto const index : crowded) inner[index] = random.uniform01();
  }
  std::vector<double> points;
  points.reserve(inner.size() + 2);
  points.push_back(0.0);
  points.insert(points.end(), inner.begin(), inner.end());
  points.push_back(1.0);
  return points;
}

// ---------------------------------------------------------------------------------------
// W4: random split/collapse pairs.

// One pair: split the live edge in slot `floor(slot * nb_live)` at `fraction` of its
// length, then collapse the first half back onto the edge's first vertex.
struct SplitCollapse {
  double slot;
  double fraction;
};

inline std::vector<SplitCollapse> make_split_collapse_pairs(std::uint32_t count,
                                                            std::uint64_t seed = 31415926) {
  Random random{seed};
  std::vector<SplitCollapse> pairs(count);
  for (auto& pair : pairs) {
    pair.slot = random.uniform01();
    pair.fraction = random.uniform(0.25, 0.75);
  }
  return pairs;
}

}  // namespace velk::bench

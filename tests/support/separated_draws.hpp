// Random draws for seeded property tests, with coordinates kept apart from one another.
//
//   class Case : velk::test::SeparatedDraws {
//     Case(std::uint64_t seed) : SeparatedDraws{seed, 1e-5} {}
//     ... auto x = fresh(0.0, 100.0); ...
//   };
#pragma once

#include <cstdint>
#include <iterator>
#include <optional>
#include <random>
#include <set>

namespace velk::test {

// A seeded engine and the coordinates drawn so far; a derived test case draws through it.
class SeparatedDraws {
 protected:
  SeparatedDraws(std::uint64_t seed, double separation) : random_{seed}, separation_{separation} {}

  int draw(int low, int high) { return std::uniform_int_distribution<int>{low, high}(random_); }
  double uniform(double low, double high) {
    return std::uniform_real_distribution<double>{low, high}(random_);
  }
  bool chance(double probability) { return uniform(0.0, 1.0) < probability; }

  // Whether `x` is at least the separation from every coordinate met so far.
  bool is_separated(double x) const {
    auto const above = known_.lower_bound(x);
    if (above != known_.end() && *above - x < separation_) return false;
    if (above != known_.begin() && x - *std::prev(above) < separation_) return false;
    return true;
  }

  // A coordinate strictly inside (low, high), separated from every one met so far, which it
  // then joins; empty when 100 draws found none.
  std::optional<double> fresh(double low, double high) {
    for (int attempt = 0; attempt < 100; ++attempt) {
      auto const x = uniform(low, high);
      if (x > low && x < high && is_separated(x)) {
        known_.insert(x);
        return x;
      }
    }
    return std::nullopt;
  }

  std::mt19937_64 random_;
  std::set<double> known_;  // the coordinates met so far

 private:
  double separation_;
};

}  // namespace velk::test

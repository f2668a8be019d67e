#include <background_common/integer_set.hpp>

#include <cstdint>
#include <limits>
#include <random>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "support/seeded_cases.hpp"

namespace {

using velk::internal::IntegerSet;

TEST(IntegerSet, InsertSaysWhetherTheKeyIsNew) {
  IntegerSet<std::uint32_t> set;
  struct Step {
    std::uint32_t key;
    bool is_new;
  };
  // The smallest and the largest insertable keys, and a repeat after each.
  Step const steps[] = {
      {0, true},  {0, false}, {std::numeric_limits<std::uint32_t>::max() - 1, true},
      {7, true},  {7, false}, {std::numeric_limits<std::uint32_t>::max() - 1, false},
      {16, true}, {0, false}};
  for (auto const& step : steps) EXPECT_EQ(set.insert(step.key), step.is_new) << step.key;
  EXPECT_EQ(set.size(), 4U);
}

// Random keys, many repeated, inserted past several growths (some after a `reserve`),
// against `std::set`.
TEST(IntegerSet, AgreesWithAnOrderedSet) {
  auto const ran = velk::test::run_seeded_cases(
      {"VELK_INTEGER_SET", 200, 50}, 1, [](std::uint64_t seed) -> std::string {
        std::mt19937_64 random{seed};
        auto const count = std::uniform_int_distribution<int>{0, 2000}(random);
        // Small ranges repeat keys often; the full range reaches the top bits.
        auto const range =
            random() % 2 == 0 ? std::uint64_t{3000} : std::numeric_limits<std::uint64_t>::max() - 1;
        IntegerSet<std::uint64_t> set;
        if (random() % 3 == 0) set.reserve(static_cast<std::size_t>(count / 2));
        std::set<std::uint64_t> expected;
        for (int step = 0; step < count; ++step) {
          auto const key = std::uniform_int_distribution<std::uint64_t>{0, range}(random);
          if (set.insert(key) != expected.insert(key).second) {
            return "insert " + std::to_string(key) + " at step " + std::to_string(step);
          }
        }
        if (set.size() != expected.size()) return "size";
        for (auto const key : expected) {
          if (set.insert(key)) return "key " + std::to_string(key) + " lost";
        }
        return {};
      });
  EXPECT_GT(ran, 0U);
}

}  // namespace

// Seeded property cases: how many to run, and the loop that runs them and names the seed of
// the first failure with the way to replay it alone.
//
//   velk::test::run_seeded_cases({"VELK_DIFFERENTIAL", 5000, 1000}, 1'000'000,
//                                [&](std::uint64_t seed) { return Case{seed}.run(); });
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

namespace velk::test {

// Where the counts come from: `<prefix>_CASES` overrides the count, `<prefix>_SEED` runs that
// one seed only; otherwise `optimised` cases in an optimised build and `debug` ones elsewhere.
struct SeededCases {
  char const* prefix;
  int optimised;
  int debug;
};

// Runs `run(seed)` (which returns an empty text, or the problem it found) over the seeds from
// `first_seed`, stopping at the first problem, which fails the current test with the seed and
// the environment and filter that replay it. Returns the number of cases run.
template <typename Run>
std::size_t run_seeded_cases(SeededCases const& cases, std::uint64_t first_seed, Run&& run) {
  auto const variable = [&cases](char const* suffix) { return std::string{cases.prefix} + suffix; };
  std::uint64_t count = 0;
  if (auto const* text = std::getenv(variable("_SEED").c_str())) {
    first_seed = std::strtoull(text, nullptr, 10);
    count = 1;
  } else if (auto const* text = std::getenv(variable("_CASES").c_str())) {
    count = std::strtoull(text, nullptr, 10);
  } else {
#ifdef NDEBUG
    count = static_cast<std::uint64_t>(cases.optimised);
#else
    count = static_cast<std::uint64_t>(cases.debug);
#endif
  }
  std::size_t ran = 0;
  for (auto seed = first_seed; seed < first_seed + count; ++seed) {
    ++ran;
    auto const problem = run(seed);
    if (!problem.empty()) {
      auto const* test = testing::UnitTest::GetInstance()->current_test_info();
      ADD_FAILURE() << "seed " << seed << " (replay: " << variable("_SEED") << "=" << seed
                    << " and --gtest_filter=" << test->test_suite_name() << "." << test->name()
                    << "): " << problem;
      break;
    }
  }
  return ran;
}

}  // namespace velk::test

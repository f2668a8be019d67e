#include <velk/tracks/ordered_pool.hpp>

#include <atomic>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using velk::tracks::run_in_order;

// Every item is worked once and consumed once, in order, with the work's result visible to
// its consume, for any number of threads against items.
TEST(OrderedPool, ConsumesEveryWorkInOrder) {
  for (unsigned const threads : {0U, 1U, 2U, 3U, 8U}) {
    for (std::size_t const count : {0U, 1U, 2U, 7U, 100U}) {
      std::vector<std::size_t> results(count, 0);
      std::vector<std::size_t> consumed;
      std::atomic<std::size_t> works{0};
      run_in_order(
          count, threads,
          [&](std::size_t i) {
            results[i] = i * i + 1;
            ++works;
          },
          [&](std::size_t i) {
            ASSERT_EQ(results[i], i * i + 1);
            consumed.push_back(i);
          });
      ASSERT_EQ(works.load(), count) << threads << " threads";
      ASSERT_EQ(consumed.size(), count);
      for (std::size_t i = 0; i < count; ++i) EXPECT_EQ(consumed[i], i);
    }
  }
}

// The first failure in item order propagates, whether a work or a consume throws, and
// nothing past it is consumed.
TEST(OrderedPool, FirstFailureInOrderPropagates) {
  struct Case {
    std::size_t failing_work;     // count: none
    std::size_t failing_consume;  // count: none
    std::string expected;
  };
  std::size_t const count = 50;
  for (auto const& [failing_work, failing_consume, expected] :
       std::vector<Case>{{10, count, "work 10"}, {30, 20, "consume 20"}, {5, 5, "work 5"}}) {
    for (unsigned const threads : {1U, 2U, 4U}) {
      std::size_t last_consumed = count;
      try {
        run_in_order(
            count, threads,
            [&](std::size_t i) {
              if (i == failing_work) throw std::runtime_error{"work " + std::to_string(i)};
            },
            [&](std::size_t i) {
              if (i == failing_consume) throw std::runtime_error{"consume " + std::to_string(i)};
              last_consumed = i;
            });
        ADD_FAILURE() << "no exception with " << threads << " threads";
      } catch (std::runtime_error const& error) {
        EXPECT_EQ(error.what(), expected) << threads << " threads";
      }
      auto const stop = std::min(failing_work, failing_consume);
      EXPECT_EQ(last_consumed + 1, stop) << threads << " threads";
    }
  }
}

}  // namespace

// The modifier's position index against a brute-force scan of the same intervals, through
// growth (node splits, a taller tree), edits in place and shrinking (merges, a shorter tree).
#include "modifier/edge_position_index.hpp"

#include <algorithm>
#include <map>
#include <random>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace {

using velk::index_t;
using velk::detail::EdgePositionIndex;

class Reference {
 public:
  void assign(index_t edge, double first, double second) {
    intervals_[edge] = {std::min(first, second), std::max(first, second)};
  }
  void remove(index_t edge) { intervals_.erase(edge); }

  // The kept edges whose interval meets [low, high], in (lower end, index) order.
  std::vector<index_t> overlapping(double low, double high) const {
    std::vector<std::pair<double, index_t>> found;
    for (auto const& [edge, interval] : intervals_) {
      if (interval.first <= high && interval.second >= low)
        found.emplace_back(interval.first, edge);
    }
    std::sort(found.begin(), found.end());
    std::vector<index_t> edges;
    for (auto const& entry : found) edges.push_back(entry.second);
    return edges;
  }

  std::map<index_t, std::pair<double, double>> const& intervals() const { return intervals_; }

 private:
  std::map<index_t, std::pair<double, double>> intervals_;
};

class EdgePositionIndexTest : public ::testing::TestWithParam<unsigned> {
 protected:
  void SetUp() override { random_.seed(GetParam()); }

  // Whole numbers often, so that ends coincide and keys tie on the lower end.
  double coordinate() {
    if (random_() % 4 == 0) return static_cast<double>(random_() % 64);
    return std::uniform_real_distribution<double>{0.0, 64.0}(random_);
  }

  void expect_same_answers() {
    ASSERT_EQ(index_.size(), reference_.intervals().size());
    for (int query = 0; query < 8; ++query) {
      auto x = std::uniform_real_distribution<double>{-1.0, 65.0}(random_);
      if (query % 2 == 0) x = static_cast<double>(random_() % 64);
      auto const tolerance = query % 3 == 0 ? 0.5 : 1e-8;
      ASSERT_EQ(overlapping(x - tolerance, x + tolerance),
                reference_.overlapping(x - tolerance, x + tolerance))
          << "x = " << x;
    }
  }

  // Splits a random kept edge in two new edges, as the modifier does (either orientation).
  void split_one() {
    auto it = reference_.intervals().begin();
    std::advance(it, random_() % reference_.intervals().size());
    auto const [edge, interval] = *it;
    auto const x = std::uniform_real_distribution<double>{interval.first, interval.second}(random_);
    auto const first = next_edge_++;
    auto const second = next_edge_++;
    auto const backwards = random_() % 2 == 0;
    auto const start = backwards ? interval.second : interval.first;
    auto const end = backwards ? interval.first : interval.second;
    index_.replace_by_two(edge, first, start, x, second, x, end);
    reference_.remove(edge);
    reference_.assign(first, start, x);
    reference_.assign(second, x, end);
  }

  // The edges the index finds, each with the interval it was given.
  std::vector<index_t> overlapping(double low, double high) const {
    std::vector<EdgePositionIndex::Interval> intervals;
    index_.overlapping(low, high, intervals);
    std::vector<index_t> edges;
    for (auto const& interval : intervals) {
      auto const& given = reference_.intervals().at(interval.edge);
      EXPECT_EQ(std::make_pair(interval.lower, interval.upper), given) << interval.edge;
      edges.push_back(interval.edge);
    }
    return edges;
  }

  std::mt19937_64 random_;
  EdgePositionIndex index_;
  Reference reference_;
  index_t next_edge_{0};
};

TEST_P(EdgePositionIndexTest, AnswersAsABruteForceScanThroughGrowthEditsAndShrinking) {
  // A rebuild from staged edges: a sorted run (a chain), then edges out of order, one twice.
  for (; next_edge_ < 300; ++next_edge_) {
    double const start = next_edge_ < 200 ? next_edge_ * 0.25 : coordinate();
    index_.stage(next_edge_, start, start + 0.25);
    reference_.assign(next_edge_, start, start + 0.25);
  }
  index_.stage(7, 40.0, 41.0);
  reference_.assign(7, 40.0, 41.0);
  index_.link_staged();
  expect_same_answers();

  for (int step = 0; step < 6000; ++step) {
    auto const operation = random_() % 8;
    if (operation < 3) {
      auto const a = coordinate();
      auto const b = operation == 0 ? a : coordinate();  // zero-length edges too
      auto const edge =
          random_() % 5 == 0 ? static_cast<index_t>(random_() % next_edge_) : next_edge_++;
      index_.assign(edge, a, b);
      reference_.assign(edge, a, b);
    } else if (operation == 3) {
      auto const edge = static_cast<index_t>(random_() % next_edge_);
      index_.remove(edge);
      reference_.remove(edge);
    } else if (!reference_.intervals().empty()) {
      split_one();
    }
    if (step % 100 == 0) expect_same_answers();
  }
  expect_same_answers();
  for (index_t edge = 0; edge < next_edge_ + 2; ++edge) {
    ASSERT_EQ(index_.contains(edge), reference_.intervals().count(edge) == 1) << edge;
  }

  // Shrinking to nothing, in random order.
  while (!reference_.intervals().empty()) {
    auto it = reference_.intervals().begin();
    std::advance(it, random_() % reference_.intervals().size());
    auto const edge = it->first;
    index_.remove(edge);
    reference_.remove(edge);
    if (reference_.intervals().size() % 97 == 0) expect_same_answers();
  }
  EXPECT_EQ(index_.size(), 0u);
  EXPECT_TRUE(overlapping(-100.0, 100.0).empty());

  // Cleared and used again.
  index_.clear();
  index_.assign(3, 2.0, 1.0);
  reference_.assign(3, 2.0, 1.0);
  EXPECT_EQ(overlapping(1.5, 1.5), std::vector<index_t>{3});
  EXPECT_FALSE(index_.contains(2));
}

INSTANTIATE_TEST_SUITE_P(Seeds, EdgePositionIndexTest, ::testing::Values(1u, 2u, 3u));

}  // namespace

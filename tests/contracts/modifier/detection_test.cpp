#include <modifier/detection.hpp>

#include <algorithm>
#include <cmath>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include <basic/lumora_exception.hpp>
#include <geometry/tolerance.hpp>

#include "support/chain_curve.hpp"
#include "support/thrown_message.hpp"

namespace {

using velk::test::thrown_message;

using velk::GEOMETRIC_TOLERANCE;
using velk::index_t;
using velk::detail::find_containing_edge;
using velk::detail::snapping_detection;

velk::Point<1> at(double x) { return velk::Point<1>{{x}}; }

// A chain (vertex i at positions[i], edge i from vertex i to i + 1) with its modifier.
struct EditedCurve {
  explicit EditedCurve(std::vector<double> const& positions) {
    velk::test::build_chain(builder, positions);
  }
  std::optional<index_t> find(double x, index_t initial) const {
    return find_containing_edge(at(x), curve, modifier, initial);
  }
  double lower(index_t edge) const {
    auto const& ends = curve.edge_vertices(edge);
    return std::min(curve.point(ends[0]).value(0), curve.point(ends[1]).value(0));
  }
  double upper(index_t edge) const {
    auto const& ends = curve.edge_vertices(edge);
    return std::max(curve.point(ends[0]).value(0), curve.point(ends[1]).value(0));
  }
  // What the lookup promises: `initial` when it is live and contains x, otherwise the live
  // edge with the smallest (lower end, index) that contains x.
  std::optional<index_t> brute_force(double x, index_t initial) const {
    auto const contains = [&](index_t edge) {
      return !curve.is_edge_detached(edge) && lower(edge) <= x + GEOMETRIC_TOLERANCE &&
             upper(edge) >= x - GEOMETRIC_TOLERANCE;
    };
    if (initial < curve.nb_edges() && contains(initial)) return initial;
    std::optional<index_t> best;
    double best_lower = HUGE_VAL;
    for (index_t edge = 0; edge < curve.nb_edges(); ++edge) {
      if (contains(edge) && (!best || lower(edge) < best_lower)) {
        best = edge;
        best_lower = lower(edge);
      }
    }
    return best;
  }
  std::vector<index_t> live_edges() const {
    std::vector<index_t> live;
    for (index_t edge = 0; edge < curve.nb_edges(); ++edge) {
      if (!curve.is_edge_detached(edge)) live.push_back(edge);
    }
    return live;
  }

  velk::EdgedCurve<1> curve;
  velk::EdgedCurveBuilder<1> builder{curve};
  velk::EdgedCurveModifier<1> modifier{curve, builder};
};

TEST(FindContainingEdge, AgreesWithABruteForceScanThroughLongRunsOfEdits) {
  for (unsigned seed = 1; seed <= 3; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random{seed};
    std::uniform_real_distribution<double> unit{0.0, 1.0};
    EditedCurve edited{{0.0, 5.0, 10.0, 15.0, 20.0}};
    for (int step = 0; step < 2000; ++step) {
      auto const live = edited.live_edges();
      auto const edge = live[random() % live.size()];
      auto const choice = random() % 10;
      if (choice < 6 || live.size() < 4) {
        auto const x =
            edited.lower(edge) + unit(random) * (edited.upper(edge) - edited.lower(edge));
        edited.modifier.split_edge(edge, at(x));
      } else if (choice < 8) {
        edited.modifier.collapse_edge(edge, at((edited.lower(edge) + edited.upper(edge)) / 2));
      } else if (choice < 9) {
        auto const vertex = edited.curve.edge_vertices(edge)[random() % 2];
        edited.modifier.move_point(
            vertex, at(edited.curve.point(vertex).value(0) + (unit(random) - 0.5) * 0.1));
      }
      if (step % 100 == 99) {  // renumbering invalidates the modifier's index
        edited.modifier.clean_edges();
        edited.modifier.clean_vertices();
      }
      for (int query = 0; query < 2; ++query) {
        auto const x = unit(random) * 22.0 - 1.0;
        // The original edge 0 (soon stale), or any index, in range or not.
        index_t const initial = query == 0 ? 0 : random() % (edited.curve.nb_edges() + 3);
        ASSERT_EQ(edited.find(x, initial), edited.brute_force(x, initial))
            << "step " << step << ", x = " << x << ", initial " << initial;
      }
    }
  }
}

TEST(FindContainingEdge, StartsFromAnyInitialEdge) {
  EditedCurve edited{{0.0, 1.0, 2.0}};
  edited.modifier.split_edge(0, at(0.5));  // edges 2 [0, 0.5] and 3 [0.5, 1]
  EXPECT_EQ(edited.find(0.25, 0), 2u);     // detached
  EXPECT_EQ(edited.find(0.75, 99), 3u);    // out of range
  EXPECT_EQ(edited.find(1.5, velk::NO_ID), 1u);
  EXPECT_EQ(edited.find(1.0, 1), 1u);  // the initial edge contains it
  EXPECT_EQ(edited.find(1.0, 0), 3u);  // otherwise the smallest lower end
  EXPECT_EQ(edited.find(2.5, 1), std::nullopt);
  EXPECT_EQ(edited.find(std::nan(""), 1), std::nullopt);
  EXPECT_EQ(edited.find(HUGE_VAL, 1), std::nullopt);
}

TEST(FindContainingEdge, NoticesEditsMadeThroughTheBuilder) {
  EditedCurve edited{{0.0, 1.0, 2.0}};
  EXPECT_EQ(edited.find(1.5, 0), 1u);
  edited.builder.set_point(2, at(5.0));
  EXPECT_EQ(edited.find(4.0, 0), 1u);
  edited.builder.disconnect_edge(1);
  EXPECT_EQ(edited.find(4.0, 0), std::nullopt);
  auto const added = edited.builder.create_edge(0, 2);
  EXPECT_EQ(edited.find(4.0, 0), added);
  // A modifier edit right after one behind its back.
  edited.builder.set_point(1, at(0.5));
  auto const split = edited.modifier.split_edge(added, at(3.0));
  EXPECT_EQ(edited.find(4.0, 0), split.new_edges[1]);
  EXPECT_EQ(edited.find(2.0, 0), split.new_edges[0]);
  EXPECT_EQ(edited.find(0.25, 1), 0u);  // edge 0 now ends at the moved vertex 1, at 0.5
  EXPECT_EQ(edited.find(0.75, 1), split.new_edges[0]);
}

TEST(FindContainingEdge, RefusesTheModifierOfAnotherCurve) {
  EditedCurve first{{0.0, 1.0}};
  EditedCurve second{{0.0, 1.0}};
  EXPECT_EQ(thrown_message([&] { find_containing_edge(at(0.5), first.curve, second.modifier, 0); }),
            "[detail::find_containing_edge] the modifier edits another curve than the one given");
}

TEST(SnappingDetection, SnapsWithinTheToleranceOntoTheNearerVertex) {
  EditedCurve edited{{0.0, 1.0}};
  edited.builder.create_edge(1, 0);  // edge 1 runs backwards: its second vertex is at 0
  auto const& curve = edited.curve;
  auto const beyond = std::nextafter(GEOMETRIC_TOLERANCE, 1.0);
  EXPECT_EQ(snapping_detection<1>(curve, 0, at(GEOMETRIC_TOLERANCE)), 0);
  EXPECT_EQ(snapping_detection<1>(curve, 0, at(beyond)), std::nullopt);
  EXPECT_EQ(snapping_detection<1>(curve, 1, at(-GEOMETRIC_TOLERANCE)), 1);
  EXPECT_EQ(snapping_detection<1>(curve, 1, at(-beyond)), std::nullopt);
  EXPECT_EQ(snapping_detection<1>(curve, 0, at(0.5)), std::nullopt);
  EXPECT_EQ(snapping_detection<1>(curve, 0, at(std::nan(""))), std::nullopt);

  // Both ends within the tolerance: the nearer one, the first on a tie.
  EditedCurve tiny{{0.0, 1.5 * GEOMETRIC_TOLERANCE, 5.0, 5.0}};
  EXPECT_EQ(snapping_detection<1>(tiny.curve, 0, at(GEOMETRIC_TOLERANCE)), 1);
  EXPECT_EQ(snapping_detection<1>(tiny.curve, 0, at(0.5 * GEOMETRIC_TOLERANCE)), 0);
  EXPECT_EQ(snapping_detection<1>(tiny.curve, 0, at(0.75 * GEOMETRIC_TOLERANCE)), 0);
  EXPECT_EQ(snapping_detection<1>(tiny.curve, 2, at(5.0)), 0);  // zero length

  EXPECT_EQ(thrown_message([&] { snapping_detection<1>(curve, 2, at(0.0)); }),
            "[detail::snapping_detection] edge index 2 is out of range (2 edges)");
}

}  // namespace

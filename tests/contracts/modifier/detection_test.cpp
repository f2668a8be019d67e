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
  // What the lookup promises, by brute force: when x lies within the tolerance (exactly)
  // of an end of a live edge, an edge ending at the nearest such end (of equally near
  // ones, the smaller coordinate, then the smaller index): `initial` when it is one,
  // otherwise the first by (lower end, index). Else the live edge holding x strictly
  // inside, `initial` when it does, otherwise the first by (lower end, index).
  std::optional<index_t> brute_force(double x, index_t initial) const {
    auto const live = [&](index_t edge) {
      return edge < curve.nb_edges() && !curve.is_edge_detached(edge);
    };
    auto const first_in_order = [&](auto&& accepts) {
      std::optional<index_t> best;
      for (index_t edge = 0; edge < curve.nb_edges(); ++edge) {
        if (live(edge) && accepts(edge) &&
            (!best || lower(edge) < lower(*best) ||
             (lower(edge) == lower(*best) && edge < *best))) {
          best = edge;
        }
      }
      return best;
    };
    auto snap = velk::NO_ID;
    for (index_t edge = 0; edge < curve.nb_edges(); ++edge) {
      if (!live(edge)) continue;
      for (auto const vertex : curve.edge_vertices(edge)) {
        auto const vertex_x = curve.point(vertex).value(0);
        if (!velk::within_tolerance(x, vertex_x)) continue;
        if (snap == velk::NO_ID) {
          snap = vertex;
          continue;
        }
        auto const snap_x = curve.point(snap).value(0);
        auto const to_vertex = velk::distance(x, vertex_x);
        auto const to_snap = velk::distance(x, snap_x);
        if (to_vertex < to_snap || (to_vertex == to_snap &&
                                    (vertex_x < snap_x || (vertex_x == snap_x && vertex < snap)))) {
          snap = vertex;
        }
      }
    }
    if (snap != velk::NO_ID) {
      auto const ends_at_snap = [&](index_t edge) {
        auto const& ends = curve.edge_vertices(edge);
        return ends[0] == snap || ends[1] == snap;
      };
      if (live(initial) && ends_at_snap(initial)) return initial;
      return first_in_order(ends_at_snap);
    }
    auto const holds = [&](index_t edge) { return lower(edge) < x && x < upper(edge); };
    if (live(initial) && holds(initial)) return initial;
    return first_in_order(holds);
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
      for (int query = 0; query < 4; ++query) {
        // Anywhere, or at an end of a live edge give or take 0, 0.5, 1 or 1.5 tolerances.
        auto x = unit(random) * 22.0 - 1.0;
        if (query >= 2) {
          auto const now_live = edited.live_edges();
          auto const& ends = edited.curve.edge_vertices(now_live[random() % now_live.size()]);
          x = edited.curve.point(ends[random() % 2]).value(0) +
              0.5 * GEOMETRIC_TOLERANCE * (static_cast<int>(random() % 7) - 3);
        }
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
  EXPECT_EQ(edited.find(1.0, 1), 1u);  // the initial edge ends at vertex 1, at 1.0
  EXPECT_EQ(edited.find(1.0, 0), 3u);  // otherwise the first edge ending there
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

  // Both ends within the tolerance: the nearer one; on an exact tie (0.75e-8 is half of
  // 1.5e-8 in doubles too) the one at the smaller coordinate, whichever way the edge runs;
  // at one coordinate, the smaller index.
  EditedCurve tiny{{0.0, 1.5 * GEOMETRIC_TOLERANCE, 5.0, 5.0}};
  auto const backwards = tiny.builder.create_edge(1, 0);
  auto const zero_backwards = tiny.builder.create_edge(3, 2);
  EXPECT_EQ(snapping_detection<1>(tiny.curve, 0, at(GEOMETRIC_TOLERANCE)), 1);
  EXPECT_EQ(snapping_detection<1>(tiny.curve, 0, at(0.5 * GEOMETRIC_TOLERANCE)), 0);
  EXPECT_EQ(snapping_detection<1>(tiny.curve, 0, at(0.75 * GEOMETRIC_TOLERANCE)), 0);
  EXPECT_EQ(snapping_detection<1>(tiny.curve, backwards, at(0.75 * GEOMETRIC_TOLERANCE)), 1);
  EXPECT_EQ(snapping_detection<1>(tiny.curve, 2, at(5.0)), 0);  // zero length
  EXPECT_EQ(snapping_detection<1>(tiny.curve, zero_backwards, at(5.0)), 1);

  EXPECT_EQ(thrown_message([&] { snapping_detection<1>(curve, 2, at(0.0)); }),
            "[detail::snapping_detection] edge index 2 is out of range (2 edges)");
}

}  // namespace

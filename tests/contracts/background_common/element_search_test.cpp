#include <background_common/element_search.hpp>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include <geometry/tolerance.hpp>
#include <mesh/edged_curve_builder.hpp>

#include "support/chain_curve.hpp"

namespace {

using velk::GEOMETRIC_TOLERANCE;
using velk::index_t;
using Search = velk::internal::ElementSearch<velk::EdgedCurve<1>>;

velk::Point<1> at(double x) { return velk::Point<1>{{x}}; }

// What the search promises: the live edge with the smallest (lower end, index) whose
// interval widened by the tolerance contains x.
std::optional<index_t> brute_force(velk::EdgedCurve<1> const& curve, double x) {
  if (!std::isfinite(x)) return std::nullopt;
  std::optional<std::pair<double, index_t>> best;
  for (index_t edge = 0; edge < curve.nb_edges(); ++edge) {
    if (curve.is_edge_detached(edge)) continue;
    auto const first = curve.point(curve.edge_vertices(edge)[0]).value(0);
    auto const second = curve.point(curve.edge_vertices(edge)[1]).value(0);
    auto const lower = std::min(first, second);
    auto const upper = std::max(first, second);
    if (lower > x + GEOMETRIC_TOLERANCE || upper < x - GEOMETRIC_TOLERANCE) continue;
    if (!best || std::make_pair(lower, edge) < *best) best = std::make_pair(lower, edge);
  }
  if (!best) return std::nullopt;
  return best->second;
}

TEST(ElementSearch, AnswersNothingBeforeTheFirstRebuild) {
  Search const search;
  EXPECT_EQ(search.initial_containing_element(at(0.0)), std::nullopt);
  EXPECT_EQ(search.nb_rebuilds(), 0u);
}

TEST(ElementSearch, FindsTheEdgeContainingAPoint) {
  velk::EdgedCurve<1> curve;
  velk::EdgedCurveBuilder<1> builder{curve};
  velk::test::build_chain(builder, {0.0, 1.0, 2.0, 3.0});
  Search search;
  search.reinitialize_elements_tree(curve);
  EXPECT_EQ(search.nb_rebuilds(), 1u);

  EXPECT_EQ(search.initial_containing_element(at(0.5)), 0u);
  EXPECT_EQ(search.initial_containing_element(at(2.25)), 2u);
  EXPECT_EQ(search.initial_containing_element(at(1.0)), 0u);  // shared vertex: lower end first
  EXPECT_EQ(search.initial_containing_element(at(3.0)), 2u);
  EXPECT_EQ(search.initial_containing_element(at(-0.5 * GEOMETRIC_TOLERANCE)), 0u);
  EXPECT_EQ(search.initial_containing_element(at(3.0 + 0.5 * GEOMETRIC_TOLERANCE)), 2u);
  EXPECT_EQ(search.initial_containing_element(at(-1e-6)), std::nullopt);
  EXPECT_EQ(search.initial_containing_element(at(3.5)), std::nullopt);
  EXPECT_EQ(search.initial_containing_element(at(std::nan(""))), std::nullopt);
  EXPECT_EQ(search.initial_containing_element(at(HUGE_VAL)), std::nullopt);
  EXPECT_EQ(search.initial_containing_element(at(-HUGE_VAL)), std::nullopt);

  // Later edits are seen only after the next rebuild.
  builder.set_point(3, at(5.0));
  EXPECT_EQ(search.initial_containing_element(at(4.0)), std::nullopt);
  search.reinitialize_elements_tree(curve);
  EXPECT_EQ(search.initial_containing_element(at(4.0)), 2u);
}

TEST(ElementSearch, AnswersOverlappingIntervalsOfAClosedLoop) {
  velk::EdgedCurve<1> curve;
  velk::EdgedCurveBuilder<1> builder{curve};
  velk::test::build_chain(builder, {0.0, 1.0, 2.0});
  builder.create_edge(2, 0);  // edge 2 spans [0, 2], over both others
  Search search;
  search.reinitialize_elements_tree(curve);
  EXPECT_EQ(search.initial_containing_element(at(0.5)), 0u);
  EXPECT_EQ(search.initial_containing_element(at(1.5)), 2u);
  EXPECT_EQ(search.initial_containing_element(at(2.0)), 2u);
}

TEST(ElementSearch, IgnoresDetachedEdges) {
  velk::EdgedCurve<1> curve;
  velk::EdgedCurveBuilder<1> builder{curve};
  velk::test::build_chain(builder, {0.0, 1.0, 2.0, 3.0});
  builder.disconnect_edge(1);
  Search search;
  search.reinitialize_elements_tree(curve);
  EXPECT_EQ(search.initial_containing_element(at(1.5)), std::nullopt);
  EXPECT_EQ(search.initial_containing_element(at(1.0)), 0u);
  EXPECT_EQ(search.initial_containing_element(at(2.0)), 2u);
}

TEST(ElementSearch, AgreesWithABruteForceScanOnRandomCurves) {
  for (unsigned seed = 1; seed <= 20; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random{seed};
    std::uniform_real_distribution<double> position{-10.0, 10.0};
    velk::EdgedCurve<1> curve;
    velk::EdgedCurveBuilder<1> builder{curve};
    index_t const nb_vertices = 2 + seed * 7;
    for (index_t vertex = 0; vertex < nb_vertices; ++vertex)
      builder.create_point(at(position(random)));
    std::uniform_int_distribution<index_t> any_vertex{0, nb_vertices - 1};
    for (index_t edge = 0; edge < nb_vertices * 2; ++edge) {
      builder.create_edge(any_vertex(random), any_vertex(random));
      if (random() % 5 == 0) builder.disconnect_edge(edge);
    }
    Search search;
    search.reinitialize_elements_tree(curve);
    for (int query = 0; query < 300; ++query) {
      // Half the queries land near a vertex, inside or just outside the tolerance.
      auto x = position(random) * 1.2;
      if (query % 2 == 0) {
        x = curve.point(any_vertex(random)).value(0) +
            (query % 4 == 0 ? 0.5 : 1.5) * GEOMETRIC_TOLERANCE * (query % 3 == 0 ? -1 : 1);
      }
      ASSERT_EQ(search.initial_containing_element(at(x)), brute_force(curve, x)) << "x = " << x;
    }
  }
}

}  // namespace

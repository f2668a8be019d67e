#include <velk/background_line.hpp>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <numeric>
#include <optional>
#include <vector>

#include <gtest/gtest.h>

#include "support/model_fixtures.hpp"

namespace {

using velk::index_t;
using velk::MeshEdge;
using velk::MeshElement;
using velk::internal::BackgroundLine;
using velk::internal::BackgroundLineBuilder;
using velk::test::ChainBackground;
using Chain = std::optional<std::vector<index_t>>;

constexpr char const* TOO_MANY_STEPS =
    "[BackgroundSolid::macro_edge_path] Too many steps while propagating on macro edge.";

// The background vertex that records `macro_vertex`.
index_t background_vertex_of(BackgroundLine const& line, velk::MeshVertex const& macro_vertex) {
  for (index_t vertex = 0; vertex < line.line().nb_vertices(); ++vertex) {
    auto const& list = line.macro_vertices(vertex);
    if (std::find(list.begin(), list.end(), macro_vertex) != list.end()) return vertex;
  }
  ADD_FAILURE() << "no background vertex records input vertex " << macro_vertex.vertex_id;
  return velk::NO_ID;
}

std::vector<index_t> edges_from(index_t first, index_t count) {
  std::vector<index_t> edges(count);
  std::iota(edges.begin(), edges.end(), first);
  return edges;
}

std::vector<index_t> reversed(std::vector<index_t> edges) {
  std::reverse(edges.begin(), edges.end());
  return edges;
}

// Background vertices at 0..5; an input curve 0.5 - 2 - 4.5 inserted into it. The ends
// split background edges 0 and 4, the middle snaps onto background vertex 2, so input
// edge 0 runs along background edges 6, 1 and input edge 1 along 2, 3, 7.
struct InsertedCurve {
  InsertedCurve() {
    background.inserter.insert_curve(*input);
    start = background_vertex_of(background.line, {input->id(), 0});
    middle = background_vertex_of(background.line, {input->id(), 1});
    end = background_vertex_of(background.line, {input->id(), 2});
  }
  Chain path(index_t from, index_t to, index_t input_edge) const {
    return background.line.macro_edge_path({from, to}, MeshEdge{input->id(), input_edge});
  }
  ChainBackground background{5};
  std::unique_ptr<velk::EdgedCurve<1>> input = velk::test::chain_curve({0.5, 2.0, 4.5});
  index_t start{};
  index_t middle{};
  index_t end{};
};

TEST(MacroEdgePath, FollowsAnInsertedRunInBothDirectionsAndStopsWhereAsked) {
  InsertedCurve inserted;
  ASSERT_EQ(inserted.middle, 2u);
  EXPECT_EQ(inserted.path(inserted.start, inserted.middle, 0), (std::vector<index_t>{6, 1}));
  EXPECT_EQ(inserted.path(inserted.middle, inserted.start, 0), (std::vector<index_t>{1, 6}));
  EXPECT_EQ(inserted.path(inserted.middle, inserted.end, 1), (std::vector<index_t>{2, 3, 7}));
  EXPECT_EQ(inserted.path(inserted.end, inserted.middle, 1), (std::vector<index_t>{7, 3, 2}));
  // Vertices inside a run end the chain there; a neighbour gives one edge.
  EXPECT_EQ(inserted.path(inserted.middle, 4, 1), (std::vector<index_t>{2, 3}));
  EXPECT_EQ(inserted.path(inserted.end, 3, 1), (std::vector<index_t>{7, 3}));
  EXPECT_EQ(inserted.path(inserted.start, 1, 0), (std::vector<index_t>{6}));
}

TEST(MacroEdgePath, FindsNothingForEqualVerticesOrWithoutCarryingEdge) {
  InsertedCurve inserted;
  EXPECT_EQ(inserted.path(inserted.middle, inserted.middle, 0), std::nullopt);
  EXPECT_EQ(inserted.path(inserted.middle, inserted.middle, 1), std::nullopt);
  // Background vertex 0 is outside the input curve: none of its edges carries anything.
  EXPECT_EQ(inserted.path(0, inserted.start, 0), std::nullopt);
  EXPECT_EQ(inserted.path(inserted.start, inserted.middle, 2), std::nullopt);
  EXPECT_EQ(inserted.background.line.macro_edge_path({inserted.start, inserted.middle},
                                                     MeshEdge{velk::uuid{}, 0}),
            std::nullopt);
  auto const isolated = inserted.background.curve_builder.create_point(velk::Point<1>{{9.0}});
  EXPECT_EQ(inserted.path(isolated, inserted.middle, 0), std::nullopt);

  // On a ring every edge carries the macro edge, and a walk would come back to its start.
  velk::EdgedCurve<1> ring;
  velk::EdgedCurveBuilder<1> ring_builder{ring};
  velk::test::build_unit_chain(ring_builder, 2);
  ring_builder.create_edge(2, 0);
  BackgroundLine ring_line{ring};
  BackgroundLineBuilder ring_line_builder{ring_line};
  velk::uuid input;
  for (index_t edge = 0; edge < 3; ++edge) {
    ring_line_builder.add_macro_element_info(MeshElement{input, 0}, edge);
  }
  EXPECT_EQ(ring_line.macro_edge_path({0, 0}, MeshEdge{input, 0}), std::nullopt);
  EXPECT_EQ(ring_line.macro_edge_path({0, 2}, MeshEdge{input, 0}), (std::vector<index_t>{0, 1}));
}

TEST(MacroEdgePath, CountsOnlyElementsWithBothTheCurveAndTheEdgeIndex) {
  ChainBackground background{3};
  velk::uuid input;
  velk::uuid other;
  MeshEdge const wanted{input, 0};
  background.line_builder.add_macro_element_info(MeshElement{input, 0}, 0);
  background.line_builder.add_macro_element_info(MeshElement{input, 1}, 1);
  background.line_builder.add_macro_element_info(MeshElement{other, 0}, 1);
  background.line_builder.add_macro_element_info(MeshElement{input, 0}, 2);
  EXPECT_EQ(background.line.macro_edge_path({0, 3}, wanted), std::nullopt);
  EXPECT_EQ(background.line.macro_edge_path({1, 2}, wanted), std::nullopt);
  EXPECT_EQ(background.line.macro_edge_path({0, 1}, wanted), (std::vector<index_t>{0}));
  EXPECT_EQ(background.line.macro_edge_path({3, 2}, wanted), (std::vector<index_t>{2}));

  background.line_builder.add_macro_element_info(MeshElement{input, 0}, 1);
  EXPECT_EQ(background.line.macro_edge_path({0, 3}, wanted), (std::vector<index_t>{0, 1, 2}));
}

// Two ways from a vertex to a target, every edge carrying the macro edge. The way listed
// first around the branching vertex has the higher edge indices, so a walk that picked by
// index would take the other one.
TEST(MacroEdgePath, FirstListedEdgeWinsAtTheStartAndAtEachStep) {
  velk::uuid input;
  MeshElement const tag{input, 0};
  {
    // Start S=0 with ways S-X-T (edges 0, 2) and S-Y-T (edges 1, 3); 4 is left unused.
    velk::EdgedCurve<1> curve;
    velk::EdgedCurveBuilder<1> curve_builder{curve};
    for (double x : {0.0, 1.0, 2.0, 3.0, 4.0}) curve_builder.create_point(velk::Point<1>{{x}});
    curve_builder.create_edge(4, 1);
    curve_builder.create_edge(0, 2);
    curve_builder.set_edge_vertex({0, 0}, 0);
    curve_builder.create_edge(1, 3);
    curve_builder.create_edge(2, 3);
    BackgroundLine line{curve};
    BackgroundLineBuilder builder{line};
    for (index_t edge = 0; edge < 4; ++edge) builder.add_macro_element_info(tag, edge);
    ASSERT_EQ(curve.edges_around_vertex(0)[0].edge_id, 1u);
    EXPECT_EQ(line.macro_edge_path({0, 3}, MeshEdge{input, 0}), (std::vector<index_t>{1, 3}));
    EXPECT_EQ(line.macro_edge_path({3, 0}, MeshEdge{input, 0}), (std::vector<index_t>{2, 0}));
  }
  {
    // A-B (edge 0), then from B the ways B-C-T (edges 1, 3) and B-D-T (edges 2, 4), the
    // latter listed first around B; 5 is left unused.
    velk::EdgedCurve<1> curve;
    velk::EdgedCurveBuilder<1> curve_builder{curve};
    for (double x : {0.0, 1.0, 2.0, 3.0, 4.0, 5.0}) {
      curve_builder.create_point(velk::Point<1>{{x}});
    }
    curve_builder.create_edge(0, 1);
    curve_builder.create_edge(5, 2);
    curve_builder.create_edge(1, 3);
    curve_builder.set_edge_vertex({1, 0}, 1);
    curve_builder.create_edge(2, 4);
    curve_builder.create_edge(3, 4);
    BackgroundLine line{curve};
    BackgroundLineBuilder builder{line};
    for (index_t edge = 0; edge < 5; ++edge) builder.add_macro_element_info(tag, edge);
    ASSERT_EQ(curve.edges_around_vertex(1)[1].edge_id, 2u);
    EXPECT_EQ(line.macro_edge_path({0, 4}, MeshEdge{input, 0}), (std::vector<index_t>{0, 2, 4}));
  }
}

TEST(MacroEdgePath, ReturnsRunsOfUpTo1000EdgesAndThrowsBeyond) {
  ChainBackground exact{1000};
  auto const exact_input = velk::test::chain_curve({0.0, 1000.0});
  exact.inserter.insert_curve(*exact_input);
  MeshEdge const exact_edge{exact_input->id(), 0};
  EXPECT_EQ(exact.line.macro_edge_path({0, 1000}, exact_edge), edges_from(0, 1000));
  EXPECT_EQ(exact.line.macro_edge_path({1000, 0}, exact_edge), reversed(edges_from(0, 1000)));

  ChainBackground longer{1200};
  auto const longer_input = velk::test::chain_curve({0.0, 1200.0});
  longer.inserter.insert_curve(*longer_input);
  MeshEdge const longer_edge{longer_input->id(), 0};
  auto const information_before = velk::test::all_macro_elements(longer.line);
  EXPECT_EQ(longer.line.macro_edge_path({0, 1000}, longer_edge), edges_from(0, 1000));
  EXPECT_EQ(longer.line.macro_edge_path({1200, 200}, longer_edge), reversed(edges_from(200, 1000)));
  for (auto const& vertices : {std::array<index_t, 2>{0, 1001}, std::array<index_t, 2>{1001, 0},
                               std::array<index_t, 2>{0, 1200}}) {
    SCOPED_TRACE(testing::Message() << vertices[0] << " to " << vertices[1]);
    EXPECT_EQ(
        velk::test::thrown_message([&] { longer.line.macro_edge_path(vertices, longer_edge); }),
        TOO_MANY_STEPS);
  }
  EXPECT_EQ(longer.curve.nb_vertices(), 1201u);
  EXPECT_EQ(longer.curve.nb_edges(), 1200u);
  EXPECT_EQ(velk::test::all_macro_elements(longer.line), information_before);
}

// With the caller's limit, a chain far longer than the default limit comes back whole, and
// a limit one edge short of it still throws.
TEST(MacroEdgePath, CallersStepLimitReturnsChainsOfAnyLength) {
  ChainBackground chain{5000};
  auto const input = velk::test::chain_curve({0.0, 5000.0});
  chain.inserter.insert_curve(*input);
  MeshEdge const edge{input->id(), 0};
  auto const limit = chain.curve.nb_edges();
  EXPECT_EQ(chain.line.macro_edge_path({0, 5000}, edge, limit), edges_from(0, 5000));
  EXPECT_EQ(chain.line.macro_edge_path({5000, 0}, edge, limit), reversed(edges_from(0, 5000)));
  EXPECT_EQ(velk::test::thrown_message([&] {
              chain.line.macro_edge_path({0, 5000}, edge, 4999);
            }),
            TOO_MANY_STEPS);
  EXPECT_EQ(velk::test::thrown_message([&] {
              chain.line.macro_edge_path({0, 5000}, edge, 0);
            }),
            "[BackgroundLine::macro_edge_path] step limit 0 must be at least 1");
}

// The walk as documented, with every macro list scanned from its front: the reference the
// query's searches, which start near where the previous edge held the macro edge, must
// agree with.
Chain plain_walk(BackgroundLine const& line, std::array<index_t, 2> const& vertices,
                 MeshEdge const& macro_edge) {
  auto const& curve = line.line();
  auto const carries = [&](index_t edge) {
    auto const& list = line.macro_elements(edge);
    return std::find(list.begin(), list.end(), macro_edge) != list.end();
  };
  if (vertices[0] == vertices[1]) return std::nullopt;
  for (auto const& start : curve.edges_around_vertex(vertices[0])) {
    if (!carries(start.edge_id)) continue;
    std::vector<index_t> chain{start.edge_id};
    auto vertex = curve.edge_vertex(start.opposite());
    bool dead_end = false;
    while (vertex != vertices[1] && !dead_end) {
      dead_end = true;
      for (auto const& next : curve.edges_around_vertex(vertex)) {
        if (std::find(chain.begin(), chain.end(), next.edge_id) != chain.end()) continue;
        if (!carries(next.edge_id)) continue;
        chain.push_back(next.edge_id);
        vertex = curve.edge_vertex(next.opposite());
        dead_end = false;
        break;
      }
    }
    if (!dead_end) return chain;
  }
  return std::nullopt;
}

// Sixty curves of eight points scattered over 40 unit edges (a fixed generator; the seed
// is printed on failure): every background edge ends up carrying a hundred-odd input edges,
// entered in many orders, and every chain must match the plain walk, in both directions.
TEST(MacroEdgePath, AgreesWithAPlainWalkUnderHeavyOverlap) {
  std::uint64_t const seed = 20261209;
  SCOPED_TRACE(testing::Message() << "seed " << seed);
  std::uint64_t state = seed;
  auto const next_coordinate = [&state]() {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>(state >> 11U) / 9007199254740992.0 * 40.0;
  };
  ChainBackground background{40};
  std::vector<std::unique_ptr<velk::EdgedCurve<1>>> inputs;
  for (int c = 0; c < 60; ++c) {
    std::vector<double> points;
    for (int p = 0; p < 8; ++p) points.push_back(next_coordinate());
    inputs.push_back(velk::test::chain_curve(points));
    background.inserter.insert_curve(*inputs.back());
  }
  auto const& line = background.line;
  auto const limit = background.curve.nb_edges();
  std::size_t chains = 0;
  for (auto const& input : inputs) {
    for (index_t edge = 0; edge < input->nb_edges(); ++edge) {
      MeshEdge const macro_edge{input->id(), edge};
      auto const ends = input->edge_vertices(edge);
      std::array<index_t, 2> const vertices{background_vertex_of(line, {input->id(), ends[0]}),
                                            background_vertex_of(line, {input->id(), ends[1]})};
      auto const chain = line.macro_edge_path(vertices, macro_edge, limit);
      EXPECT_EQ(chain, plain_walk(line, vertices, macro_edge));
      EXPECT_EQ(line.macro_edge_path({vertices[1], vertices[0]}, macro_edge, limit),
                plain_walk(line, {vertices[1], vertices[0]}, macro_edge));
      chains += chain ? 1 : 0;
    }
  }
  EXPECT_EQ(chains, 60U * 7U);
}

// A walk that runs into the end of the run stops there without a chain, long before the
// step limit, and the next start edge is tried.
TEST(MacroEdgePath, DeadEndEndsTheWalkAndTheNextStartEdgeIsTried) {
  ChainBackground background{21};
  auto const input = velk::test::chain_curve({0.0, 20.0});
  background.inserter.insert_curve(*input);
  MeshEdge const macro_edge{input->id(), 0};
  // Around vertex 10 edge 9 is listed first: its walk runs 10 edges to the dead end at 0.
  ASSERT_EQ(background.curve.edges_around_vertex(10)[0].edge_id, 9u);
  EXPECT_EQ(background.line.macro_edge_path({10, 20}, macro_edge), edges_from(10, 10));
  // Vertex 21 is off the run: both walks end at a dead end.
  EXPECT_EQ(background.line.macro_edge_path({10, 21}, macro_edge), std::nullopt);

  InsertedCurve inserted;
  EXPECT_EQ(inserted.path(inserted.start, inserted.end, 0), std::nullopt);
}

TEST(MacroEdgePath, FollowsTheRenumberingOfCleanEdges) {
  InsertedCurve inserted;
  auto const first_before = inserted.path(inserted.start, inserted.middle, 0);
  auto const second_before = inserted.path(inserted.end, inserted.middle, 1);
  ASSERT_TRUE(first_before && second_before);
  auto const old_to_new = inserted.background.modifier.clean_edges();
  ASSERT_EQ(inserted.background.curve.nb_edges(), 7u);
  auto const renumbered = [&old_to_new](std::vector<index_t> edges) {
    for (auto& edge : edges) edge = old_to_new.at(edge);
    return edges;
  };
  EXPECT_EQ(inserted.path(inserted.start, inserted.middle, 0), renumbered(*first_before));
  EXPECT_EQ(inserted.path(inserted.end, inserted.middle, 1), renumbered(*second_before));
  EXPECT_EQ(inserted.path(inserted.end, inserted.middle, 1), (std::vector<index_t>{5, 2, 1}));
}

}  // namespace

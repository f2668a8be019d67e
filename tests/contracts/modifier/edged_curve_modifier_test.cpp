#include <modifier/edged_curve_modifier.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include <background_common/macro_info.hpp>
#include <background_common/macro_info_builder.hpp>
#include <basic/lumora_exception.hpp>

#include "support/chain_curve.hpp"
#include "support/macro_info_store.hpp"
#include "support/thrown_message.hpp"

namespace {

using velk::test::CurveStore;
using velk::test::StoreWriter;
using velk::test::thrown_message;

using velk::EdgeVertex;
using velk::index_t;
using velk::NO_ID;
using Around = absl::InlinedVector<EdgeVertex, 2>;
using Ends = std::array<index_t, 2>;
using Indices = std::vector<index_t>;

velk::Point<1> at(double x) { return velk::Point<1>{{x}}; }

// A chain (vertex i at positions[i], edge i from vertex i to i + 1) with its modifier.
struct EditedCurve {
  explicit EditedCurve(std::initializer_list<double> positions) {
    velk::test::build_chain(builder, positions);
  }
  double x(index_t vertex) const { return curve.point(vertex).value(0); }

  velk::EdgedCurve<1> curve;
  velk::EdgedCurveBuilder<1> builder{curve};
  velk::EdgedCurveModifier<1> modifier{curve, builder};
};

TEST(EdgedCurveModifier, RefusesTheBuilderOfAnotherCurve) {
  velk::EdgedCurve<1> curve;
  velk::EdgedCurve<1> other;
  velk::EdgedCurveBuilder<1> other_builder{other};
  EXPECT_EQ(thrown_message([&] {
              velk::EdgedCurveModifier<1>{curve, other_builder};
            }),
            "[EdgedCurveModifier::EdgedCurveModifier] the builder writes another curve than the "
            "one to modify");
}

TEST(EdgedCurveModifier, SplitCoversTheEdgeWithTwoNewEdgesAndDetachesIt) {
  EditedCurve edited{{0.0, 1.0}};
  auto const tags = edited.curve.edge_attribute_manager().find_or_create_attribute<int>("tag", 0);
  tags->set_value(0, 7);

  auto const info = edited.modifier.split_edge(0, at(0.25));
  EXPECT_EQ(info.split_edge, 0u);
  EXPECT_EQ(info.new_vertex, 2u);
  EXPECT_EQ(edited.x(2), 0.25);
  EXPECT_EQ(info.new_edges, (Ends{1, 2}));
  EXPECT_EQ(edited.curve.edge_vertices(1), (Ends{0, 2}));
  EXPECT_EQ(edited.curve.edge_vertices(2), (Ends{2, 1}));

  // The split edge is detached but still readable, attributes included.
  EXPECT_TRUE(edited.curve.is_edge_detached(0));
  EXPECT_EQ(edited.curve.edge_vertices(0), (Ends{0, 1}));
  EXPECT_EQ(edited.curve.segment(0).vertex(1).value(0), 1.0);
  EXPECT_EQ(tags->value(0), 7);
  EXPECT_EQ(edited.curve.edges_around_vertex(0), (Around{{1, 0}}));
  EXPECT_EQ(edited.curve.edges_around_vertex(1), (Around{{2, 1}}));
  EXPECT_EQ(edited.curve.edges_around_vertex(2), (Around{{1, 1}, {2, 0}}));

  // An edge running backwards is covered from its first vertex to its second as well.
  auto const backwards = edited.builder.create_edge(1, 0);
  auto const reversed = edited.modifier.split_edge(backwards, at(0.5));
  EXPECT_EQ(edited.curve.edge_vertices(reversed.new_edges[0]), (Ends{1, reversed.new_vertex}));
  EXPECT_EQ(edited.curve.edge_vertices(reversed.new_edges[1]), (Ends{reversed.new_vertex, 0}));
}

TEST(EdgedCurveModifier, SplitRefusesBadArgumentsAndChangesNothing) {
  EditedCurve edited{{0.0, 1.0}};
  edited.modifier.split_edge(0, at(0.25));
  auto const revision = edited.curve.revision();
  EXPECT_EQ(thrown_message([&] { edited.modifier.split_edge(0, at(0.5)); }),
            "[EdgedCurveModifier::split_edge] edge 0 is detached");
  EXPECT_EQ(thrown_message([&] { edited.modifier.split_edge(3, at(0.5)); }),
            "[EdgedCurveModifier::split_edge] edge index 3 is out of range (3 edges)");
  EXPECT_EQ(thrown_message([&] { edited.modifier.split_edge(1, at(std::nan(""))); }),
            "[EdgedCurveModifier::split_edge] point nan is not finite");
  EXPECT_EQ(thrown_message([&] { edited.modifier.split_edge(1, at(0.5)); }),
            "[EdgedCurveModifier::split_edge] point 0.5 is not on edge 1 [0, 0.25]");
  EXPECT_EQ(edited.curve.revision(), revision);
  EXPECT_EQ(edited.curve.nb_vertices(), 3u);
  EXPECT_EQ(edited.curve.nb_edges(), 3u);
}

TEST(EdgedCurveModifier, CollapseMergesTheSecondVertexIntoTheFirst) {
  EditedCurve edited{{0.0, 1.0, 2.0, 3.0}};
  auto const stamp = edited.modifier.clean_stamp();

  auto const info = edited.modifier.collapse_edge(1, at(1.5));
  EXPECT_EQ(info.vertex_mapping, (velk::MultiMapping<index_t>{1, {1, 2}}));
  EXPECT_EQ(info.collapsed_edge, 1u);
  EXPECT_TRUE(edited.curve.is_edge_detached(1));
  EXPECT_EQ(edited.x(1), 1.5);
  EXPECT_EQ(edited.curve.edge_vertices(2), (Ends{1, 3}));
  EXPECT_TRUE(edited.curve.edges_around_vertex(2).empty());
  EXPECT_EQ(edited.curve.edges_around_vertex(1), (Around{{0, 1}, {2, 0}}));
  EXPECT_EQ(edited.modifier.updated_vertex(2), 1u);

  // A chain of merges: 2 went into 1, then 1 into 0.
  edited.modifier.collapse_edge(0, at(1.0));
  EXPECT_EQ(edited.modifier.updated_vertex(2), 0u);
  EXPECT_EQ(edited.modifier.updated_vertex(1), 0u);
  EXPECT_EQ(edited.modifier.updated_vertex(3), 3u);
  EXPECT_EQ(edited.curve.edge_vertices(2), (Ends{0, 3}));

  EXPECT_EQ(edited.modifier.clean_vertices(), (Indices{0, NO_ID, NO_ID, 1}));
  EXPECT_NE(edited.modifier.clean_stamp(), stamp);
  EXPECT_EQ(edited.curve.nb_vertices(), 2u);
  EXPECT_EQ(edited.curve.edge_vertices(2), (Ends{0, 1}));
  EXPECT_EQ(edited.x(0), 1.0);
  EXPECT_EQ(edited.modifier.updated_vertex(1), 1u);  // merges are forgotten after renumbering

  EXPECT_EQ(thrown_message([&] { edited.modifier.collapse_edge(1, at(1.0)); }),
            "[EdgedCurveModifier::collapse_edge] edge 1 is detached");
  EXPECT_EQ(thrown_message([&] { edited.modifier.collapse_edge(2, at(HUGE_VAL)); }),
            "[EdgedCurveModifier::collapse_edge] point inf is not finite");
}

TEST(EdgedCurveModifier, MovePointMovesTheVertexOrRefuses) {
  EditedCurve edited{{0.0, 1.0}};
  edited.modifier.move_point(1, at(4.0));
  EXPECT_EQ(edited.x(1), 4.0);
  EXPECT_EQ(thrown_message([&] { edited.modifier.move_point(2, at(1.0)); }),
            "[EdgedCurveModifier::move_point] vertex index 2 is out of range (2 vertices)");
  EXPECT_EQ(thrown_message([&] { edited.modifier.move_point(0, at(-HUGE_VAL)); }),
            "[EdgedCurveModifier::move_point] point -inf is not finite");
  EXPECT_EQ(edited.x(0), 0.0);
}

TEST(EdgedCurveModifier, CleanRenumbersAndAttributesFollowTheirElements) {
  EditedCurve edited{{0.0, 1.0}};
  auto const tags = edited.curve.edge_attribute_manager().find_or_create_attribute<int>("tag", -1);
  CurveStore store{edited.curve};
  StoreWriter writer{store};
  velk::uuid const input;
  writer.add_macro_element_info({input, 5}, 0);
  writer.add_macro_vertex_info({input, 9}, 1);

  auto const stamp = edited.modifier.clean_stamp();
  EXPECT_EQ(edited.modifier.clean_edges(), (Indices{0}));
  EXPECT_EQ(edited.modifier.clean_vertices(), (Indices{0, 1}));
  EXPECT_EQ(edited.modifier.clean_stamp(), stamp);  // nothing removed

  // Split 0 into 1, 2; split 2 into 3, 4; collapse 1 (vertex 2 goes into vertex 0).
  auto const first = edited.modifier.split_edge(0, at(0.5));
  for (auto const edge : first.new_edges) writer.update_element({edge, 0});
  auto const second = edited.modifier.split_edge(2, at(0.75));
  for (auto const edge : second.new_edges) writer.update_element({edge, 2});
  writer.add_macro_element_info({input, 6}, 4);
  for (index_t edge = 0; edge < 5; ++edge) tags->set_value(edge, static_cast<int>(edge));
  edited.modifier.collapse_edge(1, at(0.5));

  EXPECT_EQ(edited.modifier.clean_edges(), (Indices{NO_ID, NO_ID, NO_ID, 0, 1}));
  auto const after_edges = edited.modifier.clean_stamp();
  EXPECT_NE(after_edges, stamp);
  EXPECT_EQ(edited.curve.nb_edges(), 2u);
  EXPECT_EQ(tags->value(0), 3);
  EXPECT_EQ(tags->value(1), 4);
  EXPECT_EQ(store.macro_elements(0), (std::vector<velk::MeshElement>{{input, 5}}));
  EXPECT_EQ(store.macro_elements(1), (std::vector<velk::MeshElement>{{input, 5}, {input, 6}}));

  EXPECT_EQ(edited.modifier.clean_vertices(), (Indices{0, 1, NO_ID, 2}));
  EXPECT_NE(edited.modifier.clean_stamp(), after_edges);
  EXPECT_EQ(edited.curve.edge_vertices(0), (Ends{0, 2}));
  EXPECT_EQ(edited.curve.edge_vertices(1), (Ends{2, 1}));
  EXPECT_EQ(edited.x(2), 0.75);
  EXPECT_EQ(store.macro_vertices(1), (std::vector<velk::MeshVertex>{{input, 9}}));
  EXPECT_EQ(edited.modifier.clean_edges(), (Indices{0, 1}));
}

// After random splits, collapses and moves (nested and overlapping intervals included), the
// edges met by a range are those a scan of every live edge finds, in (lower end, index) order.
TEST(EdgedCurveModifier, EdgesOverlappingAgreesWithAScan) {
  for (unsigned seed = 1; seed <= 30; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random{seed};
    std::uniform_real_distribution<double> unit{0.0, 1.0};
    EditedCurve edited{{0.0, 10.0, 4.0, 20.0, 15.0, 30.0}};
    auto const live = [&] {
      Indices edges;
      for (index_t edge = 0; edge < edited.curve.nb_edges(); ++edge) {
        if (!edited.curve.is_edge_detached(edge)) edges.push_back(edge);
      }
      return edges;
    };
    for (int step = 0; step < 40; ++step) {
      auto const edges = live();
      auto const edge = edges[random() % edges.size()];
      auto const ends = edited.curve.edge_vertices(edge);
      auto const a = edited.x(ends[0]);
      auto const b = edited.x(ends[1]);
      switch (random() % 4) {
        case 0:
        case 1:
          if (std::abs(b - a) > 1e-6)
            edited.modifier.split_edge(edge, at(a + (b - a) * unit(random)));
          break;
        case 2:
          if (edges.size() > 3) edited.modifier.collapse_edge(edge, at(a));
          break;
        default:
          edited.modifier.move_point(ends[random() % 2], at(30.0 * unit(random)));
      }
      for (int query = 0; query < 5; ++query) {
        auto low = 32.0 * unit(random) - 1.0;
        auto high = query == 0 ? low : 32.0 * unit(random) - 1.0;
        if (low > high) std::swap(low, high);
        std::vector<std::pair<double, index_t>> met;
        for (auto const candidate : live()) {
          auto const& vertices = edited.curve.edge_vertices(candidate);
          auto const first = std::min(edited.x(vertices[0]), edited.x(vertices[1]));
          auto const second = std::max(edited.x(vertices[0]), edited.x(vertices[1]));
          if (first <= high && second >= low) met.emplace_back(first, candidate);
        }
        std::sort(met.begin(), met.end());
        Indices expected;
        for (auto const& entry : met) expected.push_back(entry.second);
        EXPECT_EQ(edited.modifier.edges_overlapping(low, high), expected)
            << "[" << low << ", " << high << "] after step " << step;
      }
    }
    EXPECT_EQ(edited.modifier.edges_overlapping(2.0, 1.0), Indices{});
  }
}

}  // namespace

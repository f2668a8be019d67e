#include <velk/background_line.hpp>

#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "support/model_fixtures.hpp"

namespace {

using velk::index_t;
using velk::MeshElement;
using velk::MeshVertex;
using velk::MultiMapping;
using velk::internal::BackgroundLine;
using velk::internal::BackgroundLineBuilder;
using velk::test::all_macro_elements;
using SplitEdgeInfo = velk::GraphModifier::SplitEdgeInfo;
using CollapseEdgeInfo = velk::GraphModifier::CollapseEdgeInfo;
using Vertices = std::vector<MeshVertex>;
using Elements = std::vector<MeshElement>;

// A builder that records the vertex merges it is asked for, then does them.
class RecordingBuilder : public BackgroundLineBuilder {
 public:
  using BackgroundLineBuilder::BackgroundLineBuilder;
  void update_vertex(MultiMapping<index_t> const& mapping) override {
    merges.push_back(mapping);
    BackgroundLineBuilder::update_vertex(mapping);
  }
  std::vector<MultiMapping<index_t>> merges;
};

// A line over a chain of 10 edges where edge i carries input edge 100 + i, edge 2 also
// input edge 0, and vertex v carries input vertex v.
struct TaggedLine {
  TaggedLine() {
    velk::test::build_unit_chain(curve_builder, 10);
    for (index_t edge = 0; edge < 10; ++edge) {
      builder.add_macro_element_info(element(100 + edge), edge);
    }
    builder.add_macro_element_info(element(0), 2);
    for (index_t vertex = 0; vertex < 11; ++vertex) {
      builder.add_macro_vertex_info(vertex_of(vertex), vertex);
    }
  }
  MeshElement element(index_t index) const { return MeshElement{input, index}; }
  MeshVertex vertex_of(index_t index) const { return MeshVertex{input, index}; }
  // Every edge's list as built, with `edges` carrying edge 2's list instead.
  std::vector<Elements> expected_with_edge_2_on(std::vector<index_t> const& edges) const {
    std::vector<Elements> expected;
    for (index_t edge = 0; edge < 10; ++edge) expected.push_back({element(100 + edge)});
    expected[2].push_back(element(0));
    for (auto const edge : edges) expected[edge] = expected[2];
    return expected;
  }
  std::vector<Vertices> vertex_lists() const {
    std::vector<Vertices> lists;
    for (index_t vertex = 0; vertex < curve.nb_vertices(); ++vertex) {
      lists.push_back(line.macro_vertices(vertex));
    }
    return lists;
  }

  velk::uuid input;
  velk::EdgedCurve<1> curve;
  velk::EdgedCurveBuilder<1> curve_builder{curve};
  BackgroundLine line{curve};
  RecordingBuilder builder{line};
};

TEST(BackgroundLineBuilder, SplitGivesBothCoveringEdgesTheSplitEdgeListAndNothingElse) {
  TaggedLine tagged;
  auto const vertices_before = tagged.vertex_lists();
  tagged.builder.update_information(SplitEdgeInfo{{4, 9}, 2, 5});
  EXPECT_EQ(all_macro_elements(tagged.line), tagged.expected_with_edge_2_on({4, 9}));
  // The new vertex is given nothing, and no vertex merge is asked for.
  EXPECT_EQ(tagged.vertex_lists(), vertices_before);
  EXPECT_TRUE(tagged.builder.merges.empty());
}

TEST(BackgroundLineBuilder, SplitUpdatesTheFirstCoveringEdgeFirstAndKeepsItOnFailure) {
  TaggedLine first_fails;
  EXPECT_EQ(velk::test::thrown_message([&] {
              first_fails.builder.update_information(SplitEdgeInfo{{99, 4}, 2, 5});
            }),
            "[MacroInfoBuilder::update_element] edge index 99 is out of range (10 edges)");
  EXPECT_EQ(all_macro_elements(first_fails.line), first_fails.expected_with_edge_2_on({}));

  TaggedLine second_fails;
  EXPECT_EQ(velk::test::thrown_message([&] {
              second_fails.builder.update_information(SplitEdgeInfo{{4, 99}, 2, 5});
            }),
            "[MacroInfoBuilder::update_element] edge index 99 is out of range (10 edges)");
  EXPECT_EQ(all_macro_elements(second_fails.line), second_fails.expected_with_edge_2_on({4}));
}

// `update_element` is not virtual and a repeated identical update leaves the same state,
// so the number of calls for equal covering edges cannot be seen from outside; what can
// is that the edge receives the list and nothing else changes.
TEST(BackgroundLineBuilder, SplitWithEqualCoveringEdgesUpdatesThatEdge) {
  TaggedLine tagged;
  tagged.builder.update_information(SplitEdgeInfo{{4, 4}, 2, 5});
  EXPECT_EQ(all_macro_elements(tagged.line), tagged.expected_with_edge_2_on({4}));
}

TEST(BackgroundLineBuilder, CollapseMergesEveryListedVertexOnceIntoTheFirst) {
  TaggedLine tagged;
  // Repeats across the merged lists must not be repeated in the union.
  tagged.builder.add_macro_vertex_info(tagged.vertex_of(0), 3);
  tagged.builder.add_macro_vertex_info(tagged.vertex_of(6), 5);
  tagged.builder.add_macro_vertex_info(tagged.vertex_of(50), 6);
  auto const vertices_before = tagged.vertex_lists();
  CollapseEdgeInfo const info{{0, {0, 1, 2, 3, 4, 5, 6}}, 0};

  tagged.builder.update_information(info);
  ASSERT_EQ(tagged.builder.merges.size(), 1u);
  EXPECT_EQ(tagged.builder.merges[0], info.vertex_mapping);
  auto expected = vertices_before;
  expected[0] = {tagged.vertex_of(0), tagged.vertex_of(1), tagged.vertex_of(2),
                 tagged.vertex_of(3), tagged.vertex_of(4), tagged.vertex_of(5),
                 tagged.vertex_of(6), tagged.vertex_of(50)};
  EXPECT_EQ(tagged.vertex_lists(), expected);
  EXPECT_EQ(all_macro_elements(tagged.line), tagged.expected_with_edge_2_on({}));
}

TEST(BackgroundLineBuilder, MovedBuilderEditsTheSameLine) {
  TaggedLine tagged;
  BackgroundLineBuilder original{tagged.line};
  BackgroundLineBuilder moved{std::move(original)};
  moved.add_macro_element_info(tagged.element(1), 7);
  moved.add_macro_vertex_info(tagged.vertex_of(1), 7);
  moved.update_information(SplitEdgeInfo{{8, 9}, 7, 0});
  moved.update_information(CollapseEdgeInfo{{6, {6, 7}}, 6});

  auto expected = tagged.expected_with_edge_2_on({});
  expected[7].push_back(tagged.element(1));
  expected[8] = expected[7];
  expected[9] = expected[7];
  EXPECT_EQ(all_macro_elements(tagged.line), expected);
  EXPECT_EQ(tagged.line.macro_vertices(6),
            (Vertices{tagged.vertex_of(6), tagged.vertex_of(7), tagged.vertex_of(1)}));
}

}  // namespace

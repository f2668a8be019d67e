#include <velk/background_line/background_line_modifier.hpp>

#include <vector>

#include <gtest/gtest.h>

#include "support/background_fixture.hpp"

namespace {

using velk::index_t;
using velk::NO_ID;
using velk::test::at;
using velk::test::EditableBackground;
using velk::test::macro_tags;
using velk::test::MacroTags;

// The same chain edited by the plain generic modifier: the reference for every result.
struct GenericChain : velk::test::ChainWithBuilder {
  using ChainWithBuilder::ChainWithBuilder;
  velk::EdgedCurveModifier<1> modifier{curve, curve_builder};
};

MacroTags tag(velk::uuid const& input, index_t index) { return {{input.string(), index}}; }

std::vector<MacroTags> edge_lists(velk::internal::BackgroundLine const& line) {
  std::vector<MacroTags> lists;
  for (index_t edge = 0; edge < line.line().nb_edges(); ++edge) {
    lists.push_back(macro_tags(line.macro_elements(edge)));
  }
  return lists;
}

std::vector<MacroTags> vertex_lists(velk::internal::BackgroundLine const& line) {
  std::vector<MacroTags> lists;
  for (index_t vertex = 0; vertex < line.line().nb_vertices(); ++vertex) {
    lists.push_back(macro_tags(line.macro_vertices(vertex)));
  }
  return lists;
}

TEST(BackgroundLineModifier, SplitGivesBothNewEdgesEveryMacroEdgeOfTheSplitEdge) {
  EditableBackground edited{{0.0, 1.0, 2.0}};
  GenericChain generic{{0.0, 1.0, 2.0}};
  velk::uuid const well_a;
  velk::uuid const well_b;
  edited.line_builder.add_macro_element_info({well_a, 4}, 0);
  edited.line_builder.add_macro_element_info({well_b, 7}, 0);
  edited.line_builder.add_macro_element_info({well_b, 9}, 1);

  // Called as the inserter calls it: through the generic modifier's interface.
  velk::EdgedCurveModifier<1>& as_generic = edited.modifier;
  auto const info = as_generic.split_edge(0, at(0.25));
  auto const expected = generic.modifier.split_edge(0, at(0.25));
  EXPECT_EQ(info.new_edges, expected.new_edges);
  EXPECT_EQ(info.split_edge, expected.split_edge);
  EXPECT_EQ(info.new_vertex, expected.new_vertex);
  velk::test::expect_same_curve(edited.curve, generic.curve);

  MacroTags const carried{{well_a.string(), 4}, {well_b.string(), 7}};
  EXPECT_EQ(macro_tags(edited.line.macro_elements(info.new_edges[0])), carried);
  EXPECT_EQ(macro_tags(edited.line.macro_elements(info.new_edges[1])), carried);
  EXPECT_EQ(macro_tags(edited.line.macro_elements(1)), tag(well_b, 9));
  EXPECT_TRUE(edited.line.macro_vertices(info.new_vertex).empty());

  // A half split again hands the same list on.
  auto const again = edited.modifier.split_edge(info.new_edges[1], at(0.5));
  EXPECT_EQ(macro_tags(edited.line.macro_elements(again.new_edges[0])), carried);
  EXPECT_EQ(macro_tags(edited.line.macro_elements(again.new_edges[1])), carried);
}

TEST(BackgroundLineModifier, CollapseReturnsTheGenericResultAndUnitesMacroVertices) {
  EditableBackground edited{{0.0, 1.0, 2.0, 3.0}};
  GenericChain generic{{0.0, 1.0, 2.0, 3.0}};
  velk::uuid const well_a;
  velk::uuid const well_b;
  edited.line_builder.add_macro_vertex_info({well_a, 0}, 1);
  edited.line_builder.add_macro_vertex_info({well_b, 1}, 1);
  edited.line_builder.add_macro_vertex_info({well_b, 1}, 2);
  edited.line_builder.add_macro_vertex_info({well_a, 5}, 2);
  edited.line_builder.add_macro_element_info({well_a, 0}, 0);
  edited.line_builder.add_macro_element_info({well_b, 3}, 2);

  velk::EdgedCurveModifier<1>& as_generic = edited.modifier;
  auto const info = as_generic.collapse_edge(1, at(1.5));
  auto const expected = generic.modifier.collapse_edge(1, at(1.5));
  EXPECT_EQ(info.vertex_mapping.first, expected.vertex_mapping.first);
  EXPECT_EQ(std::vector<index_t>(info.vertex_mapping.second.begin(),
                                 info.vertex_mapping.second.end()),
            std::vector<index_t>(expected.vertex_mapping.second.begin(),
                                 expected.vertex_mapping.second.end()));
  EXPECT_EQ(info.collapsed_edge, expected.collapsed_edge);
  velk::test::expect_same_curve(edited.curve, generic.curve);
  EXPECT_EQ(edited.modifier.updated_vertex(2), generic.modifier.updated_vertex(2));

  // Its own entries first, then the absorbed vertex's new ones, without repeats.
  EXPECT_EQ(macro_tags(edited.line.macro_vertices(info.vertex_mapping.first)),
            (MacroTags{{well_a.string(), 0}, {well_b.string(), 1}, {well_a.string(), 5}}));
  EXPECT_EQ(macro_tags(edited.line.macro_elements(0)), tag(well_a, 0));
  EXPECT_EQ(macro_tags(edited.line.macro_elements(2)), tag(well_b, 3));
}

TEST(BackgroundLineModifier, CleanEdgesReturnsTheGenericRenumberingAndListsFollowIt) {
  EditableBackground edited{{0.0, 1.0, 2.0, 3.0}};
  GenericChain generic{{0.0, 1.0, 2.0, 3.0}};
  velk::uuid const well;
  for (index_t edge = 0; edge < 3; ++edge) {
    edited.line_builder.add_macro_element_info({well, 10 + edge}, edge);
  }

  // Nothing detached yet: the identity, and the stamp stays.
  auto const stamp = edited.modifier.clean_stamp();
  EXPECT_EQ(edited.modifier.clean_edges(), generic.modifier.clean_edges());
  EXPECT_EQ(edited.modifier.clean_stamp(), stamp);

  for (auto* modifier : {static_cast<velk::EdgedCurveModifier<1>*>(&edited.modifier),
                         &generic.modifier}) {
    modifier->split_edge(0, at(0.5));
    modifier->split_edge(2, at(2.5));
  }
  auto const before = edge_lists(edited.line);

  velk::GraphModifier& as_graph_modifier = edited.modifier;
  auto const old_to_new = as_graph_modifier.clean_edges();
  EXPECT_EQ(old_to_new, generic.modifier.clean_edges());
  EXPECT_NE(edited.modifier.clean_stamp(), stamp);
  EXPECT_EQ(edited.modifier.clean_stamp(), generic.modifier.clean_stamp());
  velk::test::expect_same_curve(edited.curve, generic.curve);
  ASSERT_EQ(old_to_new.size(), before.size());
  for (index_t old = 0; old < old_to_new.size(); ++old) {
    if (old_to_new[old] == NO_ID) continue;
    EXPECT_EQ(macro_tags(edited.line.macro_elements(old_to_new[old])), before[old])
        << "edge " << old;
  }
}

TEST(BackgroundLineModifier, MovePointAndCleanVerticesLeaveMacroInformationAlone) {
  EditableBackground edited{{0.0, 1.0, 2.0, 3.0}};
  GenericChain generic{{0.0, 1.0, 2.0, 3.0}};
  velk::uuid const well;
  for (index_t index = 0; index < 4; ++index) {
    edited.line_builder.add_macro_vertex_info({well, index}, index);
    if (index < 3) edited.line_builder.add_macro_element_info({well, index}, index);
  }
  // A collapse leaves vertex 2 detached for the vertex clean.
  edited.modifier.collapse_edge(1, at(1.5));
  generic.modifier.collapse_edge(1, at(1.5));
  auto const vertices_before = vertex_lists(edited.line);
  auto const edges_before = edge_lists(edited.line);

  edited.modifier.move_point(0, at(-0.5));
  generic.modifier.move_point(0, at(-0.5));
  velk::test::expect_same_curve(edited.curve, generic.curve);
  EXPECT_EQ(vertex_lists(edited.line), vertices_before);
  EXPECT_EQ(edge_lists(edited.line), edges_before);

  auto const old_to_new = edited.modifier.clean_vertices();
  EXPECT_EQ(old_to_new, generic.modifier.clean_vertices());
  EXPECT_EQ(old_to_new, (std::vector<index_t>{0, 1, NO_ID, 2}));
  velk::test::expect_same_curve(edited.curve, generic.curve);
  for (index_t old = 0; old < old_to_new.size(); ++old) {
    if (old_to_new[old] == NO_ID) continue;
    EXPECT_EQ(macro_tags(edited.line.macro_vertices(old_to_new[old])), vertices_before[old])
        << "vertex " << old;
  }
  EXPECT_EQ(edge_lists(edited.line), edges_before);
}

TEST(BackgroundLineModifier, DestroyingTheModifierLeavesItsBuilderUsable) {
  velk::test::ChainWithBuilder chain{{0.0, 1.0}};
  velk::internal::BackgroundLine line{chain.curve};
  velk::internal::BackgroundLineBuilder line_builder{line};
  velk::uuid const well;
  line_builder.add_macro_element_info({well, 3}, 0);
  {
    velk::internal::BackgroundLineModifier modifier{line, line_builder, chain.curve_builder};
    modifier.split_edge(0, at(0.5));
  }
  line_builder.add_macro_vertex_info({well, 1}, 2);
  line_builder.add_macro_element_info({well, 4}, 2);
  EXPECT_EQ(macro_tags(line.macro_vertices(2)), tag(well, 1));
  EXPECT_EQ(macro_tags(line.macro_elements(2)), (MacroTags{{well.string(), 3}, {well.string(), 4}}));

  velk::internal::BackgroundLineModifier next{line, line_builder, chain.curve_builder};
  auto const info = next.split_edge(1, at(0.25));
  EXPECT_EQ(macro_tags(line.macro_elements(info.new_edges[0])), tag(well, 3));
  EXPECT_EQ(macro_tags(line.macro_elements(info.new_edges[1])), tag(well, 3));
}

TEST(BackgroundLineModifier, RefusesACurveBuilderOfAnotherCurve) {
  velk::test::ChainWithBuilder chain{{0.0, 1.0}};
  velk::internal::BackgroundLine line{chain.curve};
  velk::internal::BackgroundLineBuilder line_builder{line};
  velk::test::ChainWithBuilder other{{0.0, 1.0}};
  EXPECT_EQ(velk::test::thrown_message([&] {
              velk::internal::BackgroundLineModifier modifier{line, line_builder,
                                                              other.curve_builder};
            }),
            "[EdgedCurveModifier::EdgedCurveModifier] the builder writes another curve than the "
            "one to modify");
}

}  // namespace

// The rules of `BackgroundLineInserter::remove_curve`, each with its exact outcome: what is
// merged back, what never is, the counts, an unknown curve, removal after a clean and after
// a clone. The property that removal inverts insertion is the differential test's.
#include <velk/background_line/background_line_inserter.hpp>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "reliability/curve_invariants.hpp"
#include "support/background_fixture.hpp"

namespace {

using velk::EdgedCurve;
using velk::EdgedCurveBuilder;
using velk::index_t;
using velk::MeshElement;
using velk::internal::ElementRemovalInfo;
using velk::test::at;

struct Background : velk::test::EditableBackground {
  using EditableBackground::EditableBackground;
  velk::internal::BackgroundLineInserter inserter{{line, modifier}, line_builder};

  // Input curve i: a chain through the points.
  EdgedCurve<1>& add_curve(std::vector<double> const& points) {
    inputs.push_back(std::make_unique<EdgedCurve<1>>());
    EdgedCurveBuilder<1> builder{*inputs.back()};
    velk::test::build_chain(builder, points);
    return *inputs.back();
  }
  index_t vertex_at(double x) const {
    for (index_t vertex = 0; vertex < curve.nb_vertices(); ++vertex) {
      if (curve.point(vertex).value(0) == x && !curve.edges_around_vertex(vertex).empty()) {
        return vertex;
      }
    }
    ADD_FAILURE() << "no vertex at " << x;
    return 0;
  }
  std::vector<std::unique_ptr<EdgedCurve<1>>> inputs;
};

// The points of a cleaned curve, in order, and the macro elements carried, in total.
std::vector<double> points_of(EdgedCurve<1> const& curve) {
  std::vector<double> xs;
  for (index_t vertex = 0; vertex < curve.nb_vertices(); ++vertex) {
    xs.push_back(curve.point(vertex).value(0));
  }
  std::sort(xs.begin(), xs.end());
  return xs;
}

std::size_t elements_carried(velk::internal::BackgroundLine const& line) {
  std::size_t count = 0;
  for (index_t edge = 0; edge < line.line().nb_edges(); ++edge) {
    count += line.macro_elements(edge).size();
  }
  return count;
}

ElementRemovalInfo counts(std::size_t vertices, std::size_t elements, std::size_t merged) {
  return ElementRemovalInfo{vertices, elements, merged};
}

struct Rule {
  std::string name;
  std::vector<double> background;
  std::vector<std::vector<double>> curves;
  // Inserts, edits; returns nothing. Curve 0 is removed afterwards.
  std::function<void(Background&)> before_removal;
  ElementRemovalInfo expected;
  std::vector<double> points_after_clean;
  std::size_t elements_left;  // macro elements still carried after the clean
};

void insert_all(Background& background) {
  for (auto const& input : background.inputs) background.inserter.insert_curve(*input);
}

TEST(BackgroundLineInserterRemoveCurve, FollowsEachRule) {
  std::vector<Rule> const rules{
      {"merges back the vertices only the removed curve made",
       {0, 4},
       {{1, 3}},
       insert_all,
       counts(2, 1, 2),
       {0, 4},
       0},
      {"never merges the vertices of the caller's background",
       {0, 2, 4},
       {{1, 3}},
       insert_all,
       counts(2, 2, 2),
       {0, 2, 4},
       0},
      {"never merges the vertex of the caller's own split",
       {0, 4},
       {{1, 3}},
       [](Background& background) {
         background.modifier.split_edge(0, at(2));
         insert_all(background);
       },
       counts(2, 2, 2),
       {0, 2, 4},
       0},
      {"keeps a vertex where another curve has a point; the other curve's edges stay",
       {0, 4},
       {{1, 3}, {1, 2}},
       insert_all,
       counts(2, 2, 1),
       {0, 1, 2, 4},
       1},
      {"merges a vertex another curve's edge passes over",
       {0, 4},
       {{1, 3}, {0.5, 3.5}},
       insert_all,
       counts(2, 1, 2),
       {0, 0.5, 3.5, 4},
       1},
      {"removes an element inserted twice twice",
       {0, 4},
       {{1, 3}},
       [](Background& background) {
         insert_all(background);
         insert_all(background);
       },
       counts(4, 2, 2),
       {0, 4},
       0},
      {"keeps a vertex whose two edges carry different macro elements",
       {0, 4},
       {{1, 3}},
       [](Background& background) {
         insert_all(background);
         // A caller's own record on the edge from 0 to 1 only.
         background.line_builder.add_macro_element_info(MeshElement{velk::uuid{}, 7},
                                                        background.curve.nb_edges() - 4);
       },
       counts(2, 1, 1),
       {0, 1, 4},
       1},
      {"keeps a vertex moved out of the span of its neighbours",
       {0, 4},
       {{1, 3}},
       [](Background& background) {
         insert_all(background);
         background.modifier.move_point(background.vertex_at(3), at(4.5));
       },
       counts(2, 1, 1),
       {0, 4, 4.5},
       0},
      {"keeps a vertex that absorbed a vertex of the caller's background",
       {0, 2, 4},
       {{1, 3}},
       [](Background& background) {
         insert_all(background);
         // The edge from the vertex at 1 (made by the insertion) to the caller's at 2,
         // collapsed onto its first vertex, which then stands for the caller's vertex too.
         auto const made = background.vertex_at(1);
         auto const callers = background.vertex_at(2);
         for (auto const& around : background.curve.edges_around_vertex(made)) {
           if (around.vertex_id == 0 &&
               background.curve.edge_vertex(around.opposite()) == callers) {
             background.modifier.collapse_edge(around.edge_id, at(2));
             return;
           }
         }
         ADD_FAILURE() << "no edge from 1 to 2";
       },
       counts(2, 1, 1),
       {0, 2, 4},
       0},
      {"after a clean, the same",
       {0, 4},
       {{1, 3}},
       [](Background& background) {
         insert_all(background);
         background.modifier.clean_edges();
         background.modifier.clean_vertices();
       },
       counts(2, 1, 2),
       {0, 4},
       0},
  };
  for (auto const& rule : rules) {
    SCOPED_TRACE(rule.name);
    Background background{rule.background};
    for (auto const& points : rule.curves) background.add_curve(points);
    rule.before_removal(background);
    auto const removed_id = background.inputs.front()->id();
    EXPECT_EQ(background.inserter.remove_curve(*background.inputs.front()), rule.expected);
    EXPECT_EQ(velk::reliability::curve_consistency(background.curve), "");
    background.modifier.clean_edges();
    background.modifier.clean_vertices();
    EXPECT_EQ(points_of(background.curve), rule.points_after_clean);
    EXPECT_EQ(elements_carried(background.line), rule.elements_left);
    for (index_t vertex = 0; vertex < background.curve.nb_vertices(); ++vertex) {
      for (auto const& macro_vertex : background.line.macro_vertices(vertex)) {
        EXPECT_NE(macro_vertex.mesh_id, removed_id);
      }
    }
    // Removing it again finds nothing.
    EXPECT_EQ(background.inserter.remove_curve(removed_id), ElementRemovalInfo{});
  }
}

TEST(BackgroundLineInserterRemoveCurve, UnknownCurveChangesNothingAndReportsZeros) {
  Background background{{0, 4}};
  background.inserter.insert_curve(background.add_curve({1, 3}));
  auto const before = velk::reliability::take_snapshot(background.line);
  EXPECT_EQ(background.inserter.remove_curve(EdgedCurve<1>{}), ElementRemovalInfo{});
  EXPECT_EQ(background.inserter.remove_curve(background.curve), ElementRemovalInfo{});
  EXPECT_TRUE(velk::reliability::same(before, velk::reliability::take_snapshot(background.line)));
}

TEST(BackgroundLineInserterRemoveCurve, WorksOnACloneAndLeavesTheOriginal) {
  Background background{{0, 4}};
  auto& input = background.add_curve({1, 3});
  background.inserter.insert_curve(input);
  auto const id = input.id();
  background.inputs.clear();  // the input curve is gone: removal goes by uuid
  auto cloned = background.line.clone();
  auto& copy = *std::get<0>(cloned);
  auto& copy_line = *std::get<1>(cloned);
  EdgedCurveBuilder<1> copy_curve_builder{copy};
  velk::internal::BackgroundLineBuilder copy_builder{copy_line};
  velk::internal::BackgroundLineModifier copy_modifier{copy_line, copy_builder, copy_curve_builder};
  velk::internal::BackgroundLineInserter copy_inserter{{copy_line, copy_modifier}, copy_builder};
  EXPECT_EQ(copy_inserter.remove_curve(id), counts(2, 1, 2));
  copy_modifier.clean_edges();
  copy_modifier.clean_vertices();
  EXPECT_EQ(points_of(copy), (std::vector<double>{0, 4}));
  EXPECT_EQ(points_of(background.curve), (std::vector<double>{0, 1, 3, 4}));
  EXPECT_EQ(elements_carried(background.line), 1u);
}

TEST(BackgroundLineInserterRemoveCurve, CleanAfterACloneRemovesTheVerticesMergedBefore) {
  Background background{{0, 4}};
  background.inserter.insert_curve(background.add_curve({1, 3}));
  EXPECT_EQ(background.inserter.remove_curve(*background.inputs.front()), counts(2, 1, 2));
  // The original's modifier detached the merged vertices; the clone's modifier never saw it.
  auto cloned = background.line.clone();
  auto& copy = *std::get<0>(cloned);
  EdgedCurveBuilder<1> copy_curve_builder{copy};
  velk::internal::BackgroundLineBuilder copy_builder{*std::get<1>(cloned)};
  velk::internal::BackgroundLineModifier copy_modifier{*std::get<1>(cloned), copy_builder,
                                                       copy_curve_builder};
  copy_modifier.clean_edges();
  copy_modifier.clean_vertices();
  EXPECT_EQ(points_of(copy), (std::vector<double>{0, 4}));
  // clone_line keeps the marks of the vertices insertions made: they belong to the curve.
  EXPECT_TRUE(background.line.clone_line()->vertex_attribute_manager().attribute_exists(
      velk::internal::BackgroundLine::INSERTED_VERTEX_ATTRIBUTE_NAME));
}

TEST(BackgroundLineModifierJoinEdges, RefusesWhatWouldLoseInformationOrShape) {
  Background background{{0, 1, 2, 3}};
  background.modifier.split_edge(0, at(0.5));  // vertex 4, edges 3 (0-4) and 4 (4-1)
  background.line_builder.add_macro_element_info(MeshElement{velk::uuid{}, 0}, 3);
  EXPECT_EQ(velk::test::thrown_message([&] { background.modifier.join_edges(4); }),
            "[BackgroundLineModifier::join_edges] edges 3 and 4 around vertex 4 carry different "
            "macro elements");
  background.line_builder.add_macro_vertex_info(velk::MeshVertex{velk::uuid{}, 0}, 1);
  EXPECT_EQ(velk::test::thrown_message([&] { background.modifier.join_edges(1); }),
            "[BackgroundLineModifier::join_edges] vertex 1 carries 1 macro vertices");
  EXPECT_EQ(velk::test::thrown_message([&] { background.modifier.join_edges(0); }),
            "[EdgedCurveModifier::join_edges] vertex 0 has 1 edge ends around it, not 2");
  EXPECT_EQ(background.modifier.containing_edge(at(2.5), velk::NO_ID), std::optional<index_t>{2});
  auto const info = background.modifier.join_edges(2);  // edges 1 (1-2) and 2 (2-3)
  EXPECT_EQ(std::tie(info.kept_edge, info.removed_edge, info.removed_vertex),
            std::make_tuple(index_t{1}, index_t{2}, index_t{2}));
  EXPECT_EQ(background.curve.edge_vertices(1), (std::array<index_t, 2>{1, 3}));
  EXPECT_TRUE(background.curve.is_edge_detached(2));
  // The modifier's position index follows: the point 2.5 now lies on edge 1.
  EXPECT_EQ(background.modifier.containing_edge(at(2.5), velk::NO_ID), std::optional<index_t>{1});
  // Two edges between the same two vertices would become a loop.
  background.curve_builder.create_edge(3, 1);
  EXPECT_EQ(velk::test::thrown_message([&] { background.modifier.join_edges(3); }),
            "[EdgedCurveModifier::join_edges] the two edges around vertex 3 both lead to vertex 1");
}

}  // namespace

// A background line over a test curve, with its builder and modifier, and readers that
// turn macro information and curve topology into values that print well in a failure.
//
//   velk::test::EditableBackground background{{0.0, 1.0, 3.0}};   // edges 0-1 and 1-2
//   background.modifier.split_edge(0, velk::test::at(0.5));
//   velk::test::macro_tags(background.line.macro_elements(1));    // {{uuid text, edge}}
#pragma once

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include <velk/background_line.hpp>

#include "support/chain_curve.hpp"
#include "support/thrown_message.hpp"

namespace velk::test {

inline Point<1> at(double x) { return Point<1>{{x}}; }

// A named curve with its kernel builder: vertex i at positions[i], edge i from vertex i
// to vertex i + 1.
struct ChainWithBuilder {
  explicit ChainWithBuilder(std::vector<double> const& positions,
                            std::string_view name = "chain") {
    BackgroundLineLibrary::initialize();
    curve_builder.set_name(name);
    build_chain(curve_builder, positions);
  }

  EdgedCurve<1> curve;
  EdgedCurveBuilder<1> curve_builder{curve};
};

// A background line over a chain, its macro-information builder and its modifier, torn
// down in the reverse order.
struct EditableBackground : ChainWithBuilder {
  using ChainWithBuilder::ChainWithBuilder;

  internal::BackgroundLine line{curve};
  internal::BackgroundLineBuilder line_builder{line};
  internal::BackgroundLineModifier modifier{line, line_builder, curve_builder};
};

// Macro records as (uuid text, index) pairs, in their stored order.
using MacroTags = std::vector<std::pair<std::string, index_t>>;

inline MacroTags macro_tags(std::vector<MeshElement> const& elements) {
  MacroTags tags;
  for (auto const& element : elements) tags.emplace_back(element.mesh_id.string(), element.element_id);
  return tags;
}

inline MacroTags macro_tags(std::vector<MeshVertex> const& vertices) {
  MacroTags tags;
  for (auto const& vertex : vertices) tags.emplace_back(vertex.mesh_id.string(), vertex.vertex_id);
  return tags;
}

inline std::pair<std::string, index_t> macro_tag(EdgedCurve<1> const& input, index_t index) {
  return {input.id().string(), index};
}

// Both curves hold the same vertices, points, edges, detached flags and lists around
// every vertex.
inline void expect_same_curve(EdgedCurve<1> const& actual, EdgedCurve<1> const& expected) {
  ASSERT_EQ(actual.nb_vertices(), expected.nb_vertices());
  ASSERT_EQ(actual.nb_edges(), expected.nb_edges());
  for (index_t vertex = 0; vertex < actual.nb_vertices(); ++vertex) {
    EXPECT_EQ(actual.point(vertex), expected.point(vertex)) << "vertex " << vertex;
    EXPECT_EQ(actual.edges_around_vertex(vertex), expected.edges_around_vertex(vertex))
        << "vertex " << vertex;
  }
  for (index_t edge = 0; edge < actual.nb_edges(); ++edge) {
    EXPECT_EQ(actual.edge_vertices(edge), expected.edge_vertices(edge)) << "edge " << edge;
    EXPECT_EQ(actual.is_edge_detached(edge), expected.is_edge_detached(edge)) << "edge " << edge;
  }
}

// Every live edge is listed around both its vertices, and every listed entry names a live
// edge that ends at that vertex.
inline void expect_consistent(EdgedCurve<1> const& curve) {
  auto const listed = [&curve](index_t vertex, EdgeVertex const& entry) {
    auto const& around = curve.edges_around_vertex(vertex);
    return std::find(around.begin(), around.end(), entry) != around.end();
  };
  for (index_t edge = 0; edge < curve.nb_edges(); ++edge) {
    if (curve.is_edge_detached(edge)) continue;
    auto const& vertices = curve.edge_vertices(edge);
    EXPECT_TRUE(listed(vertices[0], EdgeVertex{edge, 0})) << "edge " << edge;
    EXPECT_TRUE(listed(vertices[1], EdgeVertex{edge, 1})) << "edge " << edge;
  }
  for (index_t vertex = 0; vertex < curve.nb_vertices(); ++vertex) {
    for (auto const& entry : curve.edges_around_vertex(vertex)) {
      EXPECT_FALSE(curve.is_edge_detached(entry.edge_id)) << "vertex " << vertex;
      EXPECT_EQ(curve.edge_vertex(entry), vertex) << "edge " << entry.edge_id;
    }
  }
}

}  // namespace velk::test

// Backgrounds and curves for the model tests.
//
//   velk::test::ChainBackground background{5};         // vertices at 0..5, edge i from i to i+1
//   auto input = velk::test::chain_curve({0.5, 3.5});  // one input edge
//   background.inserter.insert_curve(*input);
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <velk/background_line.hpp>

#include "support/chain_curve.hpp"
#include "support/thrown_message.hpp"

namespace velk::test {

// Appends vertices at 0, 1, ..., `nb_edges` and edge i from vertex i to vertex i + 1.
inline void build_unit_chain(EdgedCurveBuilder<1>& builder, index_t nb_edges) {
  auto previous = builder.create_point(Point<1>{{0.0}});
  for (index_t edge = 0; edge < nb_edges; ++edge) {
    auto const next = builder.create_point(Point<1>{{static_cast<double>(edge + 1)}});
    builder.create_edge(previous, next);
    previous = next;
  }
}

// A curve with one vertex per coordinate, each joined to the next.
inline std::unique_ptr<EdgedCurve<1>> chain_curve(std::vector<double> const& coordinates) {
  auto curve = std::make_unique<EdgedCurve<1>>();
  EdgedCurveBuilder<1> builder{*curve};
  build_chain(builder, coordinates);
  return curve;
}

// A background line over a unit chain with everything an insertion needs. The macro
// attributes are created on the empty curve and grow with the chain.
struct ChainBackground {
  explicit ChainBackground(index_t nb_edges) { build_unit_chain(curve_builder, nb_edges); }

  EdgedCurve<1> curve;
  EdgedCurveBuilder<1> curve_builder{curve};
  internal::BackgroundLine line{curve};
  internal::BackgroundLineBuilder line_builder{line};
  internal::BackgroundLineModifier modifier{line, line_builder, curve_builder};
  internal::BackgroundLineInserter inserter{{line, modifier}, line_builder};
};

// The macro elements of every edge, to compare a line before and after an operation.
inline std::vector<std::vector<MeshElement>> all_macro_elements(
    internal::BackgroundLine const& line) {
  std::vector<std::vector<MeshElement>> result;
  for (index_t edge = 0; edge < line.line().nb_edges(); ++edge) {
    result.push_back(line.macro_elements(edge));
  }
  return result;
}

}  // namespace velk::test

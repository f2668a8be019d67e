// Builds small test curves: vertices at given coordinates joined in a chain.
//
//   velk::EdgedCurve<1> curve;
//   velk::EdgedCurveBuilder<1> builder{curve};
//   velk::test::build_chain(builder, {0.0, 1.0, 3.0});   // vertices 0..2, edges 0-1 and 1-2
#pragma once

#include <initializer_list>
#include <vector>

#include <geometry/point.hpp>
#include <mesh/edged_curve_builder.hpp>

namespace velk::test {

// Appends one vertex per coordinate, then one edge from each new vertex to the next.
template <typename Coordinates>
void build_chain_of(EdgedCurveBuilder<1>& builder, Coordinates const& coordinates) {
  index_t previous = NO_ID;
  for (auto const coordinate : coordinates) {
    auto const vertex = builder.create_point(Point<1>{{coordinate}});
    if (previous != NO_ID) builder.create_edge(previous, vertex);
    previous = vertex;
  }
}

inline void build_chain(EdgedCurveBuilder<1>& builder, std::initializer_list<double> coordinates) {
  build_chain_of(builder, coordinates);
}

inline void build_chain(EdgedCurveBuilder<1>& builder, std::vector<double> const& coordinates) {
  build_chain_of(builder, coordinates);
}

}  // namespace velk::test

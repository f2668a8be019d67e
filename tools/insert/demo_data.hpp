// The demo's embedded job: a background of six unit edges and three input curves that
// show snapping, splitting, overlapping curves and an input edge over several background
// edges.
//
//   velk::tool::JobInput input = velk::tool::demo_input();
#pragma once

#include "insert/input.hpp"

namespace velk::tool {

// Background "background": points 0 to 6, a chain of six edges. Then, in order:
// - "well-A" through 0.5, 2.000000001 and 4.5: 0.5 and 4.5 split background edges,
//   2.000000001 snaps onto the vertex at 2 (within the geometric tolerance);
// - "well-B" through 1.5, 3 and 5.5: 1.5 splits an edge that already carries well-A, so
//   both halves carry it; 3 snaps; its edges overlap well-A's;
// - "fault-C" through 6, 2.5 and 0.2, of which only edge 0 (6 to 2.5) is inserted (an
//   `insert` list): it runs against the axis over six background edges, splitting at 2.5
//   an edge that carries both wells.
JobInput demo_input();

}  // namespace velk::tool

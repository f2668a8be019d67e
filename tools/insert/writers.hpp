// The tool's outputs: the result as JSON, as VTK legacy polydata, as an SVG picture, and a
// readable text summary. Each reads the job's result one element at a time and writes to a
// stream; `OutputFiles` puts streams into files.
//
//   velk::tool::write_json(stream, job);
#pragma once

#include <ostream>

#include "insert/job.hpp"

namespace velk::tool {

// The background's vertices and edges with their macro information, each curve's
// insertion report and each inserted edge's path (schema in docs/format.md).
void write_json(std::ostream& out, Job const& job);

// VTK legacy ASCII polydata: points at (x, 0, 0), one line cell per background edge, cell
// data `macro_elements` and point data `macro_vertices` (the number of entries of each),
// and one cell-data array per inserted curve not removed again, named after it, with the
// number of entries of that curve (so that ParaView can colour the background by curve).
void write_vtk(std::ostream& out, Job const& job);

// An SVG picture: the background as an axis with its vertices, one lane per input curve
// with its edges over the background edges that carry them, a colour per curve and a
// legend. Labels and marks are thinned where they would overlap, and runs of edges
// narrower than a pixel are drawn as one mark, so that the picture stays legible (and its
// size bounded) from a handful to millions of edges.
void write_svg(std::ostream& out, Job const& job);

// Text for a terminal: per background vertex its coordinate, origin and input vertices;
// per background edge its interval and the input edges it carries; per inserted input edge
// its status and chain of background edges.
void write_summary(std::ostream& out, Job const& job);

}  // namespace velk::tool

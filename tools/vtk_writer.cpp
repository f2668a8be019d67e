#include "text.hpp"
#include "writers.hpp"

namespace velk::tool {
namespace {

// The VTK title line holds at most 256 characters.
constexpr std::size_t MAX_TITLE = 200;

}  // namespace

void write_vtk(std::ostream& out, JobInput const& input, JobResult const& result) {
  auto const nb_points = result.vertices.size();
  auto const nb_cells = result.edges.size();
  out << "# vtk DataFile Version 3.0\n"
      << single_line("velk-background-line result: background " + input.background.name, MAX_TITLE)
      << "\nASCII\nDATASET POLYDATA\n";
  out << "POINTS " << nb_points << " double\n";
  for (auto const& vertex : result.vertices) out << format_number(vertex.x) << " 0 0\n";
  out << "LINES " << nb_cells << ' ' << 3 * nb_cells << '\n';
  for (auto const& edge : result.edges) {
    out << "2 " << edge.vertices[0] << ' ' << edge.vertices[1] << '\n';
  }
  out << "CELL_DATA " << nb_cells << "\nSCALARS macro_elements int 1\nLOOKUP_TABLE default\n";
  for (auto const& edge : result.edges) out << edge.macro_elements.size() << '\n';
  out << "POINT_DATA " << nb_points << "\nSCALARS macro_vertices int 1\nLOOKUP_TABLE default\n";
  for (auto const& vertex : result.vertices) out << vertex.macro_vertices.size() << '\n';
}

}  // namespace velk::tool

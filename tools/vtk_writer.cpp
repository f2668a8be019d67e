#include "text.hpp"
#include "writers.hpp"

namespace velk::tool {
namespace {

// The VTK title line holds at most 256 characters.
constexpr std::size_t MAX_TITLE = 200;

}  // namespace

void write_vtk(std::ostream& out, Job const& job) {
  auto const nb_points = job.nb_vertices();
  auto const nb_cells = job.nb_edges();
  out << "# vtk DataFile Version 3.0\n"
      << single_line("velk-background-line result: background " + job.input().background.name,
                     MAX_TITLE)
      << "\nASCII\nDATASET POLYDATA\n";
  out << "POINTS " << nb_points << " double\n";
  for (index_t v = 0; v < nb_points; ++v) out << format_number(job.x(v)) << " 0 0\n";
  out << "LINES " << nb_cells << ' ' << 3 * std::size_t{nb_cells} << '\n';
  for (index_t e = 0; e < nb_cells; ++e) {
    auto const vertices = job.edge_vertices(e);
    out << "2 " << vertices[0] << ' ' << vertices[1] << '\n';
  }
  out << "CELL_DATA " << nb_cells << "\nSCALARS macro_elements int 1\nLOOKUP_TABLE default\n";
  for (index_t e = 0; e < nb_cells; ++e) out << job.nb_macro_elements(e) << '\n';
  out << "POINT_DATA " << nb_points << "\nSCALARS macro_vertices int 1\nLOOKUP_TABLE default\n";
  for (index_t v = 0; v < nb_points; ++v) out << job.nb_macro_vertices(v) << '\n';
}

}  // namespace velk::tool

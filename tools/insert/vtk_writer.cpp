#include <algorithm>
#include <cstdint>
#include <limits>

#include "common/text.hpp"
#include "insert/writers.hpp"

namespace velk::tool {
namespace {

// The VTK title line holds at most 256 characters.
constexpr std::size_t MAX_TITLE = 200;

// Counters of the per-curve arrays held at once: curves are counted in blocks of this many
// counters over all edges, one pass over the macro lists per block.
constexpr std::size_t COUNTER_BUDGET = std::size_t{1} << 24;

// The name of a data array, which the legacy format reads as one token: bytes outside
// printable ASCII, spaces, '%' and '"' are written as %XX, which VTK's reader decodes back.
std::string array_name(std::string const& name) {
  static constexpr char HEX[] = "0123456789ABCDEF";
  std::string result;
  for (char const character : name) {
    auto const byte = static_cast<unsigned char>(character);
    if (byte <= 0x20U || byte >= 0x7FU || character == '%' || character == '"') {
      result.push_back('%');
      result.push_back(HEX[byte >> 4U]);
      result.push_back(HEX[byte & 0xFU]);
    } else {
      result.push_back(character);
    }
  }
  // The counts of all curves already have this name.
  if (result == "macro_elements") result += "%20(curve)";
  return result;
}

// One cell-data array per inserted curve, named after it: how many times each background
// edge carries an edge of that curve. A removed curve carries nothing and gets no array.
void write_curve_arrays(std::ostream& out, Job const& job) {
  std::vector<std::size_t> curves;
  for (auto const c : job.inserted_curves()) {
    if (!job.removed(c)) curves.push_back(c);
  }
  auto const nb_cells = static_cast<std::size_t>(job.nb_edges());
  auto const block = std::max<std::size_t>(1, COUNTER_BUDGET / std::max<std::size_t>(1, nb_cells));
  constexpr auto NONE = std::numeric_limits<std::size_t>::max();
  std::vector<std::size_t> slot_of(job.input().curves.size(), NONE);
  std::vector<std::uint32_t> counts;
  for (std::size_t first = 0; first < curves.size(); first += block) {
    auto const last = std::min(curves.size(), first + block);
    for (auto i = first; i < last; ++i) slot_of[curves[i]] = i - first;
    counts.assign((last - first) * nb_cells, 0);
    for (index_t e = 0; e < job.nb_edges(); ++e) {
      job.for_each_macro_element(e, [&](MacroRef const& ref) {
        auto const slot = slot_of[ref.curve];
        if (slot != NONE) ++counts[slot * nb_cells + e];
      });
    }
    for (auto i = first; i < last; ++i) {
      out << "SCALARS " << array_name(job.input().curves[curves[i]].name)
          << " int 1\nLOOKUP_TABLE default\n";
      auto const* row = counts.data() + (i - first) * nb_cells;
      for (std::size_t e = 0; e < nb_cells; ++e) out << row[e] << '\n';
      slot_of[curves[i]] = NONE;
    }
  }
}

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
  write_curve_arrays(out, job);
  out << "POINT_DATA " << nb_points << "\nSCALARS macro_vertices int 1\nLOOKUP_TABLE default\n";
  for (index_t v = 0; v < nb_points; ++v) out << job.nb_macro_vertices(v) << '\n';
}

}  // namespace velk::tool

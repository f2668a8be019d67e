// The columnar answers of `BackgroundLine`: many macro lists at once in flat numpy arrays,
// wrapped by the package's `EdgeColumns` and `VertexColumns` (velk_background_line/_columns.py),
// which add `to_pandas()`.
#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <velk/background_line.hpp>

#include "arguments.hpp"
#include "line.hpp"

namespace velk_python {
namespace {

using velk::BackgroundLineSession;
using velk::index_t;

// The items asked for: every live edge (every vertex) for None, else the indices given.
std::vector<index_t> items_argument(py::handle values, char const* operation, char const* what) {
  std::vector<index_t> items;
  if (values.is_none()) return items;
  auto const array = indices_argument(values, operation, what);
  if (array.ndim() > 1) {
    value_error(operation,
                std::string{what} + " must be one-dimensional, got shape " + shape_text(array));
  }
  items.assign(array.data(), array.data() + array.size());
  return items;
}

struct EdgeTable {
  std::vector<index_t> edges;
  std::vector<double> starts;
  std::vector<double> ends;
  velk::MacroColumns carried;
};

// The interval of every edge in `table.edges` (start <= end).
void fill_intervals(BackgroundLineSession const& session, EdgeTable& table) {
  table.starts.resize(table.edges.size());
  table.ends.resize(table.edges.size());
  for (std::size_t item = 0; item < table.edges.size(); ++item) {
    auto const ends = session.edge(table.edges[item]);
    auto const first = session.point(ends[0]);
    auto const second = session.point(ends[1]);
    table.starts[item] = std::min(first, second);
    table.ends[item] = std::max(first, second);
  }
}

py::object edge_columns(EdgeTable&& table) {
  auto columns = py::module_::import("velk_background_line._columns").attr("EdgeColumns");
  return columns(owned_array(std::move(table.edges)), owned_array(std::move(table.starts)),
                 owned_array(std::move(table.ends)), owned_array(std::move(table.carried.offsets)),
                 owned_array(std::move(table.carried.curve)),
                 owned_array(std::move(table.carried.index)),
                 py::tuple(py::cast(table.carried.curves)));
}

}  // namespace

void register_line_columns(py::class_<Line>& line_class) {
  line_class
      .def(
          "overlapping_columns",
          [](Line const& line, double a, double b) {
            auto table = locked(line, [&](BackgroundLineSession& session) {
              auto found = session.overlapping_columns(a, b);
              return EdgeTable{std::move(found.edges), std::move(found.starts),
                               std::move(found.ends), std::move(found.carried)};
            });
            return edge_columns(std::move(table));
          },
          py::arg("a"), py::arg("b"), R"doc(
`overlapping(a, b)` in columns: the same edges in the same order, as numpy arrays.

Returns
-------
EdgeColumns
    ``edges`` (uint32), ``starts`` and ``ends`` (float64), and what each edge carries:
    entries ``offsets[i]:offsets[i + 1]`` of ``curve`` (an index into ``curves``, the curve
    names held once) and ``element`` (the input edge). ``to_pandas()`` gives one row per
    carried input edge.

Raises
------
ValueError
    When a bound is NaN or a > b.
)doc")
      .def(
          "macro_element_columns",
          [](Line const& line, py::object const& edges) {
            auto chosen = items_argument(edges, "macro_element_columns", "edges");
            auto const every = edges.is_none();
            auto table = locked(line, [&](BackgroundLineSession& session) {
              EdgeTable result;
              if (every) {
                result.edges.reserve(session.nb_edges());
                for (index_t edge = 0; edge < session.nb_edges(); ++edge) {
                  if (!session.is_edge_detached(edge)) result.edges.push_back(edge);
                }
              } else {
                result.edges = std::move(chosen);
              }
              result.carried = session.macro_element_columns(result.edges);
              fill_intervals(session, result);
              return result;
            });
            return edge_columns(std::move(table));
          },
          py::arg("edges") = py::none(), R"doc(
The input edges that many background edges carry, in columns.

Parameters
----------
edges : array_like of int, optional
    Background edge indices; None: every live edge (those a split replaced are left out).

Returns
-------
EdgeColumns
    As `overlapping_columns`, for the edges asked, in the order asked.

Raises
------
ValueError
    When an edge is out of range.
)doc")
      .def(
          "macro_vertex_columns",
          [](Line const& line, py::object const& vertices) {
            auto chosen = items_argument(vertices, "macro_vertex_columns", "vertices");
            auto const every = vertices.is_none();
            struct Table {
              std::vector<index_t> vertices;
              std::vector<double> coordinates;
              velk::MacroColumns carried;
            };
            auto table = locked(line, [&](BackgroundLineSession& session) {
              Table result;
              if (every) {
                result.vertices.resize(session.nb_vertices());
                for (index_t vertex = 0; vertex < session.nb_vertices(); ++vertex) {
                  result.vertices[vertex] = vertex;
                }
              } else {
                result.vertices = std::move(chosen);
              }
              result.carried = session.macro_vertex_columns(result.vertices);
              auto const points = session.points();
              result.coordinates.reserve(result.vertices.size());
              for (auto const vertex : result.vertices)
                result.coordinates.push_back(points[vertex]);
              return result;
            });
            auto columns =
                py::module_::import("velk_background_line._columns").attr("VertexColumns");
            return columns(owned_array(std::move(table.vertices)),
                           owned_array(std::move(table.coordinates)),
                           owned_array(std::move(table.carried.offsets)),
                           owned_array(std::move(table.carried.curve)),
                           owned_array(std::move(table.carried.index)),
                           py::tuple(py::cast(table.carried.curves)));
          },
          py::arg("vertices") = py::none(), R"doc(
The input vertices that many background vertices carry, in columns.

Parameters
----------
vertices : array_like of int, optional
    Background vertex indices; None: every vertex.

Returns
-------
VertexColumns
    ``vertices`` (uint32), ``coordinates`` (float64), and entries
    ``offsets[i]:offsets[i + 1]`` of ``curve`` (an index into ``curves``) and ``vertex``
    (the input vertex). ``to_pandas()`` gives one row per carried input vertex.

Raises
------
ValueError
    When a vertex is out of range.
)doc");
}

}  // namespace velk_python

// `BackgroundLine` over `velk::BackgroundLineSession`: numpy arrays in and out, the GIL
// released during every call into the library, one call at a time per object.
#include "line.hpp"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <tuple>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include <velk/background_line.hpp>

#include "arguments.hpp"
#include "log_bridge.hpp"

namespace velk_python {
namespace {

using velk::BackgroundLineSession;
using velk::index_t;

py::list named_list(std::vector<velk::CurveElement> const& elements) {
  py::list result;
  for (auto const& element : elements) {
    result.append(py::make_tuple(py::str(element.curve), element.index));
  }
  return result;
}

template <typename T>
py::array_t<T> array_of(std::vector<T> const& values) {
  py::array_t<T> array(static_cast<py::ssize_t>(values.size()));
  std::copy(values.begin(), values.end(), array.mutable_data());
  return array;
}

constexpr char const* CURVE_COLUMN_PREFIX = "curve:";

index_t live_edges(BackgroundLineSession& session) {
  index_t live = 0;
  for (index_t edge = 0; edge < session.nb_edges(); ++edge) {
    live += session.is_edge_detached(edge) ? 0 : 1;
  }
  return live;
}

py::array edge_array(std::vector<BackgroundLineSession::Edge>&& edges) {
  static_assert(sizeof(BackgroundLineSession::Edge) == 2 * sizeof(index_t));
  auto const nb_edges = static_cast<py::ssize_t>(edges.size());
  BackgroundLineSession::Edge const* data = nullptr;
  auto capsule = take_over(std::move(edges), data);
  // The pairs seen as an (m, 2) array of indices, over the same memory.
  return py::array_t<index_t>(
      {nb_edges, py::ssize_t{2}},
      {py::ssize_t{sizeof(BackgroundLineSession::Edge)}, py::ssize_t{sizeof(index_t)}},
      reinterpret_cast<index_t const*>(data), capsule);
}

py::array bool_array(std::vector<bool> const& flags) {
  py::array_t<bool> array(static_cast<py::ssize_t>(flags.size()));
  auto* data = array.mutable_data();
  for (std::size_t item = 0; item < flags.size(); ++item) data[item] = flags[item];
  return std::move(array);
}

// The array `read` makes from the session, read once per state of the line and read-only:
// a property read twice gives the same array, with no copy, until the line changes.
template <typename Read>
py::object cached(Line& line, CachedArray& cache, Read&& read) {
  if (cache.array && cache.version == line.version.load()) return cache.array;
  std::uint64_t version = 0;
  auto values = locked(line, [&](BackgroundLineSession& session) {
    version = line.version.load();
    return read(session);
  });
  py::array array;
  if constexpr (std::is_same_v<decltype(values), std::vector<bool>>) {
    array = bool_array(values);
  } else {
    array = std::move(values);
  }
  cache.array = read_only(std::move(array));
  cache.version = version;
  return cache.array;
}

std::unique_ptr<Line> make_line_from(py::object const& points, py::object const& edges,
                                     double tolerance, std::string name) {
  static constexpr char const* operation = "__init__";
  auto const values = points_argument(points, operation, "points");
  return make_line(std::vector<double>(values.data(), values.data() + values.size()),
                   edges_argument(edges, operation), tolerance, std::move(name));
}

// Looks for a pending signal every so many milliseconds of a long insertion, taking the GIL
// for that moment only: Python's own handler (KeyboardInterrupt for Ctrl-C) then runs, and
// its exception stops the insertion, which the session undoes.
void watch_signals(Line& line) {
  line.session->set_interrupt_check([&line] {
    if (!line.watch_signals || !python_running()) return;
    auto const now = std::chrono::steady_clock::now();
    if (now - line.last_signal_check < std::chrono::milliseconds{20}) return;
    line.last_signal_check = now;
    py::gil_scoped_acquire gil;
    if (PyErr_CheckSignals() != 0) throw Interrupted{};
  });
}

py::list status_list(std::vector<velk::InsertedEdge> const& report);

py::list insert(Line& line, std::string const& name, py::object const& points,
                py::object const& edges, py::object const& only) {
  static constexpr char const* operation = "insert";
  auto const values = points_argument(points, operation, "points");
  auto const pairs = edges_argument(edges, operation);
  std::vector<index_t> chosen;
  if (!only.is_none()) {
    auto const array = indices_argument(only, operation, "only");
    if (array.ndim() > 1)
      value_error(operation, "only must be one-dimensional, got shape " + shape_text(array));
    if (array.size() == 0)
      value_error(operation, "only is empty: leave it out to insert every edge");
    chosen.assign(array.data(), array.data() + array.size());
  }
  return status_list(insert_into(
      line, name, absl::MakeConstSpan(values.data(), static_cast<std::size_t>(values.size())),
      pairs, std::move(chosen)));
}

// One edge per row [starts[i], ends[i]]: the points are the starts, then the ends.
py::list insert_intervals(Line& line, std::string const& name, py::object const& starts,
                          py::object const& ends) {
  static constexpr char const* operation = "insert_intervals";
  auto const first = points_argument(starts, operation, "starts");
  auto const second = points_argument(ends, operation, "ends");
  if (first.size() != second.size()) {
    value_error(operation, "starts and ends differ in length (" + std::to_string(first.size()) +
                               " and " + std::to_string(second.size()) + ")");
  }
  auto const rows = static_cast<std::size_t>(first.size());
  if (rows == 0) value_error(operation, "no interval to insert");
  std::vector<double> points(first.data(), first.data() + rows);
  points.insert(points.end(), second.data(), second.data() + rows);
  std::vector<BackgroundLineSession::Edge> edges(rows);
  for (std::size_t row = 0; row < rows; ++row) {
    edges[row] = {static_cast<index_t>(row), static_cast<index_t>(rows + row)};
  }
  return status_list(insert_into(line, name, points, edges, {}));
}

py::list status_list(std::vector<velk::InsertedEdge> const& report) {
  py::str const inserted{"inserted"};
  py::str const stopped{"walk_stopped"};
  py::list result(report.size());
  for (std::size_t entry = 0; entry < report.size(); ++entry) {
    auto const status = report[entry].status;
    py::str text = status == velk::InsertedEdge::STATUS::inserted ? inserted
                   : status == velk::InsertedEdge::STATUS::walk_stopped
                       ? stopped
                       : py::str{std::string{BackgroundLineSession::status_name(status)}};
    PyList_SET_ITEM(result.ptr(), static_cast<py::ssize_t>(entry), text.release().ptr());
  }
  return result;
}

py::object to_meshio(Line const& line) {
  auto meshio = py::module_::import("meshio");
  struct Snapshot {
    std::vector<double> points;
    std::vector<std::int64_t> cells;
    std::vector<std::int64_t> background_edge;
    std::vector<std::string> names;
    std::vector<std::vector<std::int64_t>> carried;  // per curve, per cell
  };
  auto const snapshot = locked(line, [](BackgroundLineSession& session) {
    Snapshot data;
    data.points = session.points();
    data.names = session.curve_names();
    std::unordered_map<std::string, std::size_t> slot_of;
    for (std::size_t slot = 0; slot < data.names.size(); ++slot) slot_of[data.names[slot]] = slot;
    data.carried.resize(data.names.size());
    for (index_t edge = 0; edge < session.nb_edges(); ++edge) {
      if (session.is_edge_detached(edge)) continue;
      auto const ends = session.edge(edge);
      data.cells.push_back(ends[0]);
      data.cells.push_back(ends[1]);
      data.background_edge.push_back(edge);
      for (auto& column : data.carried) column.push_back(-1);
      for (auto const& element : session.macro_elements(edge)) {
        auto& value = data.carried[slot_of.at(element.curve)].back();
        if (value < 0) value = element.index;
      }
    }
    return data;
  });
  auto const nb_points = static_cast<py::ssize_t>(snapshot.points.size());
  py::array_t<double> points({nb_points, py::ssize_t{3}});
  auto writer = points.mutable_unchecked<2>();
  for (py::ssize_t vertex = 0; vertex < nb_points; ++vertex) {
    writer(vertex, 0) = snapshot.points[vertex];
    writer(vertex, 1) = 0.0;
    writer(vertex, 2) = 0.0;
  }
  auto cells = array_of(snapshot.cells);
  cells.resize({static_cast<py::ssize_t>(snapshot.cells.size() / 2), py::ssize_t{2}});
  // meshio wants one array per cell block, in a list.
  auto const block = [](py::object array) {
    py::list arrays;
    arrays.append(std::move(array));
    return arrays;
  };
  py::dict cell_data;
  cell_data["background_edge"] = block(array_of(snapshot.background_edge));
  // Curve columns carry a prefix: a curve may be named like a column of the line's own.
  for (std::size_t slot = 0; slot < snapshot.names.size(); ++slot) {
    cell_data[py::str(std::string{CURVE_COLUMN_PREFIX} + snapshot.names[slot])] =
        block(array_of(snapshot.carried[slot]));
  }
  py::list cell_blocks;
  cell_blocks.append(py::make_tuple("line", cells));
  return meshio.attr("Mesh")(points, cell_blocks, py::arg("cell_data") = cell_data);
}

}  // namespace

void register_line(py::module_& module) {
  py::class_<Line> line_class(module, "BackgroundLine", R"doc(
A background line and every curve inserted into it, known by name.

Parameters
----------
points : array_like of float, shape (n,)
    The background's vertex coordinates.
edges : array_like of int, shape (m, 2), optional
    The background's edges as pairs of vertex indices. None (or empty): a chain through the
    points in order.
tolerance : float, optional
    Snapping tolerance in the units of the points (default 1e-8). Coordinates are scaled by
    the power of two that brings it nearest to the library's tolerance; the scaling is exact
    and every coordinate returned is given back in your units.
name : str, optional
    Name of the background curve (default "background").

Raises
------
ValueError
    For a point that is not finite, a badly shaped array, an edge index out of range or from
    a vertex to itself, a tolerance that is not positive and finite, or a coordinate that
    would overflow or lose digits once scaled.

Notes
-----
Calls run with the GIL released; calls on one object from several threads run one at a time.
The library's log lines go to the logger "velk_background_line" (progress at INFO, the
placement trace at DEBUG). Ctrl-C stops a long insert within a fraction of a second: it
raises KeyboardInterrupt and leaves the line as it was before the call.

A line is a Python object like others: ``copy.copy``, ``copy.deepcopy`` and ``pickle`` give
an equal line (they replay its insertions, removals and cleans); ``==`` compares the
background's points and edges, the curves' names and every macro list; ``len()`` counts the
live edges.
)doc");
  line_class
      .def(py::init(&make_line_from), py::arg("points"), py::arg("edges") = py::none(),
           py::arg("tolerance") = velk::GEOMETRIC_TOLERANCE, py::arg("name") = "background")
      .def("insert", &insert, py::arg("name"), py::arg("points"), py::arg("edges") = py::none(),
           py::arg("only") = py::none(), R"doc(
Insert the input curve `name` into the background.

Parameters
----------
name : str
    A name no other curve of this line has; the answers refer to the curve by it.
points : array_like of float, shape (k,)
    The curve's vertex coordinates.
edges : array_like of int, shape (l, 2), optional
    The curve's edges; None (or empty): a chain through the points in order.
only : sequence of int, optional
    The edges to insert, in this order (once per occurrence); None: every edge in order.

Returns
-------
list of str
    One status per inserted edge, in insertion order: "inserted", or "walk_stopped" when its
    two placed vertices could not be joined along the background.

Raises
------
ValueError
    For a bad argument (see the class), an empty or taken name, or an entry of `only` out
    of range. Nothing is inserted.
Error
    When a point lies on no background edge (nothing is inserted), or when the library fails.
MemoryError
    When memory runs out.

A failed insert, whatever it raises, leaves the line as it was before the call (points,
edges, macro information, curve names) and the name free.
)doc")
      .def("insert_intervals", &insert_intervals, py::arg("name"), py::arg("starts"),
           py::arg("ends"), R"doc(
Insert the intervals [starts[i], ends[i]] as the curve `name`, each row an edge of its own.

Parameters
----------
name : str
    A name no other curve of this line has.
starts, ends : array_like of float, shape (k,)
    The rows' two ends (a row may run either way; a row of length zero is an edge whose two
    ends land on one background vertex). Input vertex i is starts[i], k + i is ends[i].

Returns
-------
list of str
    One status per row, as for `insert`.

Raises
------
ValueError
    For arrays of different lengths, no row, or a bad value (as for `insert`).
Error
    When a row lies off the background. Nothing is inserted.
)doc")
      .def(
          "remove",
          [](Line& line, std::string const& name) {
            auto const report = remove_from(line, name);
            py::dict counts;
            counts["macro_vertices_removed"] = report.macro_vertices_removed;
            counts["macro_elements_removed"] = report.macro_elements_removed;
            counts["vertices_merged"] = report.vertices_merged;
            return counts;
          },
          py::arg("name"), R"doc(
Take the curve `name` out of the background again.

Every macro vertex and element that names the curve goes, and the background vertices that
its insertion alone needed are merged back (their two edges joined). The name is free again.

Parameters
----------
name : str
    The name of an inserted curve.

Returns
-------
dict
    ``macro_vertices_removed``, ``macro_elements_removed`` and ``vertices_merged`` (int).

Raises
------
ValueError
    For an unknown name. Nothing changes.
)doc")
      .def(
          "clean", [](Line& line) { clean_line(line); },
          R"doc(
Remove the background edges that insertions split and renumber the edges.

Indices read before (edges, paths, overlapping) no longer hold afterwards.
)doc")
      .def_property_readonly(
          "points",
          [](Line& line) {
            return cached(line, line.points_cache, [](BackgroundLineSession& session) {
              return py::array{owned_array(session.points())};
            });
          },
          "numpy.ndarray of float64, shape (n,): the background's vertex coordinates. Read-only, "
          "and read once per state: the same array until the line changes.")
      .def_property_readonly(
          "edges",
          [](Line& line) {
            return cached(line, line.edges_cache, [](BackgroundLineSession& session) {
              return edge_array(session.edges());
            });
          },
          "numpy.ndarray of uint32, shape (m, 2): every background edge's two vertices, edges "
          "split and not yet cleaned included. Read-only, read once per state.")
      .def_property_readonly(
          "detached",
          [](Line& line) {
            return cached(line, line.detached_cache, [](BackgroundLineSession& session) {
              std::vector<bool> flags(session.nb_edges());
              for (index_t edge = 0; edge < flags.size(); ++edge) {
                flags[edge] = session.is_edge_detached(edge);
              }
              return flags;
            });
          },
          "numpy.ndarray of bool, shape (m,): True for the edges that a split replaced "
          "(clean() removes them). Read-only, read once per state.")
      .def_property_readonly(
          "name", [](Line const& line) { return line.session->name(); },
          "str: the background curve's name.")
      .def_property_readonly(
          "tolerance", [](Line const& line) { return line.session->tolerance(); },
          "float: the snapping tolerance applied, in the points' units (within a factor "
          "sqrt(2) of the one asked).")
      .def_property_readonly(
          "scale_exponent", [](Line const& line) { return line.session->scale_exponent(); },
          "int: coordinates are multiplied by 2**scale_exponent inside the library.")
      .def_property_readonly(
          "curves",
          [](Line const& line) {
            return locked(line,
                          [](BackgroundLineSession& session) { return session.curve_names(); });
          },
          "list of str: the names of the inserted curves, in insertion order.")
      .def(
          "macro_vertices",
          [](Line const& line, std::int64_t vertex) {
            auto const index = index_argument(vertex, "macro_vertices", "background vertex");
            return named_list(locked(line, [&](BackgroundLineSession& session) {
              return session.macro_vertices(index);
            }));
          },
          py::arg("vertex"), R"doc(
The input vertices a background vertex carries.

Parameters
----------
vertex : int
    A background vertex index.

Returns
-------
list of (str, int)
    (curve name, input vertex index) pairs in the order recorded.

Raises
------
ValueError
    When `vertex` is out of range.
)doc")
      .def(
          "macro_elements",
          [](Line const& line, std::int64_t edge) {
            auto const index = index_argument(edge, "macro_elements", "background edge");
            return named_list(locked(line, [&](BackgroundLineSession& session) {
              return session.macro_elements(index);
            }));
          },
          py::arg("edge"), R"doc(
The input edges a background edge carries.

Parameters
----------
edge : int
    A background edge index.

Returns
-------
list of (str, int)
    (curve name, input edge index) pairs in the order recorded.

Raises
------
ValueError
    When `edge` is out of range.
)doc")
      .def(
          "vertex_of",
          [](Line const& line, std::string const& name, std::int64_t vertex) {
            auto const index = index_argument(vertex, "vertex_of", "vertex");
            return locked(line, [&](BackgroundLineSession& session) {
              return session.vertex_of(name, index);
            });
          },
          py::arg("name"), py::arg("vertex"), R"doc(
The background vertex that carries an input vertex.

Parameters
----------
name : str
    The curve's name.
vertex : int
    The input vertex index.

Returns
-------
int or None
    The background vertex (the lowest index if several carry it); None when the vertex was
    not inserted.

Raises
------
ValueError
    For an unknown name or a vertex out of range.
)doc")
      .def(
          "path",
          [](Line const& line, std::string const& name, std::int64_t edge) -> py::object {
            auto const index = index_argument(edge, "path", "edge");
            auto const chain = locked(
                line, [&](BackgroundLineSession& session) { return session.path(name, index); });
            if (!chain) return py::none();
            return array_of(*chain);
          },
          py::arg("name"), py::arg("edge"), R"doc(
The chain of background edges that carries an input edge, in order, whatever its length.

Parameters
----------
name : str
    The curve's name.
edge : int
    The input edge index.

Returns
-------
numpy.ndarray of uint32 or None
    The background edges from the input edge's first vertex to its second (empty when both
    ends landed on one vertex); None when the edge was not inserted or its walk stopped.

Raises
------
ValueError
    For an unknown name or an edge out of range.
Error
    When the library's path query fails.
)doc")
      .def(
          "overlapping",
          [](Line const& line, double a, double b) {
            auto const pieces = locked(
                line, [&](BackgroundLineSession& session) { return session.overlapping(a, b); });
            py::list result;
            for (auto const& piece : pieces) {
              result.append(
                  py::make_tuple(piece.edge, piece.start, piece.end, named_list(piece.carried)));
            }
            return result;
          },
          py::arg("a"), py::arg("b"), R"doc(
The background edges that overlap [a, b], in axis order.

Parameters
----------
a, b : float
    The interval, a <= b; infinite bounds are allowed. Edges that only touch it at an end
    are left out; when a == b, the edges that contain the point are returned.

Returns
-------
list of (int, float, float, list of (str, int))
    (edge, start, end, carried) per edge: its index, its interval (start <= end) and the
    (curve name, input edge) pairs it carries.

Raises
------
ValueError
    When a bound is NaN or a > b.
)doc")
      .def("to_meshio", &to_meshio, R"doc(
The background as a meshio.Mesh.

Returns
-------
meshio.Mesh
    Points of shape (n, 3) (the coordinate in the first column), one "line" cell block with
    the live edges (edges replaced by splits are left out), and cell data:
    "background_edge" (each cell's edge index) and, per curve, "curve:<name>": the first
    input edge of that curve the cell carries (-1 when none): one int64 column per curve, so memory grows with
    curves times edges.

Raises
------
ImportError
    When meshio is not installed.
)doc")
      .def(
          "__len__", [](Line const& line) { return locked(line, live_edges); },
          "The number of live background edges (those a split replaced are not counted).")
      .def("__repr__", [](Line const& line) {
        return locked(line, [](BackgroundLineSession& session) {
          auto const nb_curves = session.curve_names().size();
          auto const live = live_edges(session);
          auto text = "<velk_background_line.BackgroundLine '" + session.name() +
                      "': " + std::to_string(session.nb_vertices()) + " vertices, " +
                      std::to_string(live) + " live edges, ";
          if (live < session.nb_edges()) {
            text += std::to_string(session.nb_edges() - live) + " split (clean() removes them), ";
          }
          return text + std::to_string(nb_curves) + (nb_curves == 1 ? " curve>" : " curves>");
        });
      });
  register_line_columns(line_class);
  register_line_copy(line_class);
}

std::vector<velk::InsertedEdge> insert_into(Line& line, std::string const& name,
                                            absl::Span<double const> points,
                                            std::vector<BackgroundLineSession::Edge> const& edges,
                                            std::vector<index_t> only) {
  auto const threading = py::module_::import("threading");
  bool const main_thread = threading.attr("current_thread")().is(threading.attr("main_thread")());
  return locked(line, [&](BackgroundLineSession& session) {
    // Room for the step first: once the insertion succeeded, recording it cannot fail.
    line.steps.reserve(line.steps.size() + 1);
    line.watch_signals = main_thread;
    line.last_signal_check = std::chrono::steady_clock::now();
    auto result = session.insert(name, points, edges, only);
    line.steps.emplace_back(Step::KIND::insert, name, std::move(only));
    ++line.version;
    return result;
  });
}

velk::internal::ElementRemovalInfo remove_from(Line& line, std::string const& name) {
  return locked(line, [&](BackgroundLineSession& session) {
    // The curve's points and edges stay with the step that inserted it, for copies.
    Step* inserted = nullptr;
    for (auto step = line.steps.rbegin(); step != line.steps.rend(); ++step) {
      if (step->kind == Step::KIND::insert && !step->kept && step->name == name) {
        inserted = &*step;
        break;
      }
    }
    std::vector<double> points;
    std::vector<BackgroundLineSession::Edge> edges;
    if (inserted != nullptr && session.has_curve(name)) {
      std::tie(points, edges) = curve_arrays(session, name);
    }
    // Reserving may move the steps: `inserted` is found again by its position.
    auto const position = inserted == nullptr ? 0 : inserted - line.steps.data();
    line.steps.reserve(line.steps.size() + 1);
    auto result = session.remove(name);
    if (inserted != nullptr) {
      auto& step = line.steps[static_cast<std::size_t>(position)];
      step.points = std::move(points);
      step.edges = std::move(edges);
      step.kept = true;
    }
    line.steps.emplace_back(Step::KIND::remove, name);
    ++line.version;
    return result;
  });
}

void clean_line(Line& line) {
  locked(line, [&line](BackgroundLineSession& session) {
    line.steps.reserve(line.steps.size() + 1);
    session.clean();
    line.steps.emplace_back(Step::KIND::clean, std::string{});
    ++line.version;
  });
}

std::pair<std::vector<double>, std::vector<BackgroundLineSession::Edge>> curve_arrays(
    BackgroundLineSession const& session, std::string const& name) {
  auto const& curve = session.curve(name);
  std::vector<double> points(curve.nb_vertices());
  for (index_t vertex = 0; vertex < points.size(); ++vertex) {
    points[vertex] = std::ldexp(curve.point(vertex).value(0), -session.scale_exponent());
  }
  std::vector<BackgroundLineSession::Edge> edges(curve.nb_edges());
  for (index_t edge = 0; edge < edges.size(); ++edge) edges[edge] = curve.edge_vertices(edge);
  return {std::move(points), std::move(edges)};
}

std::unique_ptr<Line> make_line(std::vector<double> points,
                                std::vector<velk::BackgroundLineSession::Edge> edges,
                                double tolerance, std::string name) {
  auto line = std::make_unique<Line>();
  line->background_points = std::move(points);
  line->background_edges = std::move(edges);
  line->asked_tolerance = tolerance;
  follow_python_level();
  py::gil_scoped_release release;
  line->session = std::make_unique<BackgroundLineSession>(
      line->background_points, line->background_edges, tolerance, std::move(name));
  watch_signals(*line);
  return line;
}

py::object read_only(py::array array) {
  py::detail::array_proxy(array.ptr())->flags &= ~py::detail::npy_api::NPY_ARRAY_WRITEABLE_;
  return std::move(array);
}

}  // namespace velk_python

// The Python module `velk_background_line._core`: `BackgroundLine` over
// `velk::BackgroundLineSession`, the `Error` exception and the bridge that hands the library's
// log lines to Python's `logging`. The package `velk_background_line` re-exports it.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include <velk/background_line.hpp>

namespace py = pybind11;
using velk::BackgroundLineSession;
using velk::index_t;

namespace {

// --- Log bridge ------------------------------------------------------------------------------
//
// One process-wide handler hands every line to `logging.getLogger("velk_background_line")`,
// taking the GIL first: lines come from calls that run with the GIL released. At interpreter
// exit the handler is removed (and the logger released) before Python tears down, so no line
// reaches a finalised interpreter.

constexpr char const* LOGGER_NAME = "velk_background_line";

std::atomic<bool> bridge_active{false};
py::object* bridge_logger = nullptr;  // owned; released at exit under the GIL

int python_level(velk::Logger::LEVEL level) {
  using LEVEL = velk::Logger::LEVEL;
  switch (level) {
    case LEVEL::trace:
      return 5;
    case LEVEL::debug:
      return 10;
    case LEVEL::info:
      return 20;
    case LEVEL::warn:
      return 30;
    case LEVEL::err:
      return 40;
    case LEVEL::critical:
    case LEVEL::off:
      return 50;
  }
  return 20;
}

void forward_line(velk::Logger::LEVEL level, std::string_view line) {
  if (!bridge_active.load()) return;
  py::gil_scoped_acquire gil;
  if (bridge_logger == nullptr) return;
  try {
    bridge_logger->attr("log")(python_level(level), py::str(line.data(), line.size()));
  } catch (py::error_already_set& error) {
    error.discard_as_unraisable("velk_background_line log bridge");
  }
}

// Lets the library compose only the lines Python's logger would show: its level follows the
// logger's effective level, read before every call into the library. Needs the GIL.
void follow_python_level() {
  if (bridge_logger == nullptr) return;
  auto const level = bridge_logger->attr("getEffectiveLevel")().cast<int>();
  using LEVEL = velk::Logger::LEVEL;
  auto const chosen = level <= 5    ? LEVEL::trace
                      : level <= 10 ? LEVEL::debug
                      : level <= 20 ? LEVEL::info
                      : level <= 30 ? LEVEL::warn
                      : level <= 40 ? LEVEL::err
                      : level <= 50 ? LEVEL::critical
                                    : LEVEL::off;
  velk::Logger::set_level(chosen);
}

void start_bridge() {
  bridge_logger = new py::object(py::module_::import("logging").attr("getLogger")(LOGGER_NAME));
  bridge_active = true;
  velk::Logger::set_handler(forward_line);
  py::module_::import("atexit").attr("register")(py::cpp_function([] {
    bridge_active = false;
    // Back to the library's default first: what threads still inserting log goes to stderr
    // once the handler is gone, without the trace that DEBUG had asked for (the logger tests
    // the level again under its lock, so no line that passed the old level slips through).
    velk::Logger::set_level(velk::Logger::LEVEL::info);
    {
      // A line being delivered on another thread holds the logger's lock while it waits for
      // the GIL: let it finish, then the handler goes.
      py::gil_scoped_release release;
      velk::Logger::set_handler(nullptr);
    }
    delete bridge_logger;
    bridge_logger = nullptr;
  }));
}

// --- Arguments -------------------------------------------------------------------------------

// A bad argument: `ValueError` "[BackgroundLine.<operation>] <message>".
[[noreturn]] void value_error(char const* operation, std::string const& message) {
  throw py::value_error(std::string{"[BackgroundLine."} + operation + "] " + message);
}

std::string shape_text(py::array const& array) {
  std::string text = "(";
  for (py::ssize_t axis = 0; axis < array.ndim(); ++axis) {
    if (axis > 0) text += ", ";
    text += std::to_string(array.shape(axis));
  }
  return text + (array.ndim() == 1 ? ",)" : ")");
}

using Points = py::array_t<double, py::array::c_style | py::array::forcecast>;

// A one-dimensional float64 array over `values`, without a copy when it already is one.
Points points_argument(py::handle values, char const* operation, char const* what) {
  auto array = Points::ensure(values);
  if (!array) {
    PyErr_Clear();
    value_error(operation, std::string{what} + " must be an array of numbers");
  }
  if (array.ndim() != 1) {
    value_error(operation,
                std::string{what} + " must be one-dimensional, got shape " + shape_text(array));
  }
  return array;
}

// An array of integers, checked to be whole numbers that fit an index.
py::array_t<std::int64_t, py::array::c_style | py::array::forcecast> indices_argument(
    py::handle values, char const* operation, char const* what) {
  auto any = py::array::ensure(values);
  if (!any) {
    PyErr_Clear();
    value_error(operation, std::string{what} + " must be an array of integers");
  }
  auto const kind = any.dtype().kind();
  if (any.size() > 0 && kind != 'i' && kind != 'u') {
    value_error(operation, std::string{what} + " must hold integers, got dtype " +
                               py::str(any.dtype()).cast<std::string>());
  }
  auto array = py::array_t<std::int64_t, py::array::c_style | py::array::forcecast>::ensure(any);
  if (!array) {
    PyErr_Clear();
    value_error(operation, std::string{what} + " must be an array of integers");
  }
  auto const* data = array.data();
  for (py::ssize_t i = 0; i < array.size(); ++i) {
    if (data[i] < 0 || data[i] >= std::int64_t{velk::NO_ID}) {
      value_error(operation, std::string{what} + " holds " + std::to_string(data[i]) +
                                 ", which is not a valid index");
    }
  }
  return array;
}

std::vector<BackgroundLineSession::Edge> edges_argument(py::handle values, char const* operation) {
  std::vector<BackgroundLineSession::Edge> edges;
  if (values.is_none()) return edges;
  auto const array = indices_argument(values, operation, "edges");
  if (array.size() == 0) return edges;
  if (array.ndim() != 2 || array.shape(1) != 2) {
    value_error(operation, "edges must have shape (m, 2), got shape " + shape_text(array));
  }
  auto const view = array.unchecked<2>();
  edges.resize(static_cast<std::size_t>(array.shape(0)));
  for (py::ssize_t edge = 0; edge < array.shape(0); ++edge) {
    edges[edge] = {static_cast<index_t>(view(edge, 0)), static_cast<index_t>(view(edge, 1))};
  }
  return edges;
}

index_t index_argument(std::int64_t value, char const* operation, char const* what) {
  if (value < 0 || value >= std::int64_t{velk::NO_ID}) {
    value_error(operation, std::string{what} + " " + std::to_string(value) + " is out of range");
  }
  return static_cast<index_t>(value);
}

// --- The class -------------------------------------------------------------------------------

// The session and the lock that keeps calls from several Python threads (which run with the
// GIL released) one at a time.
struct Line {
  std::unique_ptr<BackgroundLineSession> session;
  mutable std::mutex mutex;
};

// Runs `call` on the session with the GIL released and the session locked. The GIL goes
// first: a thread holding the lock may be waiting for the GIL in the log bridge.
template <typename Call>
auto locked(Line const& line, Call&& call) {
  follow_python_level();
  py::gil_scoped_release release;
  std::lock_guard<std::mutex> guard{line.mutex};
  return call(static_cast<BackgroundLineSession&>(*line.session));
}

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

std::unique_ptr<Line> make_line(py::object const& points, py::object const& edges, double tolerance,
                                std::string name) {
  static constexpr char const* operation = "__init__";
  auto const values = points_argument(points, operation, "points");
  auto const pairs = edges_argument(edges, operation);
  auto line = std::make_unique<Line>();
  follow_python_level();
  py::gil_scoped_release release;
  line->session = std::make_unique<BackgroundLineSession>(
      absl::MakeConstSpan(values.data(), static_cast<std::size_t>(values.size())), pairs, tolerance,
      std::move(name));
  return line;
}

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
  auto const report = locked(line, [&](BackgroundLineSession& session) {
    return session.insert(
        name, absl::MakeConstSpan(values.data(), static_cast<std::size_t>(values.size())), pairs,
        chosen);
  });
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
  for (std::size_t slot = 0; slot < snapshot.names.size(); ++slot) {
    cell_data[py::str(snapshot.names[slot])] = block(array_of(snapshot.carried[slot]));
  }
  py::list cell_blocks;
  cell_blocks.append(py::make_tuple("line", cells));
  return meshio.attr("Mesh")(points, cell_blocks, py::arg("cell_data") = cell_data);
}

}  // namespace

PYBIND11_MODULE(_core, module) {
  module.doc() =
      "Compiled core of velk_background_line: the BackgroundLine class and the Error "
      "exception. Import the package `velk_background_line` instead.";
  module.attr("__version__") = VELK_VERSION;

  auto error = py::register_exception<velk::LumoraException>(module, "Error", PyExc_RuntimeError);
  error.doc() =
      "A failed insertion or query, with the library's message. A subclass of RuntimeError.";
  // Tried before the translator above (translators run newest first): the caller's bad
  // arguments are ValueError.
  py::register_exception_translator([](std::exception_ptr thrown) {
    try {
      if (thrown) std::rethrow_exception(thrown);
    } catch (velk::InvalidArgument const& refused) {
      PyErr_SetString(PyExc_ValueError, refused.what());
    }
  });
  module.attr("LOGGER_NAME") = LOGGER_NAME;
  start_bridge();

  py::class_<Line>(module, "BackgroundLine", R"doc(
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
placement trace at DEBUG).
)doc")
      .def(py::init(&make_line), py::arg("points"), py::arg("edges") = py::none(),
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
      .def(
          "remove",
          [](Line& line, std::string const& name) {
            auto const report = locked(
                line, [&](BackgroundLineSession& session) { return session.remove(name); });
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
          "clean",
          [](Line& line) { locked(line, [](BackgroundLineSession& session) { session.clean(); }); },
          R"doc(
Remove the background edges that insertions split and renumber the edges.

Indices read before (edges, paths, overlapping) no longer hold afterwards.
)doc")
      .def_property_readonly(
          "points",
          [](Line const& line) {
            return array_of(
                locked(line, [](BackgroundLineSession& session) { return session.points(); }));
          },
          "numpy.ndarray of float64, shape (n,): the background's vertex coordinates (a copy).")
      .def_property_readonly(
          "edges",
          [](Line const& line) {
            auto const edges =
                locked(line, [](BackgroundLineSession& session) { return session.edges(); });
            py::array_t<std::uint32_t> array(
                {static_cast<py::ssize_t>(edges.size()), py::ssize_t{2}});
            auto writer = array.mutable_unchecked<2>();
            for (std::size_t edge = 0; edge < edges.size(); ++edge) {
              writer(edge, 0) = edges[edge][0];
              writer(edge, 1) = edges[edge][1];
            }
            return array;
          },
          "numpy.ndarray of uint32, shape (m, 2): every background edge's two vertices, edges "
          "split and not yet cleaned included (a copy).")
      .def_property_readonly(
          "detached",
          [](Line const& line) {
            auto const flags = locked(line, [](BackgroundLineSession& session) {
              std::vector<bool> detached(session.nb_edges());
              for (index_t edge = 0; edge < detached.size(); ++edge) {
                detached[edge] = session.is_edge_detached(edge);
              }
              return detached;
            });
            py::array_t<bool> array(static_cast<py::ssize_t>(flags.size()));
            for (std::size_t edge = 0; edge < flags.size(); ++edge) {
              array.mutable_data()[edge] = flags[edge];
            }
            return array;
          },
          "numpy.ndarray of bool, shape (m,): True for the edges that a split replaced "
          "(clean() removes them).")
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
    "background_edge" (each cell's edge index) and, per curve, the first input edge of that
    curve the cell carries (-1 when none): one int64 column per curve, so memory grows with
    curves times edges.

Raises
------
ImportError
    When meshio is not installed.
)doc")
      .def("__repr__", [](Line const& line) {
        return locked(line, [](BackgroundLineSession& session) {
          auto const nb_curves = session.curve_names().size();
          return "<velk_background_line.BackgroundLine '" + session.name() +
                 "': " + std::to_string(session.nb_vertices()) + " vertices, " +
                 std::to_string(session.nb_edges()) + " edges, " + std::to_string(nb_curves) +
                 (nb_curves == 1 ? " curve>" : " curves>");
        });
      });
}

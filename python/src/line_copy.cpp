// Copies, pickles and equality of `BackgroundLine`. A line's state is its background as
// built and the steps since (insertions with their curves, removals, cleans): a copy
// replays them, which gives the same points, edges, numbering and macro lists.
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
using Edge = BackgroundLineSession::Edge;

constexpr int STATE_VERSION = 1;

py::array edges_of(std::vector<Edge> const& edges) {
  py::array_t<std::uint32_t> array({static_cast<py::ssize_t>(edges.size()), py::ssize_t{2}});
  auto writer = array.mutable_unchecked<2>();
  for (std::size_t edge = 0; edge < edges.size(); ++edge) {
    writer(edge, 0) = edges[edge][0];
    writer(edge, 1) = edges[edge][1];
  }
  return std::move(array);
}

// (version, name, tolerance asked, background points, background edges, steps), each step
// ("insert", name, points, edges, only), ("remove", name) or ("clean",).
py::tuple state_of(Line const& line) {
  struct Snapshot {
    std::string name;
    std::vector<Step> steps;
  };
  auto snapshot = locked(line, [&line](BackgroundLineSession& session) {
    Snapshot result{session.name(), line.steps};
    // A curve still inserted is read from the session (the step keeps only removed ones):
    // the last insertion of each name that was not removed since.
    for (auto& step : result.steps) {
      if (step.kind == Step::KIND::insert && !step.kept) {
        std::tie(step.points, step.edges) = curve_arrays(session, step.name);
      }
    }
    return result;
  });
  py::list steps;
  for (auto& step : snapshot.steps) {
    switch (step.kind) {
      case Step::KIND::insert:
        steps.append(py::make_tuple("insert", step.name, owned_array(std::move(step.points)),
                                    edges_of(step.edges), owned_array(std::move(step.only))));
        break;
      case Step::KIND::remove:
        steps.append(py::make_tuple("remove", step.name));
        break;
      case Step::KIND::clean:
        steps.append(py::make_tuple("clean"));
        break;
    }
  }
  return py::make_tuple(STATE_VERSION, snapshot.name, line.asked_tolerance,
                        owned_array(std::vector<double>{line.background_points}),
                        edges_of(line.background_edges), steps);
}

[[noreturn]] void bad_state(std::string const& why) {
  throw py::value_error("[BackgroundLine.__setstate__] not a pickled BackgroundLine: " + why);
}

std::unique_ptr<Line> line_from_state(py::tuple const& state) {
  static constexpr char const* operation = "__setstate__";
  if (state.size() != 6 || !py::isinstance<py::int_>(state[0]) ||
      state[0].cast<int>() != STATE_VERSION) {
    bad_state("expected a tuple of 6 starting with version " + std::to_string(STATE_VERSION));
  }
  auto const points = points_argument(state[3], operation, "points");
  auto line = make_line(std::vector<double>(points.data(), points.data() + points.size()),
                        edges_argument(state[4], operation), state[2].cast<double>(),
                        state[1].cast<std::string>());
  for (auto const item : state[5].cast<py::list>()) {
    auto const step = item.cast<py::tuple>();
    if (step.size() == 0) bad_state("an empty step");
    auto const kind = step[0].cast<std::string>();
    if (kind == "insert" && step.size() == 5) {
      auto const values = points_argument(step[2], operation, "points");
      auto const only = indices_argument(step[4], operation, "only");
      insert_into(*line, step[1].cast<std::string>(),
                  absl::MakeConstSpan(values.data(), static_cast<std::size_t>(values.size())),
                  edges_argument(step[3], operation),
                  std::vector<index_t>(only.data(), only.data() + only.size()));
    } else if (kind == "remove" && step.size() == 2) {
      remove_from(*line, step[1].cast<std::string>());
    } else if (kind == "clean" && step.size() == 1) {
      clean_line(*line);
    } else {
      bad_state("unknown step \"" + kind + "\"");
    }
  }
  return line;
}

// What two equal lines share: the background's name, scaling, points and edges (detached
// ones included), the curves' names in order and every macro list.
struct Contents {
  std::string name;
  int exponent{};
  std::vector<double> points;
  std::vector<Edge> edges;
  std::vector<bool> detached;
  velk::MacroColumns vertices;
  velk::MacroColumns elements;

  static Contents of(BackgroundLineSession& session) {
    Contents contents;
    contents.name = session.name();
    contents.exponent = session.scale_exponent();
    contents.points = session.points();
    contents.edges = session.edges();
    std::vector<index_t> every(std::max(session.nb_vertices(), session.nb_edges()));
    for (index_t item = 0; item < every.size(); ++item) every[item] = item;
    contents.detached.resize(session.nb_edges());
    for (index_t edge = 0; edge < session.nb_edges(); ++edge) {
      contents.detached[edge] = session.is_edge_detached(edge);
    }
    contents.vertices =
        session.macro_vertex_columns(absl::MakeConstSpan(every.data(), session.nb_vertices()));
    contents.elements =
        session.macro_element_columns(absl::MakeConstSpan(every.data(), session.nb_edges()));
    return contents;
  }

  static bool same(velk::MacroColumns const& lhs, velk::MacroColumns const& rhs) {
    return lhs.curves == rhs.curves && lhs.offsets == rhs.offsets && lhs.curve == rhs.curve &&
           lhs.index == rhs.index;
  }

  friend bool operator==(Contents const& lhs, Contents const& rhs) {
    return lhs.name == rhs.name && lhs.exponent == rhs.exponent && lhs.points == rhs.points &&
           lhs.edges == rhs.edges && lhs.detached == rhs.detached &&
           same(lhs.vertices, rhs.vertices) && same(lhs.elements, rhs.elements);
  }
};

}  // namespace

void register_line_copy(py::class_<Line>& line_class) {
  line_class
      .def(py::pickle([](Line const& line) { return state_of(line); },
                      [](py::tuple const& state) { return line_from_state(state); }))
      .def(
          "__copy__", [](Line const& line) { return line_from_state(state_of(line)); },
          "An independent line equal to this one (there is no shallow copy of a line).")
      .def(
          "__deepcopy__",
          [](Line const& line, py::dict const&) { return line_from_state(state_of(line)); },
          py::arg("memo"), "An independent line equal to this one.")
      .def(
          "__eq__",
          [](Line const& line, py::object const& other) -> py::object {
            if (!py::isinstance<Line>(other)) {
              return py::reinterpret_borrow<py::object>(Py_NotImplemented);
            }
            auto const& that = other.cast<Line const&>();
            if (&that == &line) return py::bool_(true);
            // One lock at a time: two threads comparing a == b and b == a cannot deadlock.
            auto const mine = locked(line, &Contents::of);
            auto const theirs = locked(that, &Contents::of);
            return py::bool_(mine == theirs);
          },
          py::arg("other"),
          "True when both lines have the same background (name, scaling, points, edges, split "
          "edges included), the same curve names in the same order and the same macro lists.");
}

}  // namespace velk_python

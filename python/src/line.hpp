// The class `BackgroundLine`: a `velk::BackgroundLineSession` seen from Python. Its methods
// are registered by area: the calls (line.cpp), the columnar answers (columns.cpp), copies,
// pickles and equality (line_copy.cpp).
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include <velk/background_line.hpp>

#include "log_bridge.hpp"

namespace velk_python {

namespace py = pybind11;

// What was done to a line since it was built, replayed by copies and pickles: an insertion
// (whose points and edges are read from the session while the curve is there, and kept
// here once it is removed), a removal or a clean.
struct Step {
  enum class KIND : std::uint8_t { insert, remove, clean };
  Step(KIND kind, std::string name, std::vector<velk::index_t> only = {})
      : kind{kind}, name{std::move(name)}, only{std::move(only)} {}
  KIND kind;
  std::string name;
  std::vector<velk::index_t> only;
  bool kept{false};  // `points` and `edges` hold the removed curve
  std::vector<double> points;
  std::vector<velk::BackgroundLineSession::Edge> edges;
};

// An array handed to Python and the state it shows; valid while `version` is the line's.
struct CachedArray {
  py::object array;
  std::uint64_t version{~std::uint64_t{0}};
};

// The session, the lock that keeps calls from several Python threads (which run with the
// GIL released) one at a time, the history that copies replay, and the arrays read last.
struct Line {
  std::unique_ptr<velk::BackgroundLineSession> session;
  mutable std::mutex mutex;

  // The background as built, and every step since (under `mutex`).
  std::vector<double> background_points;
  std::vector<velk::BackgroundLineSession::Edge> background_edges;
  double asked_tolerance{};
  std::vector<Step> steps;

  // Bumped, under `mutex`, by every call that changes the line.
  std::atomic<std::uint64_t> version{0};
  // Under the GIL.
  CachedArray points_cache;
  CachedArray edges_cache;
  CachedArray detached_cache;

  // Whether the call running now came from Python's main thread, the only one that runs
  // signal handlers, and when the interrupt check last looked for a signal (under `mutex`).
  bool watch_signals{false};
  std::chrono::steady_clock::time_point last_signal_check;
};

// Thrown by the interrupt check when a signal handler raised (KeyboardInterrupt for Ctrl-C):
// the Python error is pending on the calling thread and is raised once the GIL is back.
struct Interrupted {};

// Builds a line and its session, the GIL released during the build.
std::unique_ptr<Line> make_line(std::vector<double> points,
                                std::vector<velk::BackgroundLineSession::Edge> edges,
                                double tolerance, std::string name);

// The calls that change a line, each recorded as a step (for copies) under the lock.
std::vector<velk::InsertedEdge> insert_into(
    Line& line, std::string const& name, absl::Span<double const> points,
    std::vector<velk::BackgroundLineSession::Edge> const& edges, std::vector<velk::index_t> only);
velk::internal::ElementRemovalInfo remove_from(Line& line, std::string const& name);
void clean_line(Line& line);

// An inserted curve's points (in the caller's units) and edges, as given to `insert`.
std::pair<std::vector<double>, std::vector<velk::BackgroundLineSession::Edge>> curve_arrays(
    velk::BackgroundLineSession const& session, std::string const& name);

// Runs `call` on the session with the GIL released and the session locked. The GIL goes
// first: a thread holding the lock may be waiting for the GIL in the log bridge. A call
// stopped by a signal raises the signal handler's exception.
template <typename Call>
auto locked(Line const& line, Call&& call) {
  follow_python_level();
  {
    py::gil_scoped_release release;
    std::lock_guard<std::mutex> guard{line.mutex};
    try {
      return call(static_cast<velk::BackgroundLineSession&>(*line.session));
    } catch (Interrupted const&) {
    }
  }
  throw py::error_already_set();
}

// A capsule that owns `values` (moved in) and frees them with the last array over them;
// `data` points at the first value.
template <typename T>
py::capsule take_over(std::vector<T>&& values, T const*& data) {
  auto owner = std::make_unique<std::vector<T>>(std::move(values));
  data = owner->data();
  py::capsule capsule{owner.get(), [](void* held) { delete static_cast<std::vector<T>*>(held); }};
  owner.release();
  return capsule;
}

// A numpy array over `values`, which it takes over (no copy).
template <typename T>
py::array_t<T> owned_array(std::vector<T>&& values) {
  auto const size = static_cast<py::ssize_t>(values.size());
  T const* data = nullptr;
  auto capsule = take_over(std::move(values), data);
  return py::array_t<T>(size, data, capsule);
}

// `array` made read-only.
py::object read_only(py::array array);

// Adds `BackgroundLine` to `module`.
void register_line(py::module_& module);
void register_line_columns(py::class_<Line>& line_class);
void register_line_copy(py::class_<Line>& line_class);

}  // namespace velk_python

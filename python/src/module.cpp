// The Python module `velk_background_line._core`: the `Error` exception, the bridge that
// hands the library's log lines to Python's `logging`, and the classes, each registered by
// the file of its area. The package `velk_background_line` re-exports it.
#include <pybind11/pybind11.h>

#include <exception>

#include <velk/background_line.hpp>
#include <velk/tracks/track_error.hpp>

#include "line.hpp"
#include "log_bridge.hpp"
#include "tracks.hpp"

namespace py = pybind11;

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
    } catch (velk::tracks::TrackError const& error) {
      // A file or row that cannot be used is the caller's bad argument; a failed insertion
      // on usable input is the library's Error (rethrown to the translator below).
      if (error.kind() != velk::tracks::TrackError::Kind::bad_input) throw;
      PyErr_SetString(PyExc_ValueError, error.what());
    }
  });
  module.attr("LOGGER_NAME") = velk_python::LOGGER_NAME;
  velk_python::start_log_bridge();
  velk_python::register_line(module);
  velk_python::register_tracks(module);
}

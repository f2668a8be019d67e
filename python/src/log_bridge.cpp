// One process-wide handler hands every line to `logging.getLogger("velk_background_line")`,
// taking the GIL first: lines come from calls that run with the GIL released. At interpreter
// exit the handler is removed (and the logger released) before Python tears down, so no line
// reaches a finalised interpreter.
#include "log_bridge.hpp"

#include <atomic>
#include <string>
#include <string_view>

#include <velk/background_line.hpp>

namespace py = pybind11;

namespace velk_python {
namespace {

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

}  // namespace

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

bool python_running() { return bridge_active.load(); }

void start_log_bridge() {
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

}  // namespace velk_python

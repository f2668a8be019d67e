// The bridge that hands the library's log lines to Python's `logging`.
#pragma once

#include <pybind11/pybind11.h>

namespace velk_python {

// The name of the logger that receives the library's lines.
constexpr char const* LOGGER_NAME = "velk_background_line";

// Installs the library's log handler, which forwards each line to the logger LOGGER_NAME
// (taking the GIL first), and removes it again at interpreter exit. Needs the GIL; once.
void start_log_bridge();

// Sets the library's level from the logger's effective level, so that the library composes
// only the lines Python would show. Needs the GIL; called before every call into the library.
void follow_python_level();

// False once the interpreter has begun to exit: from then on no thread may take the GIL.
bool python_running();

}  // namespace velk_python

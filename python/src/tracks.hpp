// Interval tracks from Python: `read_bed` and `overlay` over the tracks library.
#pragma once

#include <pybind11/pybind11.h>

namespace velk_python {

// Adds the functions `_read_track` and `_overlay` to `module`; the package wraps them into
// `read_bed` and `overlay`, which return pandas DataFrames.
void register_tracks(pybind11::module_& module);

}  // namespace velk_python

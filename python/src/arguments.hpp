// Checks of the arguments Python passes in: numpy arrays of the right shape and kind, indices
// in range. A bad argument raises `ValueError` "[<Class>.<operation>] <message>".
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstdint>
#include <string>
#include <vector>

#include <velk/background_line.hpp>

namespace velk_python {

namespace py = pybind11;

using Points = py::array_t<double, py::array::c_style | py::array::forcecast>;
using Indices = py::array_t<std::int64_t, py::array::c_style | py::array::forcecast>;

// Raises `ValueError` "[BackgroundLine.<operation>] <message>".
[[noreturn]] void value_error(char const* operation, std::string const& message);

// "(3,)", "(2, 4)": an array's shape as Python prints it.
std::string shape_text(py::array const& array);

// A one-dimensional float64 array over `values`, without a copy when it already is one.
Points points_argument(py::handle values, char const* operation, char const* what);

// An array of integers, checked to be whole numbers that fit an index.
Indices indices_argument(py::handle values, char const* operation, char const* what);

// Edges as pairs of vertex indices, shape (m, 2); none for None or an empty array.
std::vector<velk::BackgroundLineSession::Edge> edges_argument(py::handle values,
                                                              char const* operation);

// One index, checked to fit.
velk::index_t index_argument(std::int64_t value, char const* operation, char const* what);

}  // namespace velk_python

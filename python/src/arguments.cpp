#include "arguments.hpp"

namespace velk_python {

void value_error(char const* operation, std::string const& message) {
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

Indices indices_argument(py::handle values, char const* operation, char const* what) {
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
  auto array = Indices::ensure(any);
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

std::vector<velk::BackgroundLineSession::Edge> edges_argument(py::handle values,
                                                              char const* operation) {
  std::vector<velk::BackgroundLineSession::Edge> edges;
  if (values.is_none()) return edges;
  auto const array = indices_argument(values, operation, "edges");
  if (array.size() == 0) return edges;
  if (array.ndim() != 2 || array.shape(1) != 2) {
    value_error(operation, "edges must have shape (m, 2), got shape " + shape_text(array));
  }
  auto const view = array.unchecked<2>();
  edges.resize(static_cast<std::size_t>(array.shape(0)));
  for (py::ssize_t edge = 0; edge < array.shape(0); ++edge) {
    edges[edge] = {static_cast<velk::index_t>(view(edge, 0)),
                   static_cast<velk::index_t>(view(edge, 1))};
  }
  return edges;
}

velk::index_t index_argument(std::int64_t value, char const* operation, char const* what) {
  if (value < 0 || value >= std::int64_t{velk::NO_ID}) {
    value_error(operation, std::string{what} + " " + std::to_string(value) + " is out of range");
  }
  return static_cast<velk::index_t>(value);
}

}  // namespace velk_python

// Points with `dimension` coordinates.
//
//   velk::Point<1> point{{2.5}};
//   point.value(0);    // 2.5
//   point.string();    // "2.5"
#pragma once

#include <array>
#include <charconv>
#include <cmath>
#include <string>

#include <absl/strings/str_cat.h>

#include <basic/lumora_exception.hpp>

namespace velk {

// A point: `dimension` double coordinates, zero by default. A small value type.
template <unsigned dimension>
class Point {
 public:
  Point() = default;
  Point(std::array<double, dimension> values) : values_(values) {}  // NOLINT: {{x}} reads well

  // Coordinate `axis`; throws `LumoraException` when `axis >= dimension`.
  double value(unsigned axis) const {
    check_axis(axis, "value");
    return values_[axis];
  }
  void set_value(unsigned axis, double value) {
    check_axis(axis, "set_value");
    values_[axis] = value;
  }

  // The coordinates as the shortest decimal texts that read back to the same doubles,
  // separated by single spaces ("2.5", "1e-09", "nan", "inf").
  std::string string() const {
    std::string text;
    write_string(text);
    return text;
  }

  // The text of `string()`, written into `text` in place of what it held: no allocation once
  // `text` has the room, for callers that write many points' texts.
  void write_string(std::string& text) const {
    char buffer[32 * dimension];
    char* end = buffer;
    for (unsigned axis = 0; axis < dimension; ++axis) {
      if (axis > 0) *end++ = ' ';
      end = std::to_chars(end, buffer + sizeof(buffer), values_[axis]).ptr;
    }
    text.assign(buffer, end);
  }

  // True when every coordinate is finite (neither NaN nor infinite).
  bool is_finite() const {
    for (auto const value : values_) {
      if (!std::isfinite(value)) return false;
    }
    return true;
  }

  friend bool operator==(Point const& lhs, Point const& rhs) { return lhs.values_ == rhs.values_; }
  friend bool operator!=(Point const& lhs, Point const& rhs) { return lhs.values_ != rhs.values_; }

 private:
  static void check_axis(unsigned axis, char const* operation) {
    if (axis >= dimension) {
      throw LumoraException{absl::StrCat("[Point::", operation, "] axis ", axis,
                                         " is out of range (dimension ", dimension, ")")};
    }
  }

  // Kept inline: a point is a value read millions of times in the hot paths.
  std::array<double, dimension> values_{};
};

}  // namespace velk

// The inserter's debug lines: "label = value", composed on every call and handed whole to
// the kernel's logger, which alone decides whether they are written. Each line is composed
// on the stack (or, past its room, into a buffer that the caller keeps from line to line), so
// that composing allocates nothing.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

#include <absl/strings/str_cat.h>
#include <absl/strings/string_view.h>

#include <basic/common.hpp>
#include <basic/logger.hpp>
#include <geometry/point.hpp>

namespace velk::internal::debug_lines {

// A marker line repeats a word: the label is the word in double quotes, the value the
// word itself, kept as two constants.
struct Marker {
  absl::string_view quoted;
  absl::string_view word;
};

inline constexpr Marker INSERT_CURVE_EDGE{"\"insert_curve_edge\"", "insert_curve_edge"};
inline constexpr Marker INSERT_VERTEX{"\"insert_vertex\"", "insert_vertex"};
inline constexpr Marker INSERT_VERTEX_IN_EDGE{"\"INSERT VERTEX\"", "INSERT VERTEX"};
inline constexpr Marker SNAP{"\"snap\"", "snap"};
inline constexpr Marker SPLIT{"\"split\"", "split"};

inline constexpr absl::string_view SEPARATOR = " = ";

// Joins the three pieces of a line and hands it to the logger. Lines are short: they are
// joined on the stack and passed as a view, with no copy into a string; a line longer than
// the room on the stack is joined in `line` instead.
inline void compose_and_log(std::string& line, absl::string_view label, absl::string_view value) {
  constexpr std::size_t ROOM = 128;
  auto const size = label.size() + SEPARATOR.size() + value.size();
  if (size > ROOM) {
    line.assign(label.data(), label.size());
    line.append(SEPARATOR.data(), SEPARATOR.size());
    line.append(value.data(), value.size());
    Logger::log(Logger::LEVEL::debug, line);
    return;
  }
  char joined[ROOM];
  std::memcpy(joined, label.data(), label.size());
  std::memcpy(joined + label.size(), SEPARATOR.data(), SEPARATOR.size());
  std::memcpy(joined + label.size() + SEPARATOR.size(), value.data(), value.size());
  Logger::log(Logger::LEVEL::debug, std::string_view{joined, size});
}

inline void write(std::string& line, Marker const& marker) {
  compose_and_log(line, marker.quoted, marker.word);
}

// The value in decimal digits, formatted by Abseil as `absl::StrCat` would.
inline void write(std::string& line, absl::string_view label, index_t value) {
  absl::AlphaNum const digits{value};
  compose_and_log(line, label, digits.Piece());
}

inline void write(std::string& line, absl::string_view label, std::string const& value) {
  compose_and_log(line, label, absl::string_view{value.data(), value.size()});
}

// The text of `Point::string()` for the points placed one after the other, formatted again
// only when the point changes: an input vertex shared by two input edges is placed twice in
// a row, as the second end of one and the first end of the next.
class PointText {
 public:
  std::string const& of(Point<1> const& point) {
    auto const value = point.value(0);
    if (!valid_ || std::memcmp(&value, &value_, sizeof(value)) != 0) {
      point.write_string(text_);
      value_ = value;
      valid_ = true;
    }
    return text_;
  }

 private:
  std::string text_;
  double value_{0};
  bool valid_{false};
};

}  // namespace velk::internal::debug_lines

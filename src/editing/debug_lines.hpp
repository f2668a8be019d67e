// The inserter's debug lines: "label = value", composed on every call and handed whole to
// the kernel's logger, which alone decides whether they are written. Each line is composed
// into a buffer that the caller keeps from line to line, so that composing allocates nothing
// once the buffer has the room of the longest line.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>

#include <absl/strings/str_cat.h>
#include <absl/strings/string_view.h>

#include <basic/common.hpp>
#include <basic/logger.hpp>

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

// Joins the three pieces of a line into `line`, replacing what it held. Lines are short:
// they are joined on the stack and copied into `line` in one go.
inline void compose(std::string& line, absl::string_view label, absl::string_view value) {
  constexpr std::size_t ROOM = 128;
  auto const size = label.size() + SEPARATOR.size() + value.size();
  if (size > ROOM) {
    line.assign(label.data(), label.size());
    line.append(SEPARATOR.data(), SEPARATOR.size());
    line.append(value.data(), value.size());
    return;
  }
  char joined[ROOM];
  std::memcpy(joined, label.data(), label.size());
  std::memcpy(joined + label.size(), SEPARATOR.data(), SEPARATOR.size());
  std::memcpy(joined + label.size() + SEPARATOR.size(), value.data(), value.size());
  line.assign(joined, size);
}

inline void write(std::string& line, Marker const& marker) {
  compose(line, marker.quoted, marker.word);
  Logger::log_debug(line);
}

// The value in decimal digits, formatted by Abseil as `absl::StrCat` would.
inline void write(std::string& line, absl::string_view label, index_t value) {
  absl::AlphaNum const digits{value};
  compose(line, label, digits.Piece());
  Logger::log_debug(line);
}

inline void write(std::string& line, absl::string_view label, std::string const& value) {
  compose(line, label, absl::string_view{value.data(), value.size()});
  Logger::log_debug(line);
}

}  // namespace velk::internal::debug_lines

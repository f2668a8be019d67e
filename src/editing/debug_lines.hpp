// The inserter's debug lines: "label = value", composed on every call and handed whole to
// the kernel's logger, which alone decides whether they are written.
#pragma once

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

inline void write(Marker const& marker) {
  Logger::log_debug(absl::StrCat(marker.quoted, SEPARATOR, marker.word));
}

inline void write(absl::string_view label, index_t value) {
  Logger::log_debug(absl::StrCat(label, SEPARATOR, value));
}

inline void write(absl::string_view label, std::string const& value) {
  Logger::log_debug(absl::StrCat(label, SEPARATOR, value));
}

}  // namespace velk::internal::debug_lines

// Bridges between std::string_view and Abseil's string functions.
//
//   absl::StrCat("[Curve::name] ", velk::as_absl(curve.name()));
#pragma once

#include <string_view>

#include <absl/strings/string_view.h>

namespace velk {

// Debian's Abseil has its own `absl::string_view` type; `absl::StrCat` and friends take a
// `std::string_view` only through this.
inline absl::string_view as_absl(std::string_view text) {
  return absl::string_view{text.data(), text.size()};
}

}  // namespace velk

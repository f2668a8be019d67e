// The failure the tool reports: one line on stderr and a non-zero exit code.
//
//   throw velk::tool::ToolError{velk::tool::EXIT_BAD_INPUT, "in.json: background: no edges"};
#pragma once

#include <stdexcept>
#include <string>

namespace velk::tool {

// Unusable input or arguments: unreadable or invalid file, bad field, bad output path.
inline constexpr int EXIT_BAD_INPUT = 2;
// The library failed while inserting, or the outputs could not be written.
inline constexpr int EXIT_FAILED = 1;
// Success, but `--keep-going` left out curves that could not be inserted.
inline constexpr int EXIT_LEFT_OUT = 3;

// An error message (without the tool's name, which `main` adds) and its exit code.
class ToolError : public std::runtime_error {
 public:
  ToolError(int exit_code, std::string const& message)
      : std::runtime_error{message}, exit_code_{exit_code} {}

  int exit_code() const { return exit_code_; }

 private:
  int exit_code_;
};

}  // namespace velk::tool

// The one exception type of the project.
//
//   throw velk::LumoraException{absl::StrCat("[Graph::edge_vertices] edge index ", edge,
//                                            " is out of range (", count, " edges)")};
#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>

#include <basic/common.hpp>
#include <basic/lumora_basic_export.hpp>

namespace velk {

// A `std::runtime_error` that also carries the call stack captured where it was built:
// up to ten code addresses (the constructor's own frame skipped) and their count. Slots
// beyond the count are null. Messages begin with a bracketed `Class::operation` tag.
class LUMORA_BASIC_API LumoraException : public std::runtime_error {
 public:
  static constexpr int MAX_STACK_SIZE = 10;

  explicit LumoraException(std::string const& message);
  LumoraException(LumoraException const&) = default;
  LumoraException& operator=(LumoraException const&) = default;
  ~LumoraException() override;

  // The captured code addresses; entries at and after `stack_size()` are null.
  std::array<void*, MAX_STACK_SIZE> const& stack() const { return stack_; }

  // How many addresses were captured, at most `MAX_STACK_SIZE`.
  std::int32_t stack_size() const { return stack_size_; }

 private:
  // A thrown value is copied: its fixed layout is kept inline, as the exception's record.
  std::array<void*, MAX_STACK_SIZE> stack_;
  std::int32_t stack_size_;
};

namespace detail {

// Throws `LumoraException` "[<operation>] <what> index <index> is out of range (<count>
// <what in the plural>)", e.g. "(5 edges)", "(3 vertices)". Kept out of line so that the
// checks below stay small in hot paths.
[[noreturn]] LUMORA_BASIC_API void throw_index_out_of_range(char const* operation,
                                                            char const* what, index_t index,
                                                            index_t count);

// The index check of every accessor that takes an element index.
inline void check_index(index_t index, index_t count, char const* operation, char const* what) {
  if (index >= count) throw_index_out_of_range(operation, what, index, count);
}

}  // namespace detail
}  // namespace velk

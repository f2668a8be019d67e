#include <basic/lumora_exception.hpp>

#include <absl/debugging/stacktrace.h>
#include <absl/strings/str_cat.h>

namespace velk {

LumoraException::LumoraException(std::string const& message)
    : std::runtime_error{message}, stack_{}, stack_size_{0} {
  stack_.fill(nullptr);
  stack_size_ = absl::GetStackTrace(stack_.data(), MAX_STACK_SIZE, 1);
}

LumoraException::~LumoraException() = default;

namespace detail {

void throw_index_out_of_range(char const* operation, char const* what, index_t index,
                              index_t count) {
  throw LumoraException{absl::StrCat("[", operation, "] ", what, " index ", index,
                                     " is out of range (", count, " ", what, "s)")};
}

}  // namespace detail

}  // namespace velk

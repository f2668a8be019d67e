#include <basic/lumora_exception.hpp>

#include <absl/debugging/stacktrace.h>
#include <absl/strings/match.h>
#include <absl/strings/str_cat.h>
#include <absl/strings/string_view.h>

namespace velk {

LumoraException::LumoraException(std::string const& message)
    : std::runtime_error{message}, stack_{}, stack_size_{0} {
  stack_.fill(nullptr);
  stack_size_ = absl::GetStackTrace(stack_.data(), MAX_STACK_SIZE, 1);
}

LumoraException::~LumoraException() = default;

namespace detail {
namespace {

// Plural of the element names the index checks use: "vertex" -> "vertices",
// "entry" -> "entries", "edge" -> "edges".
std::string plural(absl::string_view what) {
  if (absl::EndsWith(what, "vertex")) return absl::StrCat(what.substr(0, what.size() - 2), "ices");
  if (what.size() > 1 && what.back() == 'y' &&
      !absl::StrContains("aeiou", what[what.size() - 2])) {
    return absl::StrCat(what.substr(0, what.size() - 1), "ies");
  }
  return absl::StrCat(what, "s");
}

}  // namespace

void throw_index_out_of_range(char const* operation, char const* what, index_t index,
                              index_t count) {
  throw LumoraException{absl::StrCat("[", operation, "] ", what, " index ", index,
                                     " is out of range (", count, " ", plural(what), ")")};
}

}  // namespace detail

}  // namespace velk

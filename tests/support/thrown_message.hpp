// Runs a callable and returns the text of the `LumoraException` it throws.
//
//   EXPECT_EQ(velk::test::thrown_message([&] { info.add(status, 0); }), "expected text");
#pragma once

#include <string>

#include <basic/lumora_exception.hpp>

namespace velk::test {

// The message of the `LumoraException` that `call` throws, or a marker when it throws none.
template <typename Call>
std::string thrown_message(Call&& call) {
  try {
    call();
  } catch (LumoraException const& error) {
    return error.what();
  }
  return "(nothing thrown)";
}

}  // namespace velk::test

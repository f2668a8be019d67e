// Fuzz target of the JSON reader of `insert`: reads a byte string as an input file (through a
// memory file, as the tool reads a path) with `read_input`. A refusal (`ToolError` with exit
// code 2) is expected; any other exception, a crash, a sanitizer report or an accepted input
// that breaks what `check_input` promises aborts with a description: finite coordinates,
// edges joining two distinct existing points, `insert` indices naming edges, unique
// non-empty curve names, `remove` names naming curves, each once, a background with at least
// one edge.
//
// Built twice: with clang and libFuzzer (tests/fuzz/CMakeLists.txt, scripts/fuzz with
// VELK_FUZZ_TARGET=json_reader), and with the project's compiler into the corpus replay
// test (tests/tools), which feeds every file of tests/fuzz/json_reader_corpus to it.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include <sys/mman.h>
#include <unistd.h>

#include "common/tool_error.hpp"
#include "insert/input.hpp"

namespace {

using velk::tool::CurveData;

[[noreturn]] void fail(std::string const& what) {
  std::fprintf(stderr, "json reader fuzz finding: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

void check_curve(CurveData const& curve) {
  for (auto const x : curve.points) {
    if (!std::isfinite(x)) fail("a non-finite point in " + curve.name);
  }
  for (auto const& edge : curve.edges) {
    if (edge[0] >= curve.points.size() || edge[1] >= curve.points.size() || edge[0] == edge[1]) {
      fail("a bad edge in " + curve.name);
    }
  }
  if (curve.insert) {
    for (auto const edge : *curve.insert) {
      if (edge >= curve.edges.size()) fail("a bad insert index in " + curve.name);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
  static int const file = ::memfd_create("json-reader-fuzz", 0);
  if (file < 0) fail("memfd_create failed");
  if (::ftruncate(file, 0) != 0 || ::pwrite(file, data, size, 0) != static_cast<ssize_t>(size)) {
    fail("cannot write the memory file");
  }
  auto const path = "/proc/self/fd/" + std::to_string(file);
  velk::tool::JobInput input;
  try {
    input = velk::tool::read_input(path);
  } catch (velk::tool::ToolError const& error) {
    if (error.exit_code() != velk::tool::EXIT_BAD_INPUT ||
        std::string{error.what()}.rfind(path + ": ", 0) != 0) {
      fail(std::string{"unexpected refusal: "} + error.what());
    }
    return 0;
  }
  if (input.background.edges.empty()) fail("a background without edges");
  check_curve(input.background);
  std::set<std::string> names;
  for (auto const& curve : input.curves) {
    if (curve.name.empty() || !names.insert(curve.name).second) fail("a bad curve name");
    check_curve(curve);
  }
  std::set<std::string> removed;
  for (auto const& name : input.remove) {
    if (names.count(name) == 0 || !removed.insert(name).second) fail("a bad remove name");
  }
  return 0;
}

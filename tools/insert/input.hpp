// The job the tool runs: a background curve and the input curves to insert into it, read
// from a JSON file (schema in docs/format.md) or built in memory (the demo).
//
//   velk::tool::JobInput input = velk::tool::read_input("examples/two_wells.json");
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <basic/common.hpp>

namespace velk::tool {

// One curve: its name, one coordinate per point, edges as pairs of point indices and, for
// an input curve, the edges to insert (every edge, in index order, when absent).
struct CurveData {
  std::string name;
  std::vector<double> points;
  std::vector<std::array<index_t, 2>> edges;
  std::optional<std::vector<index_t>> insert;
};

// The background, the input curves, in insertion order, and the names of the curves to
// remove again once all are inserted, in removal order.
struct JobInput {
  CurveData background;
  std::vector<CurveData> curves;
  std::vector<std::string> remove;
};

// Reads `file` and checks it. Throws `ToolError` (`EXIT_BAD_INPUT`) with a one-line message
// naming the file, the curve and the offending value when the file cannot be read, is not
// JSON, lacks a field, has a mistyped or unknown one, or fails `check_input`.
JobInput read_input(std::filesystem::path const& file);

// Checks what the JSON types cannot: finite coordinates, edges joining two existing and
// distinct points, `insert` indices naming edges, unique non-empty curve names, `remove`
// names naming curves, each once, and a background with at least one edge. Throws `ToolError`
// (`EXIT_BAD_INPUT`); `source` starts the message.
void check_input(JobInput const& input, std::string const& source);

// How messages name a curve: "background" or `curve "name" (curves[i])`.
std::string curve_label(JobInput const& input, std::size_t curve);

}  // namespace velk::tool

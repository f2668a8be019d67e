// The tool's main job: builds the background and the input curves, inserts the curves in
// order, removes those the input names, cleans the background, then asks for the chain of
// background edges of every inserted input edge. The result is plain data that the writers turn
// into files.
//
//   velk::tool::JobResult result = velk::tool::run_job(input, "in.json");
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include <basic/common.hpp>
#include <velk/background_line/element_removal_info.hpp>

#include "input.hpp"

namespace velk::tool {

// An element of an input curve: the curve's position in `JobInput::curves` and the index
// of its vertex or edge.
struct MacroRef {
  std::size_t curve;
  index_t element;
};

// A background vertex after cleaning: its coordinate, whether a split made it during the
// insertions, and the input vertices recorded on it (in recording order, repeats kept).
struct ResultVertex {
  double x;
  bool created_by_split;
  std::vector<MacroRef> macro_vertices;
};

// A background edge after cleaning: its two vertices and the input edges it carries (in
// recording order, repeats kept).
struct ResultEdge {
  std::array<index_t, 2> vertices;
  std::vector<MacroRef> macro_elements;
};

// One entry of an insertion report: the input edge and its status, by name ("inserted",
// "walk_stopped").
struct ReportEntry {
  index_t edge;
  std::string status;
};

// The answer for one inserted input edge (listed once however often it was inserted): the
// background vertices that carry its two end vertices, and the chain of background edges
// between them. `path` is empty when the query found no chain; `error` holds the library's
// message when the query failed instead.
struct EdgePath {
  index_t edge;
  std::optional<std::array<index_t, 2>> vertices;
  std::optional<std::vector<index_t>> path;
  std::string error;
};

// What became of one input curve. A curve removed after the insertions has no paths, and
// the counts of its removal.
struct CurveResult {
  std::vector<ReportEntry> report;
  std::vector<EdgePath> paths;
  std::optional<internal::ElementRemovalInfo> removal;
};

// The background after the job, with final (cleaned) indices, and one result per curve.
struct JobResult {
  std::vector<ResultVertex> vertices;
  std::vector<ResultEdge> edges;
  std::vector<CurveResult> curves;
};

// Runs the job on a checked input (see `check_input`). Progress and warnings go through the
// library's logger. Throws `ToolError` (`EXIT_FAILED`) when an insertion fails, with
// `source`, the curve and the library's own message.
JobResult run_job(JobInput const& input, std::string const& source);

// The name of an insertion status value: "inserted", "walk_stopped", else "status_<value>".
std::string status_name(unsigned value);

}  // namespace velk::tool

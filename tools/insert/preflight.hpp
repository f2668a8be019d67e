// What the tool checks before it inserts anything: the scaling that maps the user's
// snapping tolerance onto the library's absolute one, and the shapes of input worth a
// warning that the session does not see (curves without edges). The session warns about
// the background, and `Job` leaves out the curves that would fail (`--keep-going`).
//
//   auto const scaling = velk::tool::choose_scaling(1e-12, input, "in.json");
//   velk::tool::warn_about_input(input);
#pragma once

#include <cmath>
#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <geometry/tolerance.hpp>
#include <velk/background_line/scaling.hpp>

#include "insert/input.hpp"

namespace velk::tool {

// Coordinates go into the library scaled: the rule is the library's (`velk::Scaling`).
using velk::Scaling;
using velk::scaling_apart;

// Throws `ToolError` (`EXIT_BAD_INPUT`) unless `requested` is a positive finite number.
void check_tolerance(double requested);

// The scaling for the snapping distance `requested` (user's units): the power of two that
// brings the library's tolerance closest to `requested` without exceeding it, so that the
// tolerance in effect lies in (requested / 2, requested] and points farther apart than
// `requested` are never snapped together. `requested` = GEOMETRIC_TOLERANCE gives no
// scaling. Throws `ToolError` (`EXIT_BAD_INPUT`) when `requested` is not a positive finite
// number, or when a coordinate of `input` would overflow or become subnormal once scaled
// (`source` starts the message).
Scaling choose_scaling(double requested, JobInput const& input, std::string const& source);

// How the job runs: the scaling of the coordinates, and whether to leave out the input
// curves with a point on no background edge (`--keep-going`); `Job` fills `left_out`, each
// curve with the reason.
struct JobOptions {
  Scaling scaling;
  // Whether curves that would fail are left out (the outputs then list them, even none).
  bool keep_going = false;
  std::vector<std::pair<std::size_t, std::string>> left_out;
};

// The options of a run of `input` (`source` names it in messages) with the snapping
// distance `tolerance` (user's units; logged unless `GEOMETRIC_TOLERANCE`) and
// `keep_going`. Logs the warnings of `warn_about_input`. Throws what `choose_scaling`
// throws.
JobOptions prepare_job(JobInput const& input, std::string const& source, double tolerance,
                       bool keep_going);

// Logs a warning, with a count and the first example, for input curves with no edge.
void warn_about_input(JobInput const& input);

}  // namespace velk::tool

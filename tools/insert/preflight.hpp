// What the tool checks before it inserts anything: the scaling that maps the user's
// snapping tolerance onto the library's absolute one, the curves that would fail (a point
// on no background edge), and the shapes of input worth a warning.
//
//   auto const scaling = velk::tool::choose_scaling(1e-12, input, "in.json");
//   velk::tool::BackgroundCover const cover{input.background, scaling};
//   auto reason = velk::tool::outside_point(input.curves[0], cover);
//   velk::tool::warn_about_input(input, scaling);
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

// The part of the axis the background covers, as the library tests it: a point lies on an
// edge when it is within the tolerance of an end (measured exactly, `within_tolerance`) or
// strictly between the ends, computed on the scaled coordinates.
class BackgroundCover {
 public:
  BackgroundCover(CurveData const& background, Scaling const& scaling);

  // Whether the point at `x` (user's units) lies on some background edge.
  bool covers(double x) const;

 private:
  struct Interval {
    double low;  // scaled
    double high;
  };
  Scaling scaling_;
  std::vector<Interval> intervals_;  // the edges' intervals merged where they touch, in order
  std::vector<double> ends_;         // every edge end, sorted
};

// Why `curve` cannot be inserted: "point 2 at x = 7 lies on no background edge" for the
// first point of an edge to insert (in insertion order) that lies on no background edge;
// nothing when every such point lies on one.
std::optional<std::string> outside_point(CurveData const& curve, BackgroundCover const& cover);

// How the job runs: the scaling of the coordinates, and the input curves to leave out
// (`--keep-going`), each with the reason.
struct JobOptions {
  Scaling scaling;
  // Whether curves that would fail are left out (the outputs then list them, even none).
  bool keep_going = false;
  std::vector<std::pair<std::size_t, std::string>> left_out;
};

// The options of a run of `input` (`source` names it in messages) with the snapping
// distance `tolerance` (user's units; logged unless `GEOMETRIC_TOLERANCE`) and, with
// `keep_going`, the curves that would fail left out, each named in a warning. Logs the
// warnings of `warn_about_input`. Throws what `choose_scaling` throws.
JobOptions prepare_job(JobInput const& input, std::string const& source, double tolerance,
                       bool keep_going);

// Logs one warning line per kind of suspicious input, with a count and the first example:
// background edges that overlap others (an unsorted background), zero-length background
// edges, curves with no edge.
void warn_about_input(JobInput const& input, Scaling const& scaling);

}  // namespace velk::tool

#include "insert/preflight.hpp"

#include <algorithm>
#include <cfloat>
#include <numeric>

#include <velk/background_line.hpp>

#include "common/text.hpp"
#include "common/tool_error.hpp"

namespace velk::tool {
namespace {

// Ends closer than this (scaled) to a point are tested one by one: the tolerance plus room
// for the rounding of the bounds.
constexpr double END_MARGIN = 2 * GEOMETRIC_TOLERANCE;

// The first coordinate of `input` that scaling by 2^exponent would make infinite or
// subnormal, as "curve "A" (curves[0]): points[3] = 1e+300 would overflow".
std::optional<std::string> unscalable(JobInput const& input, int exponent) {
  auto const check = [exponent](CurveData const& curve,
                                std::string const& where) -> std::optional<std::string> {
    for (std::size_t i = 0; i < curve.points.size(); ++i) {
      auto const x = curve.points[i];
      if (x == 0) continue;
      if (scalable(x, Scaling{exponent, 0})) continue;
      auto const scaled = std::ldexp(x, exponent);
      return where + ": points[" + std::to_string(i) + "] = " + format_number(x) +
             (std::isfinite(scaled) ? " would become too small to compute with"
                                    : " would overflow");
    }
    return std::nullopt;
  };
  if (auto problem = check(input.background, "background")) return problem;
  for (std::size_t c = 0; c < input.curves.size(); ++c) {
    if (auto problem = check(input.curves[c], curve_label(input, c))) return problem;
  }
  return std::nullopt;
}

}  // namespace

void check_tolerance(double requested) {
  if (!std::isfinite(requested) || !(requested > 0)) {
    throw ToolError{EXIT_BAD_INPUT, "--tolerance " + format_number(requested) +
                                        ": the tolerance must be a positive number"};
  }
}

Scaling choose_scaling(double requested, JobInput const& input, std::string const& source) {
  check_tolerance(requested);
  auto const option = "--tolerance " + format_number(requested);
  auto const scaling = scaling_for_tolerance(requested);
  auto const exponent = scaling.exponent;
  if (scaling.tolerance < DBL_MIN || !std::isfinite(scaling.tolerance)) {
    throw ToolError{EXIT_BAD_INPUT, option + ": out of the range coordinates can be scaled over"};
  }
  if (exponent != 0) {
    if (auto const problem = unscalable(input, exponent)) {
      throw ToolError{EXIT_BAD_INPUT, source + ": " + *problem + " once scaled by 2^" +
                                          std::to_string(exponent) + " for " + option +
                                          "; choose a " + (exponent > 0 ? "larger" : "smaller") +
                                          " tolerance or rescale the data"};
    }
  }
  return scaling;
}

BackgroundCover::BackgroundCover(CurveData const& background, Scaling const& scaling)
    : scaling_{scaling} {
  for (auto const& edge : background.edges) {
    auto const a = scaling.to_library(background.points[edge[0]]);
    auto const b = scaling.to_library(background.points[edge[1]]);
    intervals_.push_back({std::min(a, b), std::max(a, b)});
  }
  std::sort(intervals_.begin(), intervals_.end(),
            [](Interval const& p, Interval const& q) { return p.low < q.low; });
  // Merged: each interval then starts past the end of the one before.
  std::vector<Interval> merged;
  for (auto const& interval : intervals_) {
    if (!merged.empty() && interval.low <= merged.back().high) {
      merged.back().high = std::max(merged.back().high, interval.high);
    } else {
      merged.push_back(interval);
    }
  }
  // Every end, sorted, for the points within the tolerance of one.
  for (auto const& interval : intervals_) {
    ends_.push_back(interval.low);
    ends_.push_back(interval.high);
  }
  std::sort(ends_.begin(), ends_.end());
  intervals_ = std::move(merged);
}

bool BackgroundCover::covers(double x) const {
  auto const scaled = scaling_.to_library(x);
  // Between the ends of an edge, or on one: on the background.
  auto const after =
      std::upper_bound(intervals_.begin(), intervals_.end(), scaled,
                       [](double value, Interval const& i) { return value < i.low; });
  if (after != intervals_.begin() && scaled <= std::prev(after)->high) return true;
  // Otherwise within the tolerance of an end, as the library measures it.
  for (auto end = std::lower_bound(ends_.begin(), ends_.end(), scaled - END_MARGIN);
       end != ends_.end() && *end <= scaled + END_MARGIN; ++end) {
    if (within_tolerance(scaled, *end)) return true;
  }
  return false;
}

std::optional<std::string> outside_point(CurveData const& curve, BackgroundCover const& cover) {
  auto const check_edge = [&](index_t edge) -> std::optional<std::string> {
    for (auto const point : curve.edges[edge]) {
      if (!cover.covers(curve.points[point])) {
        return "point " + std::to_string(point) + " at x = " + format_number(curve.points[point]) +
               " lies on no background edge";
      }
    }
    return std::nullopt;
  };
  if (curve.insert) {
    for (auto const edge : *curve.insert) {
      if (auto reason = check_edge(edge)) return reason;
    }
  } else {
    for (index_t edge = 0; edge < curve.edges.size(); ++edge) {
      if (auto reason = check_edge(edge)) return reason;
    }
  }
  return std::nullopt;
}

void warn_about_input(JobInput const& input, Scaling const& scaling) {
  auto const& background = input.background;
  warn_about_background(background.points, background.edges, scaling);

  std::size_t first = 0;
  std::size_t without_edges = 0;
  for (std::size_t c = input.curves.size(); c-- > 0;) {
    if (input.curves[c].edges.empty()) {
      ++without_edges;
      first = c;
    }
  }
  if (without_edges > 0) {
    Logger::log_warn(count_of(without_edges, "input curve") +
                     " without edges, of which nothing is inserted, e.g. " +
                     curve_label(input, first) + " with " +
                     count_of(input.curves[first].points.size(), "point"));
  }
}

JobOptions prepare_job(JobInput const& input, std::string const& source, double tolerance,
                       bool keep_going) {
  JobOptions options;
  options.scaling = choose_scaling(tolerance, input, source);
  if (tolerance != GEOMETRIC_TOLERANCE) {
    Logger::log_info("tolerance " + format_number(tolerance) + ": points within " +
                     format_number(options.scaling.tolerance) +
                     " of each other snap together (coordinates scaled by 2^" +
                     std::to_string(options.scaling.exponent) + " inside the library)");
  }
  warn_about_input(input, options.scaling);
  options.keep_going = keep_going;
  if (keep_going) {
    BackgroundCover const cover{input.background, options.scaling};
    for (std::size_t c = 0; c < input.curves.size(); ++c) {
      if (auto reason = outside_point(input.curves[c], cover)) {
        Logger::log_warn(curve_label(input, c) + " left out: " + *reason);
        options.left_out.emplace_back(c, std::move(*reason));
      }
    }
  }
  return options;
}

}  // namespace velk::tool

#include "insert/preflight.hpp"

#include <algorithm>
#include <cfloat>
#include <numeric>

#include <velk/background_line.hpp>

#include "common/text.hpp"
#include "common/tool_error.hpp"

namespace velk::tool {
namespace {

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

void warn_about_input(JobInput const& input) {
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
  warn_about_input(input);
  options.keep_going = keep_going;
  return options;
}

}  // namespace velk::tool

#include <velk/background_line/background_checks.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numeric>
#include <string>
#include <vector>

#include <basic/logger.hpp>
#include <geometry/tolerance.hpp>

namespace velk {
namespace {

struct Extent {
  double low;
  double high;
};

// The shortest decimal text that reads back to `value`.
std::string shortest(double value) {
  char buffer[32];
  auto const result = std::to_chars(buffer, buffer + sizeof(buffer), value);
  return std::string(buffer, result.ptr);
}

// "1 edge", "3 edges".
std::string edges_text(std::size_t count) {
  return std::to_string(count) + (count == 1 ? " edge" : " edges");
}

// Edge `edge` as "edge 0 (40 to 10)".
std::string edge_text(absl::Span<double const> points,
                      absl::Span<std::array<index_t, 2> const> edges, std::size_t edge) {
  auto const& ends = edges[edge];
  return "edge " + std::to_string(edge) + " (" + shortest(points[ends[0]]) + " to " +
         shortest(points[ends[1]]) + ")";
}

// Background edges that overlap another one by more than the tolerance: an edge over
// [40, 10] next to one over [10, 30] shows a background whose points were given unsorted.
void warn_about_overlaps(absl::Span<double const> points,
                         absl::Span<std::array<index_t, 2> const> edges,
                         std::vector<Extent> const& spans) {
  auto const tolerance = GEOMETRIC_TOLERANCE;
  auto const length = [&](std::size_t e) { return spans[e].high - spans[e].low; };
  auto const overlap = [&](std::size_t a, std::size_t b) {
    return std::min(spans[a].high, spans[b].high) - std::max(spans[a].low, spans[b].low) >
           tolerance;
  };
  std::vector<std::size_t> order(spans.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  auto const before = [&spans](std::size_t a, std::size_t b) {
    return spans[a].low < spans[b].low ||
           (spans[a].low == spans[b].low && spans[a].high < spans[b].high);
  };
  // A chain through sorted points is in order already: the usual background costs no sort.
  if (!std::is_sorted(order.begin(), order.end(), before)) {
    std::sort(order.begin(), order.end(), before);
  }
  // An edge overlaps one before it in this order when the highest upper end of the longer-
  // than-tolerance edges before it lies past its lower end; one after it when the next such
  // edge's lower end lies before its upper end.
  std::vector<bool> flagged(spans.size(), false);
  double highest = -HUGE_VAL;
  for (auto const e : order) {
    if (length(e) <= tolerance) continue;
    if (highest - spans[e].low > tolerance) flagged[e] = true;
    highest = std::max(highest, spans[e].high);
  }
  double next_low = HUGE_VAL;
  for (auto position = order.size(); position-- > 0;) {
    auto const e = order[position];
    if (length(e) <= tolerance) continue;
    if (spans[e].high - next_low > tolerance) flagged[e] = true;
    next_low = spans[e].low;
  }
  auto const count = static_cast<std::size_t>(std::count(flagged.begin(), flagged.end(), true));
  if (count == 0) return;
  auto const first =
      static_cast<std::size_t>(std::find(flagged.begin(), flagged.end(), true) - flagged.begin());
  std::size_t other = 0;
  while (other < spans.size() && (other == first || !overlap(first, other))) ++other;
  if (other == spans.size()) return;
  Logger::log_warn("background: " + edges_text(count) + " overlap other background edges, e.g. " +
                   edge_text(points, edges, first) + " overlaps " +
                   edge_text(points, edges, other) +
                   "; is the background sorted? (without \"edges\", its points are joined in "
                   "file order)");
}

}  // namespace

void warn_about_background(absl::Span<double const> points,
                           absl::Span<std::array<index_t, 2> const> edges, Scaling const& scaling) {
  std::vector<Extent> spans;
  spans.reserve(edges.size());
  for (auto const& edge : edges) {
    auto const a = scaling.to_library(points[edge[0]]);
    auto const b = scaling.to_library(points[edge[1]]);
    spans.push_back({std::min(a, b), std::max(a, b)});
  }
  warn_about_overlaps(points, edges, spans);

  std::size_t zero_length = 0;
  std::size_t first = 0;
  for (std::size_t e = spans.size(); e-- > 0;) {
    if (within_tolerance(spans[e].high, spans[e].low)) {
      ++zero_length;
      first = e;
    }
  }
  if (zero_length > 0) {
    Logger::log_warn("background: " + edges_text(zero_length) + " of zero length (ends within " +
                     shortest(scaling.tolerance) + " of each other), e.g. " +
                     edge_text(points, edges, first));
  }
}

}  // namespace velk

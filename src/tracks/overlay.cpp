#include <velk/tracks/overlay.hpp>

#include <algorithm>
#include <memory>
#include <numeric>
#include <thread>
#include <utility>

#include <absl/container/flat_hash_map.h>
#include <velk/background_line.hpp>
#include <velk/tracks/edge_rows.hpp>
#include <velk/tracks/message_text.hpp>
#include <velk/tracks/ordered_pool.hpp>
#include <velk/tracks/track_error.hpp>

namespace velk::tracks {

std::string line_label(SequenceTracks const& sequence) {
  return sequence.name.empty() ? std::string{"table"} : quote_text(sequence.name);
}

Scaling line_scaling(SequenceTracks const& sequence, Breakpoints const& breakpoints) {
  auto const scaling = scaling_apart(breakpoints.x);
  if (!scaling) {
    throw TrackError{TrackError::Kind::bad_input, "line_scaling",
                     line_label(sequence) +
                         ": coordinates too close together for their magnitude to be told "
                         "apart (no scaling of the axis keeps every two distinct ones apart)"};
  }
  return *scaling;
}

namespace {

// How messages and the log name a line: the sequence, or "table" for a plain table.
std::size_t nb_intervals(SequenceTracks const& sequence) {
  std::size_t count = 0;
  for (auto const& track : sequence.tracks) count += track.size();
  return count;
}

void log_line(SequenceTracks const& sequence, std::size_t nb_runs, Breakpoints const& breakpoints) {
  if (!Logger::is_enabled(Logger::LEVEL::info)) return;
  std::size_t curves = 0;
  for (auto const& track : sequence.tracks) curves += track.size() > 0 ? 1 : 0;
  Logger::log_info(line_label(sequence) + ": " + count_of(nb_intervals(sequence), "interval") +
                   " of " + count_of(curves, "curve") + ", " + count_of(nb_runs, "run") +
                   " inserted into a background of " +
                   count_of(breakpoints.x.empty() ? 0 : breakpoints.x.size() - 1, "edge"));
}

// A stretch of the axis a track covers: its rows merged where they overlap or touch.
struct Run {
  double start;
  double end;
  std::uint32_t start_spelling;
  std::uint32_t end_spelling;
};

// `line_scaling`, logged when it is not the identity.
Scaling logged_scaling(SequenceTracks const& sequence, Breakpoints const& breakpoints) {
  auto const scaling = line_scaling(sequence, breakpoints);
  if (scaling.exponent != 0) {
    Logger::log_info(line_label(sequence) + ": distinct coordinates less than " +
                     format_number(GEOMETRIC_TOLERANCE) + " apart: scaled by 2^" +
                     std::to_string(scaling.exponent) +
                     " inside the library, so that none snaps onto another");
  }
  return scaling;
}

// The runs of a track, in axis order. Of equal coordinates, the smallest spelling is kept
// (plain first, then the first read), as `breakpoints_of` keeps it.
std::vector<Run> merged_runs(Track const& track) {
  std::vector<std::size_t> order(track.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  auto const before = [&track](std::size_t a, std::size_t b) {
    return track.starts[a] < track.starts[b];
  };
  if (!std::is_sorted(order.begin(), order.end(), before)) {
    std::stable_sort(order.begin(), order.end(), before);
  }
  std::vector<Run> runs;
  for (auto const i : order) {
    auto const start = track.starts[i];
    auto const end = track.ends[i];
    if (!runs.empty() && start <= runs.back().end) {
      auto& run = runs.back();
      if (start == run.start)
        run.start_spelling = std::min(run.start_spelling, track.start_spelling(i));
      if (end > run.end) {
        run.end = end;
        run.end_spelling = track.end_spelling(i);
      } else if (end == run.end) {
        run.end_spelling = std::min(run.end_spelling, track.end_spelling(i));
      }
    } else {
      runs.push_back({start, end, track.start_spelling(i), track.end_spelling(i)});
    }
  }
  return runs;
}

// Sorted coordinates to breakpoints: of equal ones, the first (smallest spelling) is kept.
// Distinct ones all stay: the line's scaling keeps the library from snapping one onto
// another (`scaling_of`).
Breakpoints distinct(std::vector<std::pair<double, std::uint32_t>>& all, bool sorted) {
  if (!sorted) std::sort(all.begin(), all.end());
  Breakpoints result;
  result.x.reserve(all.size());
  result.spelling.reserve(all.size());
  for (auto const& [x, spelling] : all) {
    if (!result.x.empty() && x == result.x.back()) continue;
    result.x.push_back(x);
    result.spelling.push_back(spelling);
  }
  return result;
}

// The breakpoints of the runs (and 0 for BED). Each track's run ends are sorted already:
// they are merged a track at a time.
Breakpoints breakpoints_of_runs(std::vector<std::vector<Run>> const& runs, bool from_zero) {
  std::size_t total = from_zero ? 1 : 0;
  for (auto const& track : runs) total += 2 * track.size();
  std::vector<std::pair<double, std::uint32_t>> all;
  all.reserve(total);
  if (from_zero) all.emplace_back(0.0, Spellings::PLAIN);
  for (auto const& track : runs) {
    auto const middle = all.size();
    for (auto const& run : track) {
      all.emplace_back(run.start, run.start_spelling);
      all.emplace_back(run.end, run.end_spelling);
    }
    std::inplace_merge(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(middle), all.end());
  }
  return distinct(all, true);
}

// The rows of one line, through the library: each track becomes a curve whose edges are its
// runs, the background is the chain through their breakpoints, each curve is inserted with
// `insert_curve` (then dropped: the line keeps its uuid only), and one pass over the
// background edges, in axis order, records the set of curves each carries. Every vertex of
// the background is where the coverage of some curve changes, so each edge that carries
// something is a maximal stretch of one set of curves. The line is gone when this returns:
// the rows' text is written from the sets alone.
}  // namespace

LineRows overlay_line(SequenceTracks sequence, std::vector<std::string> const& names, bool bed) {
  LineRows rows;
  rows.sequence = bed ? sequence.name : std::string{};
  std::vector<std::vector<Run>> runs;
  std::size_t nb_runs = 0;
  for (auto const& track : sequence.tracks) {
    runs.push_back(merged_runs(track));
    nb_runs += runs.back().size();
  }
  rows.breakpoints = breakpoints_of_runs(runs, bed);
  auto const& breakpoints = rows.breakpoints;
  log_line(sequence, nb_runs, breakpoints);
  auto const scaling = logged_scaling(sequence, breakpoints);
  for (auto& track : sequence.tracks) track = Track{};
  auto const nb_points = static_cast<index_t>(breakpoints.x.size());
  if (nb_points < 2) return rows;

  // The background is built before the line over it, as the line reads it whole.
  auto curve = std::make_unique<EdgedCurve<1>>();
  {
    EdgedCurveBuilder<1> background_builder{*curve};
    background_builder.set_name(bed ? sequence.name : std::string{"background"});
    for (auto const x : breakpoints.x) {
      background_builder.create_point(Point<1>{{scaling.to_library(x)}});
    }
    for (index_t v = 0; v + 1 < nb_points; ++v) background_builder.create_edge(v, v + 1);
  }
  internal::LineStack stack{std::move(curve)};
  auto const& background = stack.curve();
  auto const& line = stack.line();
  auto& inserter = stack.inserter();

  std::vector<uuid> ids;
  for (std::size_t t = 0; t < runs.size(); ++t) {
    EdgedCurve<1> curve;
    {
      EdgedCurveBuilder<1> builder{curve};
      builder.set_name(names[t]);
      for (auto const& run : runs[t]) {
        auto const first = builder.create_point(Point<1>{{scaling.to_library(run.start)}});
        auto const second = builder.create_point(Point<1>{{scaling.to_library(run.end)}});
        builder.create_edge(first, second);
      }
    }
    ids.push_back(curve.id());
    if (runs[t].empty()) continue;
    runs[t] = std::vector<Run>{};
    try {
      inserter.insert_curve(curve);
    } catch (LumoraException const& error) {
      throw TrackError{TrackError::Kind::failed, "overlay_line",
                       line_label(sequence) + ": curve " + quote_text(names[t]) +
                           ": insertion failed: " + error.what()};
    }
  }
  // Every coordinate is a background vertex already: the insertions snap, never split.
  if (background.nb_vertices() != nb_points || background.nb_edges() + 1 != nb_points) {
    throw TrackError{TrackError::Kind::failed, "overlay_line",
                     line_label(sequence) + ": the insertions changed the background's vertices"};
  }

  EdgeRows edge_rows{std::move(rows.sequence), std::move(rows.breakpoints), line_label(sequence)};
  absl::flat_hash_map<uuid, std::size_t> curves;
  for (std::size_t t = 0; t < ids.size(); ++t) curves.insert_or_assign(ids[t], t);
  CurveSet carried{ids.size()};
  for (index_t edge = 0; edge + 1 < nb_points; ++edge) {
    carried.clear();
    for (auto const macro : line.macro_element_view(edge)) {
      auto const found = curves.find(macro.mesh_id);
      if (found == curves.end()) {
        throw TrackError{TrackError::Kind::failed, "overlay_line",
                         line_label(sequence) + ": the background records an unknown curve " +
                             macro.mesh_id.string()};
      }
      carried.insert(found->second);
    }
    edge_rows.add(edge_rows.breakpoints().x[edge], carried);
  }
  return std::move(edge_rows).finish();
}

Breakpoints row_breakpoints(SequenceTracks const& sequence, bool from_zero) {
  std::vector<std::vector<Run>> runs;
  for (auto const& track : sequence.tracks) runs.push_back(merged_runs(track));
  return breakpoints_of_runs(runs, from_zero);
}

Breakpoints breakpoints_of(SequenceTracks const& sequence, bool from_zero) {
  std::vector<std::pair<double, std::uint32_t>> all;
  all.reserve(2 * nb_intervals(sequence) + 1);
  if (from_zero) all.emplace_back(0.0, Spellings::PLAIN);
  for (auto const& track : sequence.tracks) {
    for (std::size_t i = 0; i < track.size(); ++i) {
      all.emplace_back(track.starts[i], track.start_spelling(i));
      all.emplace_back(track.ends[i], track.end_spelling(i));
    }
  }
  return distinct(all, false);
}

unsigned overlay_threads(unsigned requested, std::size_t count) {
  auto const cores = std::max(1U, std::thread::hardware_concurrency());
  auto threads = requested == 0 ? cores : std::min(requested, cores);
  if (count > 0) threads = static_cast<unsigned>(std::min<std::size_t>(threads, count));
  return threads;
}

void overlay(TrackSet& set, unsigned threads, std::function<void(LineRows const&)> const& sink) {
  bool const bed = set.format == TrackFormat::bed;
  auto const count = set.sequences.size();
  std::vector<LineRows> rows(count);
  run_in_order(
      count, overlay_threads(threads, count),
      [&](std::size_t i) { rows[i] = overlay_line(std::move(set.sequences[i]), set.names, bed); },
      [&](std::size_t i) {
        sink(rows[i]);
        rows[i] = LineRows{};
      });
}

std::vector<LineRows> overlay(TrackSet set, unsigned threads) {
  std::vector<LineRows> all;
  overlay(set, threads, [&all](LineRows const& rows) { all.push_back(rows); });
  return all;
}

}  // namespace velk::tracks

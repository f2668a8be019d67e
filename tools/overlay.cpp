#include "overlay.hpp"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <iostream>
#include <memory>
#include <mutex>
#include <numeric>
#include <system_error>
#include <thread>
#include <utility>

#include <velk/background_line.hpp>

#include "json_result_writer.hpp"
#include "output_files.hpp"
#include "text.hpp"
#include "tool_error.hpp"
#include "tsv_writer.hpp"
#include "writers.hpp"

namespace velk::tool {
namespace {

// How messages and the log name a line: the sequence, or "table" for a plain table.
std::string line_label(SequenceTracks const& sequence) {
  return sequence.name.empty() ? std::string{"table"} : quote_text(sequence.name);
}

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

// The scaling of a line's coordinates under which the library snaps no breakpoint onto
// another (`scaling_apart`), with `log` logged when it is not the identity. Throws
// `ToolError` (`EXIT_BAD_INPUT`) when there is none.
Scaling scaling_of(SequenceTracks const& sequence, Breakpoints const& breakpoints, bool log) {
  auto const scaling = scaling_apart(breakpoints.x);
  if (!scaling) {
    throw ToolError{EXIT_BAD_INPUT,
                    line_label(sequence) +
                        ": coordinates too close together for their magnitude to be told apart "
                        "(no scaling of the axis keeps every two distinct ones apart)"};
  }
  if (log && scaling->exponent != 0) {
    Logger::log_info(line_label(sequence) + ": distinct coordinates less than " +
                     format_number(GEOMETRIC_TOLERANCE) + " apart: scaled by 2^" +
                     std::to_string(scaling->exponent) +
                     " inside the library, so that none snaps onto another");
  }
  return *scaling;
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
LineRows overlay_line(SequenceTracks sequence, TrackSet const& set, bool bed) {
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
  auto const scaling = scaling_of(sequence, breakpoints, true);
  for (auto& track : sequence.tracks) track = Track{};
  auto const nb_points = static_cast<index_t>(breakpoints.x.size());
  if (nb_points < 2) return rows;

  BackgroundLineLibrary::initialize();
  EdgedCurve<1> background;
  EdgedCurveBuilder<1> background_builder{background};
  background_builder.set_name(bed ? sequence.name : std::string{"background"});
  for (auto const x : breakpoints.x) {
    background_builder.create_point(Point<1>{{scaling.to_library(x)}});
  }
  for (index_t v = 0; v + 1 < nb_points; ++v) background_builder.create_edge(v, v + 1);
  internal::BackgroundLine line{background};
  internal::BackgroundLineBuilder line_builder{line};
  internal::BackgroundLineModifier modifier{line, line_builder, background_builder};
  internal::BackgroundLineInserter inserter{{line, modifier}, line_builder};

  std::vector<uuid> ids;
  for (std::size_t t = 0; t < runs.size(); ++t) {
    EdgedCurve<1> curve;
    {
      EdgedCurveBuilder<1> builder{curve};
      builder.set_name(set.names[t]);
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
      throw ToolError{EXIT_FAILED, line_label(sequence) + ": curve " + quote_text(set.names[t]) +
                                       ": insertion failed: " + error.what()};
    }
  }
  // Every coordinate is a background vertex already: the insertions snap, never split.
  if (background.nb_vertices() != nb_points || background.nb_edges() + 1 != nb_points) {
    throw ToolError{EXIT_FAILED,
                    line_label(sequence) + ": the insertions changed the background's vertices"};
  }

  rows.set_of_edge.assign(nb_points - 1, LineRows::NO_SET);
  CurveLookup curves;
  for (std::size_t t = 0; t < ids.size(); ++t) curves.insert_or_assign(ids[t], t);
  CurveSet carried{ids.size()};
  for (index_t edge = 0; edge + 1 < nb_points; ++edge) {
    auto const macros = line.macro_element_view(edge);
    if (macros.empty()) continue;
    carried.clear();
    for (auto const macro : macros) {
      auto const found = curves.find(macro.mesh_id);
      if (found == curves.end()) {
        throw ToolError{EXIT_FAILED, line_label(sequence) +
                                         ": the background records an unknown curve " +
                                         macro.mesh_id.string()};
      }
      carried.insert(found->second);
    }
    rows.set_of_edge[edge] = rows.intern(carried);
  }
  return rows;
}

// A line's JSON result: its job (which the library's objects of the job refer to) and the
// job run, read by the JSON writer straight from the library. No job for a line of fewer
// than two breakpoints.
struct JsonPart {
  JobInput input;
  std::unique_ptr<Job> job;
};

// The document of a line with no background edge: its curves, with nothing inserted.
void write_empty_document(std::ostream& out, std::string const& background,
                          std::vector<std::string> const& names) {
  JsonResultWriter writer{out, names};
  writer.begin_background(background);
  for (std::size_t curve = 0; curve < names.size(); ++curve) {
    writer.begin_curve(curve);
    writer.end_curve();
  }
  writer.finish();
}

}  // namespace

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

JobInput job_input_of(SequenceTracks const& sequence, std::vector<std::string> const& names,
                      Breakpoints const& breakpoints) {
  JobInput input;
  input.background.name = sequence.name.empty() ? std::string{"background"} : sequence.name;
  input.background.points = breakpoints.x;
  for (index_t v = 0; v + 1 < breakpoints.x.size(); ++v) {
    input.background.edges.push_back({v, v + 1});
  }
  for (std::size_t t = 0; t < sequence.tracks.size(); ++t) {
    auto const& track = sequence.tracks[t];
    CurveData curve{names[t], {}, {}, std::nullopt};
    curve.points.reserve(2 * track.size());
    curve.edges.reserve(track.size());
    for (std::size_t i = 0; i < track.size(); ++i) {
      auto const first = static_cast<index_t>(curve.points.size());
      curve.points.push_back(track.starts[i]);
      curve.points.push_back(track.ends[i]);
      curve.edges.push_back({first, first + 1});
    }
    input.curves.push_back(std::move(curve));
  }
  return input;
}

void run_in_order(std::size_t count, unsigned threads, std::function<void(std::size_t)> const& work,
                  std::function<void(std::size_t)> const& consume) {
  if (count == 0) return;
  if (threads <= 1 || count == 1) {
    for (std::size_t i = 0; i < count; ++i) {
      work(i);
      consume(i);
    }
    return;
  }
  threads = static_cast<unsigned>(std::min<std::size_t>(threads, count));
  std::size_t const ahead = 2 * std::size_t{threads};
  std::mutex mutex;
  std::condition_variable changed;
  std::size_t next = 0;
  std::size_t consumed = 0;
  bool stop = false;
  std::vector<char> done(count, 0);
  std::vector<std::exception_ptr> errors(count);

  auto const worker = [&] {
    while (true) {
      std::size_t item = 0;
      {
        std::unique_lock<std::mutex> lock{mutex};
        changed.wait(lock, [&] { return stop || next >= count || next < consumed + ahead; });
        if (stop || next >= count) return;
        item = next++;
      }
      std::exception_ptr error;
      try {
        work(item);
      } catch (...) {
        error = std::current_exception();
      }
      {
        std::lock_guard<std::mutex> lock{mutex};
        done[item] = 1;
        errors[item] = error;
      }
      changed.notify_all();
    }
  };
  std::vector<std::thread> pool;
  auto const finish = [&] {
    {
      std::lock_guard<std::mutex> lock{mutex};
      stop = true;
    }
    changed.notify_all();
    for (auto& thread : pool) thread.join();
    pool.clear();
  };
  // Threads the system refuses (a limit on processes, say) are done without: with none at
  // all, everything runs on the calling thread.
  for (unsigned t = 0; t < threads; ++t) {
    try {
      pool.emplace_back(worker);
    } catch (std::system_error const&) {
      break;
    }
  }
  if (pool.empty()) {
    for (std::size_t i = 0; i < count; ++i) {
      work(i);
      consume(i);
    }
    return;
  }
  try {
    for (std::size_t i = 0; i < count; ++i) {
      std::exception_ptr error;
      {
        std::unique_lock<std::mutex> lock{mutex};
        changed.wait(lock, [&] { return done[i] != 0; });
        error = errors[i];
      }
      if (error) std::rethrow_exception(error);
      consume(i);
      {
        std::lock_guard<std::mutex> lock{mutex};
        consumed = i + 1;
      }
      changed.notify_all();
    }
  } catch (...) {
    finish();
    throw;
  }
  finish();
}

void run_overlay(OverlayOptions const& options) {
  // Output paths are checked first: a bad one is refused before any long work.
  OutputFiles outputs;
  outputs.protect_inputs(options.files);
  if (!options.output.empty()) outputs.add(options.output, {});
  if (!options.json.empty()) outputs.add(options.json, {});

  std::vector<std::string> names;
  if (!options.names.empty()) {
    std::size_t begin = 0;
    while (true) {
      auto const comma = options.names.find(',', begin);
      names.push_back(options.names.substr(begin, comma - begin));
      if (comma == std::string::npos) break;
      begin = comma + 1;
    }
  }
  auto set = read_tracks(options.files, std::move(names), options.format);
  bool const bed = set.format == TrackFormat::bed;
  for (std::size_t i = 0; i < options.files.size(); ++i) {
    auto const& counts = set.counts[i];
    std::string line = "read " + options.files[i] + ": " + count_of(counts.rows, "interval");
    if (bed && counts.zero_length > 0) {
      line += ", of which " + std::to_string(counts.zero_length) +
              " of length zero, read as the bases on both sides";
    }
    if (counts.headers > 0) {
      line += "; " + count_of(counts.headers, "header line") + " skipped (line " +
              std::to_string(counts.first_header_line) + ": " + quote_text(counts.first_header) +
              (counts.headers > 1 ? ", ..." : "") + ")";
    }
    Logger::log_info(line);
    if (!bed && counts.zero_length > 0) {
      // A row [s, s] of a table covers no part of the axis: it has no place in the output.
      Logger::log_warn(options.files[i] + ": " + count_of(counts.zero_length, "row") +
                       " of length zero (start equal to end) left out: " +
                       (counts.zero_length == 1 ? "it covers" : "they cover") + " nothing");
    }
  }

  // At most one thread per core and one per sequence: more only wait for a core and hold
  // more lines in memory at once.
  auto const cores = std::max(1U, std::thread::hardware_concurrency());
  auto const count = set.sequences.size();
  auto threads = options.threads == 0 ? cores : std::min(options.threads, cores);
  if (count > 0) threads = static_cast<unsigned>(std::min<std::size_t>(threads, count));
  if (options.threads > threads) {
    Logger::log_info("--threads " + std::to_string(options.threads) + ": " +
                     count_of(threads, "thread") + " (at most one per core, " +
                     std::to_string(cores) + ", and one per sequence, " + std::to_string(count) +
                     ")");
  }
  bool const with_json = !options.json.empty();

  auto const run = [&](std::ostream& tsv, std::ostream* json) {
    std::vector<LineRows> rows(count);
    std::vector<std::unique_ptr<JsonPart>> parts(count);
    auto const work = [&](std::size_t i) {
      // Each work owns its sequence: the tracks are freed as soon as they are inserted.
      auto sequence = std::move(set.sequences[i]);
      if (!with_json) {
        rows[i] = overlay_line(std::move(sequence), set, bed);
        return;
      }
      // The JSON reports every row as an edge of its own: the job of `insert` on the rows.
      auto const label = line_label(sequence);
      auto breakpoints = breakpoints_of(sequence, bed);
      auto part = std::make_unique<JsonPart>();
      part->input = job_input_of(sequence, set.names, breakpoints);
      JobOptions job_options;
      job_options.scaling = scaling_of(sequence, breakpoints, false);
      rows[i] = overlay_line(std::move(sequence), set, bed);
      if (breakpoints.x.size() >= 2) {
        Logger::log_info(label + ": every row as an edge, for the JSON result");
        part->job = std::make_unique<Job>(part->input, label, std::move(job_options));
      }
      parts[i] = std::move(part);
    };
    auto const consume = [&](std::size_t i) {
      write_rows(tsv, rows[i], set.names, set.spellings);
      // Standard output that failed fails the run at once (a file's failure is its commit's).
      if (&tsv == &std::cout && !tsv) throw_stdout_failure();
      rows[i] = LineRows{};
      if (json != nullptr) {
        if (bed) *json << (i == 0 ? "[\n" : ",\n");
        if (parts[i]->job) {
          write_json(*json, *parts[i]->job);
        } else {
          write_empty_document(*json, parts[i]->input.background.name, set.names);
        }
        parts[i].reset();
      }
    };
    run_in_order(count, threads, work, consume);
    if (json != nullptr) {
      if (bed) {
        *json << (count == 0 ? "[]\n" : "]\n");
      } else if (count == 0) {
        write_empty_document(*json, "background", set.names);
      }
    }
  };

  if (outputs.targets().empty()) {
    run(std::cout, nullptr);
  } else {
    outputs.commit_streams([&](std::vector<std::ostream*> const& streams) {
      auto& tsv = options.output.empty() ? std::cout : *streams.front();
      run(tsv, with_json ? streams.back() : nullptr);
    });
  }
  flush_stdout();
  for (auto const& target : outputs.targets()) Logger::log_info("wrote " + target.string());
}

}  // namespace velk::tool

#include "overlay/overlay.hpp"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <memory>
#include <thread>
#include <unordered_map>
#include <utility>

#include <absl/strings/str_split.h>
#include <velk/background_line.hpp>
#include <velk/tracks.hpp>

#include "common/output_files.hpp"
#include "common/text.hpp"
#include "common/tool_error.hpp"
#include "insert/job.hpp"
#include "insert/json_result_writer.hpp"
#include "insert/writers.hpp"

namespace velk::tool {
namespace {

using namespace velk::tracks;

// The tracks library's error as the tool's.
ToolError tool_error(TrackError const& error) {
  return ToolError{error.kind() == TrackError::Kind::bad_input ? EXIT_BAD_INPUT : EXIT_FAILED,
                   error.detail()};
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

// The line of one sequence as a job of `insert`: the background is the chain through the
// breakpoints, and each track is a curve with one edge per interval (points 2i and 2i + 1).
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

// The background edges of a job on a line's rows, in axis order, each with the tracks (the
// job's curves) it carries.
void add_edges(EdgeRows& rows, Job const& job) {
  std::vector<std::pair<double, index_t>> edges(job.nb_edges());
  for (index_t e = 0; e < job.nb_edges(); ++e) {
    auto const [a, b] = job.edge_vertices(e);
    edges[e] = {std::min(job.x(a), job.x(b)), e};
  }
  if (!std::is_sorted(edges.begin(), edges.end())) std::sort(edges.begin(), edges.end());
  CurveSet carried{job.input().curves.size()};
  for (auto const& [start, edge] : edges) {
    carried.clear();
    job.for_each_macro_element(edge,
                               [&carried](MacroRef const& macro) { carried.insert(macro.curve); });
    rows.add(start, carried);
  }
}

void run_overlay_job(OverlayOptions const& options) {
  // Output paths are checked first: a bad one is refused before any long work.
  OutputFiles outputs;
  outputs.protect_inputs(options.files);
  if (!options.output.empty()) outputs.add(options.output, {});
  if (!options.json.empty()) outputs.add(options.json, {});

  std::vector<std::string> names;
  if (!options.names.empty()) names = absl::StrSplit(options.names, ',');
  std::unordered_map<std::string, double> lengths;
  if (!options.genome.empty()) lengths = read_genome(options.genome);
  // Sorted input (every file's rows grouped by sequence, in name order) is read one sequence
  // at a time, a batch of one per thread, so that memory follows the largest sequences, not
  // the whole input; any other input is read whole first.
  std::string why;
  std::unique_ptr<TrackStream> stream;
  TrackSet whole;
  if (grouped_by_sequence(options.files, options.format, why)) {
    stream = std::make_unique<TrackStream>(options.files, std::move(names), options.format);
  } else {
    if (!why.empty()) {
      Logger::log_info(why +
                       ": the input is not sorted by sequence name, so all of it is read "
                       "into memory first (sorted input, as `sort -k1,1 -k2,2n` sorts it, "
                       "is read one sequence at a time)");
    }
    whole = read_tracks(options.files, std::move(names), options.format);
  }
  TrackSet& set = stream ? stream->set() : whole;
  auto const log_counts = [&] {
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
  };
  if (!stream) log_counts();

  // At most one thread per core and one per sequence: more only wait for a core and hold
  // more lines in memory at once.
  auto const cores = std::max(1U, std::thread::hardware_concurrency());
  auto const nb_sequences = stream ? std::size_t{0} : whole.sequences.size();
  auto const threads = overlay_threads(options.threads, nb_sequences);
  if (options.threads > threads) {
    Logger::log_info(
        "--threads " + std::to_string(options.threads) + ": " + count_of(threads, "thread") +
        " (at most one per core, " + std::to_string(cores) +
        (stream ? std::string{} : ", and one per sequence, " + std::to_string(nb_sequences)) + ")");
  }
  bool const with_json = !options.json.empty();

  auto const run = [&](std::ostream& tsv, std::ostream* json) {
    if (options.header) tsv << header_row(set.names, set.format != TrackFormat::table);
    std::size_t written = 0;  // sequences written so far
    std::vector<SequenceTracks> batch;
    while (true) {
      batch.clear();
      if (stream) {
        SequenceTracks sequence;
        while (batch.size() < threads && stream->next(sequence))
          batch.push_back(std::move(sequence));
      } else if (written == 0) {
        batch = std::move(whole.sequences);
      }
      if (batch.empty()) break;
      auto const count = batch.size();
      bool const bed = set.format == TrackFormat::bed;
      std::vector<LineRows> rows(count);
      std::vector<std::unique_ptr<JsonPart>> parts(count);
      auto const work = [&](std::size_t i) {
        // Each work owns its sequence: the tracks are freed as soon as they are inserted.
        auto sequence = std::move(batch[i]);
        if (!with_json) {
          rows[i] = overlay_line(std::move(sequence), set.names, bed);
          return;
        }
        // The JSON reports every row as an edge of its own: the job of `insert` on the rows.
        // The rows are read from the same line.
        auto const label = line_label(sequence);
        auto breakpoints = breakpoints_of(sequence, bed);
        auto part = std::make_unique<JsonPart>();
        part->input = job_input_of(sequence, set.names, breakpoints);
        JobOptions job_options;
        job_options.scaling = line_scaling(sequence, breakpoints);
        EdgeRows edge_rows{bed ? sequence.name : std::string{}, row_breakpoints(sequence, bed),
                           label};
        sequence = SequenceTracks{};
        if (breakpoints.x.size() >= 2) {
          Logger::log_info(label + ": every row as an edge, for the JSON result and the rows");
          part->job = std::make_unique<Job>(part->input, label, std::move(job_options));
          add_edges(edge_rows, *part->job);
        }
        rows[i] = std::move(edge_rows).finish();
        parts[i] = std::move(part);
      };
      auto const consume = [&](std::size_t i) {
        RowsStyle style;
        style.empty = options.empty;
        if (auto const found = lengths.find(rows[i].sequence); found != lengths.end()) {
          style.length = found->second;
        }
        // Log lines wait in stderr's buffer: out with this line's before its rows on stdout.
        if (&tsv == &std::cout) std::fflush(stderr);
        write_rows(tsv, rows[i], set.names, set.spellings, style);
        // Standard output that failed fails the run at once (a file's failure is its commit's).
        if (&tsv == &std::cout && !tsv) throw_stdout_failure();
        rows[i] = LineRows{};
        if (json != nullptr) {
          if (bed) *json << (written == 0 ? "[\n" : ",\n");
          if (parts[i]->job) {
            write_json(*json, *parts[i]->job);
          } else {
            write_empty_document(*json, parts[i]->input.background.name, set.names);
          }
          parts[i].reset();
        }
        ++written;
      };
      run_in_order(count, threads, work, consume);
    }
    if (stream) log_counts();
    if (json != nullptr) {
      if (set.format == TrackFormat::bed) {
        *json << (written == 0 ? "[]\n" : "]\n");
      } else if (written == 0) {
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

}  // namespace

void run_overlay(OverlayOptions const& options) {
  try {
    run_overlay_job(options);
  } catch (TrackError const& error) {
    throw tool_error(error);
  }
}

}  // namespace velk::tool

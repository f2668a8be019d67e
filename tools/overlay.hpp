// The `overlay` command: interval tracks (BED files or plain tables, one curve per file)
// inserted into one background line per sequence, written as the rows of the background
// edges that carry something (`seq start end count names`) and, on request, as the full
// result in the JSON schema of `insert`. Sequences run in parallel, one thread per line.
//
//   velk::tool::OverlayOptions options;
//   options.files = {"a.bed", "b.bed.gz"};
//   velk::tool::run_overlay(options);   // rows on stdout
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "job.hpp"
#include "track_reader.hpp"
#include "tsv_writer.hpp"

namespace CLI {
class App;
class Validator;
}  // namespace CLI

namespace velk::tool {

struct OverlayOptions {
  std::vector<std::string> files;
  std::string output;           // rows; empty: standard output
  std::string json;             // empty: no JSON
  std::string names;            // comma-separated; empty: from the file names
  std::string format = "auto";  // auto, bed or table
  unsigned threads = 0;         // 0: one per core
};

// A check of an option naming an output file: refused when empty.
CLI::Validator non_empty_name();

// Adds the `overlay` subcommand, its arguments and options (but not the log options) to
// `app`, filling `options`; returns the subcommand.
CLI::App* add_overlay_command(CLI::App& app, OverlayOptions& options);

// Runs the command. Throws `ToolError` as `insert` does (2 for unusable input, 1 when an
// insertion fails or an output cannot be written); no output file is left on failure.
void run_overlay(OverlayOptions const& options);

// The breakpoints of a line for its JSON result: every start and end of its rows (and 0 for
// BED), sorted and distinct, each with the spelling it is printed in (a plain integer
// spelling first, else the first spelling read). A coordinate within the geometric
// tolerance of the previous one is dropped: the library snaps it onto that one.
Breakpoints breakpoints_of(SequenceTracks const& sequence, bool from_zero);

// The line of one sequence as a job of `insert`: the background is the chain through the
// breakpoints, and each track is a curve with one edge per interval (points 2i and 2i + 1).
JobInput job_input_of(SequenceTracks const& sequence, std::vector<std::string> const& names,
                      Breakpoints const& breakpoints);

// Runs `work(i)` for i = 0 .. count - 1 on up to `threads` threads, and `consume(i)` on the
// calling thread in the order of i, each once work i and every earlier consume are done (a
// work's writes are then visible to its consume). At most `2 * threads` works run ahead of
// the consumes. One thread (or one item) runs everything on the calling thread. The first
// exception (of a work, in the order of i, or of a consume) stops the run and propagates once
// every thread has finished its current work.
void run_in_order(std::size_t count, unsigned threads, std::function<void(std::size_t)> const& work,
                  std::function<void(std::size_t)> const& consume);

}  // namespace velk::tool

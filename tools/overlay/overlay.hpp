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
#include <string>
#include <vector>

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
  std::string format = "auto";  // auto, bed, table, gff or vcf
  unsigned threads = 0;         // 0: one per core
  bool header = false;          // a header line before the rows
  bool empty = false;           // also the stretches nothing covers
  std::string genome;           // sequence lengths, for `empty`
};

// A check of an option naming an output file: refused when empty.
CLI::Validator non_empty_name();

// Adds the `overlay` subcommand, its arguments and options (but not the log options) to
// `app`, filling `options`; returns the subcommand.
CLI::App* add_overlay_command(CLI::App& app, OverlayOptions& options);

// The command line with `bedtools multiinter`'s spellings of the options of `overlay`
// (-header, -empty, -g, -names A B ..., -i FILE ...) written as ours; others unchanged.
std::vector<std::string> with_long_spellings(std::vector<std::string> arguments);

// Runs the command. Throws `ToolError` as `insert` does (2 for unusable input, 1 when an
// insertion fails or an output cannot be written); no output file is left on failure.
void run_overlay(OverlayOptions const& options);

}  // namespace velk::tool

// velk-background-line: runs the background line library's main job from the command line.
//
//   velk-background-line demo [--out DIR]
//   velk-background-line insert INPUT.json [-o result.json] [--vtk F] [--svg F] [--summary]
//                               [--keep-going] [--tolerance T]
//                               [--log-level info|debug|trace|warn|err|critical|off] [--quiet]
//   velk-background-line overlay FILE... [-o OUT.tsv] [--json OUT.json] [--names N1,N2,...]
//                                [--format auto|bed|table] [--threads N] [--log-level L] [--quiet]
//
// Errors are one line on stderr, prefixed with the tool's name; the exit code is 2 for
// unusable input or arguments, 1 when an insertion fails and 3 when --keep-going left a
// curve out (see docs/format.md).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include <CLI/CLI.hpp>
#include <velk/background_line.hpp>

#include "common/output_files.hpp"
#include "common/text.hpp"
#include "common/tool_error.hpp"
#include "insert/demo_data.hpp"
#include "insert/input.hpp"
#include "insert/job.hpp"
#include "insert/preflight.hpp"
#include "insert/writers.hpp"
#include "overlay/overlay.hpp"

namespace {

namespace fs = std::filesystem;
using velk::Logger;
using namespace velk::tool;

constexpr char const* TOOL_NAME = "velk-background-line";

std::map<std::string, Logger::LEVEL> const& log_levels() {
  static std::map<std::string, Logger::LEVEL> const levels{
      {"info", Logger::LEVEL::info},   {"debug", Logger::LEVEL::debug},
      {"trace", Logger::LEVEL::trace}, {"warn", Logger::LEVEL::warn},
      {"err", Logger::LEVEL::err},     {"critical", Logger::LEVEL::critical},
      {"off", Logger::LEVEL::off}};
  return levels;
}

// Options both commands take.
struct LogOptions {
  std::string level = "info";
  bool quiet = false;
};

struct InsertOptions {
  LogOptions log;
  std::string input;
  std::string json = "result.json";
  std::string vtk;
  std::string svg;
  bool summary = false;
  bool keep_going = false;
  double tolerance = velk::GEOMETRIC_TOLERANCE;
};

struct OverlayCommandOptions {
  LogOptions log;
  OverlayOptions overlay;
};

struct DemoOptions {
  LogOptions log;
  std::string out = "velk-demo";
};

void add_log_options(CLI::App& command, LogOptions& options) {
  std::vector<std::string> names;
  for (auto const& level : log_levels()) names.push_back(level.first);
  command
      .add_option("--log-level", options.level,
                  "Lowest level of the log lines shown on stderr (progress is at info)")
      ->check(CLI::IsMember(names))
      ->capture_default_str();
  command.add_flag("-q,--quiet", options.quiet,
                   "Show no log line on stderr (same as --log-level off); errors still show");
}

// Sets the level, and a sink that keeps every log line on one line of stderr: the library's
// progress lines hold curve names, which may hold line breaks. Lines go out through a
// buffered stderr, one write per line into the buffer and the buffer flushed at most ten
// times a second (and at exit, and by every error message, which goes through the same
// buffer): two progress lines per curve, unbuffered, cost seconds on 160 000 curves.
// Log lines wait in stderr's buffer: out with them before the results go to stdout, so that a
// terminal showing both shows them in the order they happened.
void flush_log() { std::fflush(stderr); }

void set_up_logger(LogOptions const& options) {
  Logger::set_level(options.quiet ? Logger::LEVEL::off : log_levels().at(options.level));
  static char buffer[1 << 16];
  std::setvbuf(stderr, buffer, _IOFBF, sizeof(buffer));
  Logger::set_handler([](Logger::LEVEL level, std::string_view line) {
    // Called under the logger's lock: one thread at a time.
    static std::string text;
    static auto last_flush = std::chrono::steady_clock::now();
    text.assign(1, '[');
    text += Logger::level_name(level);
    text += "] ";
    text += single_line(line, line.size());
    text += '\n';
    std::fwrite(text.data(), 1, text.size(), stderr);
    auto const now = std::chrono::steady_clock::now();
    if (now - last_flush >= std::chrono::milliseconds{100}) {
      std::fflush(stderr);
      last_flush = now;
    }
  });
}

int run_insert(InsertOptions const& options) {
  set_up_logger(options.log);
  // Output paths are checked first: a bad one is refused before any long work.
  JobInput input;
  std::unique_ptr<Job> job;
  OutputFiles outputs;
  outputs.protect_inputs({options.input});
  outputs.add(options.json, [&](std::ostream& out) { write_json(out, *job); });
  if (!options.vtk.empty()) {
    outputs.add(options.vtk, [&](std::ostream& out) { write_vtk(out, *job); });
  }
  if (!options.svg.empty()) {
    outputs.add(options.svg, [&](std::ostream& out) { write_svg(out, *job); });
  }
  check_tolerance(options.tolerance);
  input = read_input(options.input);
  Logger::log_info("read " + options.input + ": background " + quote_text(input.background.name) +
                   " with " + count_of(input.background.edges.size(), "edge") + ", " +
                   count_of(input.curves.size(), "input curve"));
  job = std::make_unique<Job>(
      input, options.input,
      prepare_job(input, options.input, options.tolerance, options.keep_going));
  outputs.commit();
  flush_log();
  if (options.summary) write_summary(std::cout, *job);
  for (auto const& target : outputs.targets()) Logger::log_info("wrote " + target.string());
  return job->left_out().empty() ? 0 : EXIT_LEFT_OUT;
}

int run_demo(DemoOptions const& options) {
  set_up_logger(options.log);
  fs::path const directory{options.out};
  std::error_code error;
  fs::create_directories(directory, error);
  if (error || !fs::is_directory(directory)) {
    throw ToolError{EXIT_BAD_INPUT, options.out + ": cannot create the output directory" +
                                        (error ? ": " + error.message() : std::string{})};
  }
  auto const input = demo_input();
  check_input(input, "demo");
  OutputFiles outputs;
  std::unique_ptr<Job> job;
  outputs.add(directory / "result.json", [&](std::ostream& out) { write_json(out, *job); });
  outputs.add(directory / "result.vtk", [&](std::ostream& out) { write_vtk(out, *job); });
  outputs.add(directory / "result.svg", [&](std::ostream& out) { write_svg(out, *job); });
  job = std::make_unique<Job>(input, "demo");
  outputs.commit();
  flush_log();
  write_summary(std::cout, *job);
  std::cout << "\nWrote";
  for (auto const& target : outputs.targets()) std::cout << ' ' << target.string();
  std::cout << '\n';
  return 0;
}

[[noreturn]] void fail(int exit_code, std::string const& message) {
  std::cerr << TOOL_NAME << ": " << single_line(message, message.size()) << std::endl;
  std::exit(exit_code);
}

// The exit code of a run that went well, once what it wrote to standard output (a summary,
// the demo's, help) is out: a failed write fails the run.
int finish(int exit_code) {
  try {
    flush_stdout();
  } catch (ToolError const& error) {
    fail(error.exit_code(), error.what());
  }
  return exit_code;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "Inserts 1D curves into a background line and reports which background edges "
      "carry each input edge.",
      TOOL_NAME};
  app.set_version_flag("--version", VELK_TOOL_VERSION);
  app.require_subcommand(1);

  DemoOptions demo;
  auto* demo_command = app.add_subcommand(
      "demo",
      "Run the embedded example: print a summary and write result.json, result.vtk and "
      "result.svg into the output directory");
  demo_command->add_option("--out", demo.out, "Output directory")
      ->capture_default_str()
      ->check(non_empty_name());
  add_log_options(*demo_command, demo.log);

  InsertOptions insert;
  auto* insert_command = app.add_subcommand(
      "insert", "Insert the curves of a JSON file (see docs/format.md) into its background");
  insert_command->add_option("input", insert.input, "Input JSON file")->required();
  insert_command->add_option("-o,--output", insert.json, "Result JSON file")
      ->capture_default_str()
      ->check(non_empty_name());
  insert_command->add_option("--vtk", insert.vtk, "Also write the background as VTK polydata")
      ->check(non_empty_name());
  insert_command->add_option("--svg", insert.svg, "Also write an SVG picture of the result")
      ->check(non_empty_name());
  insert_command->add_flag("--summary", insert.summary, "Print a readable summary on stdout");
  insert_command->add_flag("--keep-going", insert.keep_going,
                           "Leave out the curves with a point on no background edge, insert "
                           "the others and exit with 3 when any was left out");
  insert_command
      ->add_option("--tolerance", insert.tolerance, "Snapping distance, in the input's units")
      ->capture_default_str();
  add_log_options(*insert_command, insert.log);

  OverlayCommandOptions overlay;
  auto* overlay_command = add_overlay_command(app, overlay.overlay);
  add_log_options(*overlay_command, overlay.log);

  // CLI11 would report an unknown command as a missing one.
  if (argc > 1 && argv[1][0] != '-' && std::string_view{argv[1]} != "demo" &&
      std::string_view{argv[1]} != "insert" && std::string_view{argv[1]} != "overlay") {
    fail(EXIT_BAD_INPUT,
         "unknown command " + quote_text(argv[1]) + " (commands: demo, insert, overlay)");
  }
  // bedtools' single-dash spellings of overlay's options would read as bundles of flags.
  std::vector<std::string> arguments(argv, argv + argc);
  arguments = with_long_spellings(std::move(arguments));
  std::vector<char*> pointers;
  for (auto& argument : arguments) pointers.push_back(argument.data());
  try {
    app.parse(static_cast<int>(pointers.size()), pointers.data());
  } catch (CLI::Success const& success) {
    auto const code = app.exit(success);
    return finish(code);
  } catch (CLI::ParseError const& error) {
    fail(EXIT_BAD_INPUT, std::string{error.what()} + " (run with --help for usage)");
  }

  try {
    if (demo_command->parsed()) return finish(run_demo(demo));
    if (overlay_command->parsed()) {
      set_up_logger(overlay.log);
      run_overlay(overlay.overlay);
      return finish(0);
    }
    return finish(run_insert(insert));
  } catch (ToolError const& error) {
    fail(error.exit_code(), error.what());
  } catch (std::bad_alloc const&) {
    fail(EXIT_FAILED,
         "out of memory (in a large job, mostly the background line's macro information, "
         "which grows with the number of background edges each input edge runs over)");
  } catch (std::exception const& error) {
    fail(EXIT_FAILED, std::string{"unexpected failure: "} + error.what());
  }
}

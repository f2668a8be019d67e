// The command line of `overlay`, kept apart from main.cpp.
#include <CLI/CLI.hpp>

#include "overlay.hpp"

namespace velk::tool {

CLI::Validator non_empty_name() {
  return CLI::Validator{[](std::string& value) {
                          return value.empty() ? std::string{"the file name is empty"}
                                               : std::string{};
                        },
                        "", "NON_EMPTY"};
}

CLI::App* add_overlay_command(CLI::App& app, OverlayOptions& options) {
  auto* command = app.add_subcommand(
      "overlay",
      "Overlay interval tracks (BED files or tables of start end rows, one curve per file): "
      "write each stretch of the axis that some track covers, with the tracks that cover it "
      "(see docs/format.md)");
  command
      ->add_option("files", options.files,
                   "Input tracks: BED files (seq start end ...) or tables (start end); "
                   "gzip data is read through zlib; - reads standard input")
      ->required();
  command
      ->add_option("-o,--output", options.output,
                   "Rows file (seq start end count names); default: standard output")
      ->check(non_empty_name());
  command
      ->add_option("--json", options.json,
                   "Also write the full result in the JSON schema of insert (for BED, an array "
                   "with one document per sequence)")
      ->check(non_empty_name());
  command->add_option("--names", options.names,
                      "Curve names, comma-separated, one per file (default: the file's base "
                      "name without .gz and its last extension)");
  command->add_option("--format", options.format, "Input format")
      ->check(CLI::IsMember({"auto", "bed", "table"}))
      ->capture_default_str();
  command
      ->add_option("--threads", options.threads,
                   "Lines inserted at once, one per thread (0: one per core); at most one "
                   "per core and one per sequence")
      ->capture_default_str();
  return command;
}

}  // namespace velk::tool

// The command line of `overlay`, kept apart from main.cpp.
#include <CLI/CLI.hpp>

#include <string>
#include <vector>

#include "overlay/overlay.hpp"

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
      "(see docs/format.md). Writes the rows of `bedtools multiinter` (seq start end count "
      "names, then a 0/1 column per file) and accepts its spellings -i, -names, -header, "
      "-empty and -g; its -cluster is not offered");
  command
      ->add_option("files", options.files,
                   "Input tracks: BED files (seq start end ...), GFF/GTF, VCF or tables (start "
                   "end); gzip data is read through zlib; - reads standard input")
      ->required();
  command
      ->add_option("-o,--output", options.output,
                   "Rows file (seq start end count names and a 0/1 column per file); default: "
                   "standard output")
      ->check(non_empty_name());
  command
      ->add_option("--json", options.json,
                   "Also write the full result in the JSON schema of insert (for BED, an array "
                   "with one document per sequence)")
      ->check(non_empty_name());
  command->add_option("--names", options.names,
                      "Curve names, comma-separated, one per file (default: the file's base "
                      "name without .gz and its last extension)");
  command->add_option("--format", options.format, "Input format (auto: by name, then content)")
      ->check(CLI::IsMember({"auto", "bed", "table", "gff", "vcf"}))
      ->capture_default_str();
  command->add_flag("--header", options.header,
                    "Start the rows with a header line: chrom start end num list and the names");
  auto* genome = command
                     ->add_option("--genome", options.genome,
                                  "Genome file of sequence lengths (seq<TAB>length lines), for "
                                  "--empty")
                     ->check(CLI::ExistingFile);
  command
      ->add_flag("--empty", options.empty,
                 "Also write the stretches no track covers (count 0, names none), from 0 up "
                 "to the sequence's length in the --genome file")
      ->needs(genome);
  command
      ->add_option("--threads", options.threads,
                   "Lines inserted at once, one per thread (0: one per core); at most one "
                   "per core and one per sequence")
      ->capture_default_str();
  return command;
}

std::vector<std::string> with_long_spellings(std::vector<std::string> arguments) {
  if (arguments.size() < 2 || arguments[1] != "overlay") return arguments;
  std::vector<std::string> result(arguments.begin(), arguments.begin() + 2);
  auto const is_option = [](std::string const& text) { return text.size() > 1 && text[0] == '-'; };
  for (std::size_t i = 2; i < arguments.size(); ++i) {
    auto const& argument = arguments[i];
    if (argument == "-header" || argument == "-empty") {
      result.push_back("-" + argument);
    } else if (argument == "-g") {
      result.emplace_back("--genome");
    } else if (argument == "-i") {
      // The files that follow are the command's positional arguments.
    } else if (argument == "-names") {
      std::string names;
      for (; i + 1 < arguments.size() && !is_option(arguments[i + 1]); ++i) {
        names += (names.empty() ? "" : ",") + arguments[i + 1];
      }
      result.emplace_back("--names");
      result.push_back(names);
    } else {
      result.push_back(argument);
    }
  }
  return result;
}

}  // namespace velk::tool

// Output files written all or nothing: each is written to a temporary file beside its
// target, and the temporaries are renamed into place only once every one of them was
// written completely, so that a failure leaves no output file, whole or partial.
//
//   velk::tool::OutputFiles outputs;
//   outputs.add("result.json", [&](std::ostream& out) { velk::tool::write_json(out, job); });
//   outputs.commit();
#pragma once

#include <filesystem>
#include <functional>
#include <ostream>
#include <vector>

namespace velk::tool {

class OutputFiles {
 public:
  using Writer = std::function<void(std::ostream&)>;

  OutputFiles() = default;
  OutputFiles(OutputFiles const&) = delete;
  OutputFiles& operator=(OutputFiles const&) = delete;

  // Removes the temporaries of a commit that did not finish.
  ~OutputFiles();

  // Plans `target`, written by `writer` at commit time. Checks at once that its directory
  // exists, that it is not itself a directory and that no other planned output has the same
  // path: throws `ToolError` (`EXIT_BAD_INPUT`) otherwise, so that bad paths are refused
  // before any long work.
  void add(std::filesystem::path const& target, Writer writer);

  // Writes every planned file to a new temporary file in its target's directory, then
  // renames each into place. Throws `ToolError` (`EXIT_FAILED`) naming the file when a
  // write fails; every temporary is then removed and no target was touched.
  void commit();

  // The planned targets, in the order they were added.
  std::vector<std::filesystem::path> targets() const;

 private:
  struct Planned {
    std::filesystem::path target;
    Writer writer;
    std::filesystem::path temporary;
  };

  void remove_temporaries() noexcept;

  std::vector<Planned> planned_;
};

}  // namespace velk::tool

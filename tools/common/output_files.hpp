// Output files written all or nothing: each is written to a temporary file beside its
// target, and the temporaries are put in place only once every one of them was written
// completely, so that a failure leaves no output file, whole or partial.
//
//   velk::tool::OutputFiles outputs;
//   outputs.add("result.json", [&](std::ostream& out) { velk::tool::write_json(out, job); });
//   outputs.commit();
//
// Where the file system allows it (Linux, O_TMPFILE), a temporary has no name until it is
// put in place, so that even a process killed outright (by the kernel's out-of-memory
// killer, say) leaves nothing behind. Elsewhere it is a hidden ".NAME.XXXXXX" file, removed
// on every error and on SIGINT, SIGTERM and SIGHUP. A target that exists and is not a
// regular file (a character device such as /dev/null, a pipe) is written directly.
#pragma once

#include <filesystem>
#include <functional>
#include <ostream>
#include <vector>

namespace velk::tool {

// Flushes standard output; throws `ToolError` (`EXIT_FAILED`) "cannot write to standard
// output: <reason>" when a write to it failed, then or before.
void flush_stdout();

// Throws that error.
[[noreturn]] void throw_stdout_failure();

class OutputFiles {
 public:
  using Writer = std::function<void(std::ostream&)>;

  OutputFiles() = default;
  OutputFiles(OutputFiles const&) = delete;
  OutputFiles& operator=(OutputFiles const&) = delete;

  // Removes the temporaries of a commit that did not finish.
  ~OutputFiles();

  // Names the files the run reads ("-": standard input), which no output may overwrite.
  // Call before `add`.
  void protect_inputs(std::vector<std::string> const& inputs);

  // Plans `target`, written by `writer` at commit time. Checks at once that its name is not
  // empty, that its directory exists, that it is not itself a directory, that it is not an
  // input (the same file: device and inode, or the same path for a file that does not
  // exist yet) and that no other planned output is the same regular file (a device such as
  // /dev/null may take several): throws `ToolError` (`EXIT_BAD_INPUT`) otherwise, so that
  // bad paths are refused before any long work.
  void add(std::filesystem::path const& target, Writer writer);

  // Writes every planned file to a new temporary file in its target's directory (all open
  // at once, written in the order they were added), then puts each in place. Throws
  // `ToolError` (`EXIT_FAILED`) naming the file when a write fails, and passes on what a
  // writer throws; every temporary is then removed and no target was touched (but a device
  // or pipe written directly has received what was written).
  void commit();

  // Like `commit`, for outputs written side by side: opens every planned file's temporary
  // first and calls `writer` once with their streams, in the order the files were added
  // (their own writers are not called). When `writer` throws, every temporary is removed,
  // no target is touched, and the exception propagates.
  using StreamsWriter = std::function<void(std::vector<std::ostream*> const& streams)>;
  void commit_streams(StreamsWriter const& writer);

  // The planned targets, in the order they were added.
  std::vector<std::filesystem::path> targets() const;

 private:
  // A file as `add` compares it: its device and inode when it exists, and its path made
  // absolute and canonical.
  struct Identity {
    bool exists = false;
    bool regular = false;
    unsigned long long device = 0;
    unsigned long long inode = 0;
    std::filesystem::path path;
    bool same_file(Identity const& other) const;
  };
  static Identity identity_of(std::filesystem::path const& file);

  struct Protected {
    std::string name;
    Identity identity;
  };
  std::vector<Protected> inputs_;

  struct Planned {
    std::filesystem::path target;
    Identity identity;
    Writer writer;
    bool direct = false;              // a device or pipe: no temporary
    int descriptor = -1;              // the open temporary (or direct target)
    std::filesystem::path temporary;  // its name, when it has one
  };

  void open(Planned& file);
  void put_in_place(Planned& file);
  void remove_temporaries() noexcept;

  std::vector<Planned> planned_;
};

}  // namespace velk::tool

#include "output_files.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tool_error.hpp"

namespace velk::tool {
namespace {

namespace fs = std::filesystem;

fs::path directory_of(fs::path const& target) {
  auto parent = target.parent_path();
  return parent.empty() ? fs::path{"."} : parent;
}

// The permissions a new file gets from the process's umask (mkstemp gives 0600).
mode_t default_file_mode() {
  auto const mask = ::umask(0);
  ::umask(mask);
  return static_cast<mode_t>(0666) & ~mask;
}

// Creates an empty temporary file ".<name>.XXXXXX" next to `target`; returns its path.
fs::path create_temporary(fs::path const& target) {
  auto pattern = (directory_of(target) / ("." + target.filename().string() + ".XXXXXX")).string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  auto const descriptor = ::mkstemp(name.data());
  if (descriptor < 0) {
    throw ToolError{EXIT_FAILED,
                    target.string() + ": cannot create a temporary file: " + std::strerror(errno)};
  }
  ::fchmod(descriptor, default_file_mode());
  ::close(descriptor);
  return fs::path{name.data()};
}

}  // namespace

OutputFiles::~OutputFiles() { remove_temporaries(); }

void OutputFiles::add(fs::path const& target, Writer writer) {
  auto const where = target.string();
  std::error_code error;
  auto const directory = directory_of(target);
  if (!fs::is_directory(directory, error)) {
    throw ToolError{EXIT_BAD_INPUT, where + ": cannot write the output: directory " +
                                        directory.string() + " does not exist"};
  }
  if (fs::is_directory(target, error)) {
    throw ToolError{EXIT_BAD_INPUT, where + ": cannot write the output: it is a directory"};
  }
  if (::access(directory.c_str(), W_OK | X_OK) != 0) {
    throw ToolError{EXIT_BAD_INPUT, where + ": cannot write the output: directory " +
                                        directory.string() + ": " + std::strerror(errno)};
  }
  // Absolute first: a relative path with no existing part would stay relative otherwise.
  auto const same_file = [&error](fs::path const& path) {
    return fs::weakly_canonical(fs::absolute(path, error), error);
  };
  auto const canonical = same_file(target);
  for (auto const& other : planned_) {
    if (same_file(other.target) == canonical) {
      throw ToolError{EXIT_BAD_INPUT, where + ": the same file is named for two outputs (" +
                                          other.target.string() + ")"};
    }
  }
  planned_.push_back({target, std::move(writer), {}});
}

void OutputFiles::commit() {
  for (auto& file : planned_) {
    file.temporary = create_temporary(file.target);
    std::ofstream out{file.temporary, std::ios::binary | std::ios::trunc};
    if (out) file.writer(out);
    out.flush();
    if (!out) {
      auto const reason = errno != 0 ? std::strerror(errno) : "write error";
      remove_temporaries();
      throw ToolError{EXIT_FAILED, file.target.string() + ": cannot write the output: " + reason};
    }
    out.close();
    if (!out) {
      remove_temporaries();
      throw ToolError{EXIT_FAILED, file.target.string() + ": cannot write the output"};
    }
  }
  move_into_place();
}

void OutputFiles::commit_streams(StreamsWriter const& writer) {
  std::vector<std::unique_ptr<std::ofstream>> files;
  std::vector<std::ostream*> streams;
  try {
    for (auto& file : planned_) {
      file.temporary = create_temporary(file.target);
      files.push_back(
          std::make_unique<std::ofstream>(file.temporary, std::ios::binary | std::ios::trunc));
      streams.push_back(files.back().get());
    }
    writer(streams);
  } catch (...) {
    files.clear();
    remove_temporaries();
    throw;
  }
  for (std::size_t i = 0; i < planned_.size(); ++i) {
    auto& out = *files[i];
    out.flush();
    if (out) out.close();
    if (!out) {
      auto const reason = errno != 0 ? std::strerror(errno) : "write error";
      remove_temporaries();
      throw ToolError{EXIT_FAILED,
                      planned_[i].target.string() + ": cannot write the output: " + reason};
    }
  }
  move_into_place();
}

void OutputFiles::move_into_place() {
  for (auto& file : planned_) {
    std::error_code error;
    fs::rename(file.temporary, file.target, error);
    if (error) {
      remove_temporaries();
      throw ToolError{EXIT_FAILED, file.target.string() +
                                       ": cannot move the output into place: " + error.message()};
    }
    file.temporary.clear();
  }
}

std::vector<fs::path> OutputFiles::targets() const {
  std::vector<fs::path> result;
  for (auto const& file : planned_) result.push_back(file.target);
  return result;
}

void OutputFiles::remove_temporaries() noexcept {
  for (auto& file : planned_) {
    if (file.temporary.empty()) continue;
    std::error_code ignored;
    fs::remove(file.temporary, ignored);
    file.temporary.clear();
  }
}

}  // namespace velk::tool

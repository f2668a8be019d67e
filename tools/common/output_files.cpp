#include "common/output_files.hpp"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/tool_error.hpp"

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

// Writes to a file descriptor through a buffer of its own, keeping the first error.
class DescriptorBuffer : public std::streambuf {
 public:
  explicit DescriptorBuffer(int descriptor)
      : descriptor_{descriptor}, buffer_(std::size_t{1} << 20) {
    setp(buffer_.data(), buffer_.data() + buffer_.size());
  }
  DescriptorBuffer(DescriptorBuffer const&) = delete;
  DescriptorBuffer& operator=(DescriptorBuffer const&) = delete;

  // The errno of the first failed write, or 0.
  int error() const { return error_; }

 protected:
  int_type overflow(int_type c) override {
    if (!drain()) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }

  std::streamsize xsputn(char const* data, std::streamsize size) override {
    if (size < static_cast<std::streamsize>(buffer_.size())) {
      return std::streambuf::xsputn(data, size);
    }
    if (!drain() || !write_all(data, static_cast<std::size_t>(size))) return 0;
    return size;
  }

  int sync() override { return drain() ? 0 : -1; }

 private:
  bool drain() {
    auto const size = static_cast<std::size_t>(pptr() - pbase());
    if (size > 0 && !write_all(pbase(), size)) return false;
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    return true;
  }

  bool write_all(char const* data, std::size_t size) {
    if (error_ != 0) return false;
    while (size > 0) {
      auto const written = ::write(descriptor_, data, size);
      if (written < 0) {
        if (errno == EINTR) continue;
        error_ = errno;
        return false;
      }
      data += written;
      size -= static_cast<std::size_t>(written);
    }
    return true;
  }

  int descriptor_;
  int error_ = 0;
  std::vector<char> buffer_;
};

// Named temporaries to remove when SIGINT, SIGTERM or SIGHUP ends the process: fixed
// buffers, so that the handler only calls async-signal-safe functions.
constexpr std::size_t MAX_NAMED = 16;
char named_paths[MAX_NAMED][PATH_MAX];
volatile std::sig_atomic_t named_used[MAX_NAMED];

extern "C" void remove_named_and_reraise(int signal_number) {
  for (std::size_t i = 0; i < MAX_NAMED; ++i) {
    if (named_used[i] != 0) ::unlink(named_paths[i]);
  }
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
}

void install_signal_handlers() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  for (int const signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction current {};
    // A signal the caller chose to ignore stays ignored.
    if (::sigaction(signal_number, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) {
      continue;
    }
    struct sigaction action {};
    action.sa_handler = remove_named_and_reraise;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal_number, &action, nullptr);
  }
}

// Registers `path` for removal on a signal; returns its slot, or MAX_NAMED when there is
// no room (the error paths still remove it).
std::size_t register_named(fs::path const& path) {
  auto const& text = path.native();
  if (text.size() >= PATH_MAX) return MAX_NAMED;
  for (std::size_t i = 0; i < MAX_NAMED; ++i) {
    if (named_used[i] == 0) {
      std::memcpy(named_paths[i], text.c_str(), text.size() + 1);
      install_signal_handlers();
      named_used[i] = 1;
      return i;
    }
  }
  return MAX_NAMED;
}

void unregister_named(fs::path const& path) {
  for (std::size_t i = 0; i < MAX_NAMED; ++i) {
    if (named_used[i] != 0 && path.native() == named_paths[i]) named_used[i] = 0;
  }
}

// A new, unused name ".<name>.XXXXXX" next to `target`. With `create`, the file is
// created (empty, with the umask's permissions) and its descriptor returned in `descriptor`.
fs::path temporary_name(fs::path const& target, bool create, int* descriptor) {
  auto pattern = (directory_of(target) / ("." + target.filename().string() + ".XXXXXX")).string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  auto const made = ::mkstemp(name.data());
  if (made < 0) {
    throw ToolError{EXIT_FAILED,
                    target.string() + ": cannot create a temporary file: " + std::strerror(errno)};
  }
  fs::path const path{name.data()};
  if (create) {
    register_named(path);
    ::fchmod(made, default_file_mode());
    *descriptor = made;
  } else {
    ::close(made);
    ::unlink(path.c_str());
  }
  return path;
}

// An unnamed file in `directory` (O_TMPFILE), or -1 when the system or the file system
// cannot make one, or when it could not be linked into place later (no /proc).
int open_unnamed(fs::path const& directory) {
#ifdef O_TMPFILE
  if (::access("/proc/self/fd", X_OK) != 0) return -1;
  return ::open(directory.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
#else
  (void)directory;
  return -1;
#endif
}

}  // namespace

void throw_stdout_failure() {
  auto const reason = errno;
  throw ToolError{EXIT_FAILED,
                  std::string{"cannot write to standard output"} +
                      (reason != 0 ? std::string{": "} + std::strerror(reason) : std::string{})};
}

void flush_stdout() {
  std::cout.flush();
  if (!std::cout) throw_stdout_failure();
}

OutputFiles::~OutputFiles() { remove_temporaries(); }

bool OutputFiles::Identity::same_file(Identity const& other) const {
  if (exists && other.exists) return device == other.device && inode == other.inode;
  return !path.empty() && path == other.path;
}

OutputFiles::Identity OutputFiles::identity_of(fs::path const& file) {
  Identity identity;
  struct stat status {};
  if (::stat(file.c_str(), &status) == 0) {
    identity.exists = true;
    identity.regular = S_ISREG(status.st_mode);
    identity.device = status.st_dev;
    identity.inode = status.st_ino;
  }
  // Absolute first: a relative path with no existing part would stay relative otherwise.
  std::error_code error;
  identity.path = fs::weakly_canonical(fs::absolute(file, error), error);
  if (error) identity.path.clear();
  return identity;
}

void OutputFiles::protect_inputs(std::vector<std::string> const& inputs) {
  for (auto const& input : inputs) {
    if (input != "-") {
      inputs_.push_back({input, identity_of(input)});
      continue;
    }
    // Standard input read from a file: that file.
    struct stat status {};
    if (::fstat(STDIN_FILENO, &status) == 0 && S_ISREG(status.st_mode)) {
      Identity identity;
      identity.exists = true;
      identity.regular = true;
      identity.device = status.st_dev;
      identity.inode = status.st_ino;
      inputs_.push_back({"standard input", identity});
    }
  }
}

void OutputFiles::add(fs::path const& target, Writer writer) {
  auto const where = target.string();
  if (where.empty()) throw ToolError{EXIT_BAD_INPUT, "an output file name is empty"};
  std::error_code error;
  auto const directory = directory_of(target);
  if (!fs::is_directory(directory, error)) {
    throw ToolError{EXIT_BAD_INPUT, where + ": cannot write the output: directory " +
                                        directory.string() + " does not exist"};
  }
  auto const status = fs::status(target, error);
  if (fs::is_directory(status)) {
    throw ToolError{EXIT_BAD_INPUT, where + ": cannot write the output: it is a directory"};
  }
  // A device or a pipe is written where it is: renaming a file over it would replace it.
  bool const direct = fs::exists(status) && !fs::is_regular_file(status);
  if (direct) {
    if (::access(target.c_str(), W_OK) != 0) {
      throw ToolError{EXIT_BAD_INPUT, where + ": cannot write the output: " + std::strerror(errno)};
    }
  } else if (::access(directory.c_str(), W_OK | X_OK) != 0) {
    throw ToolError{EXIT_BAD_INPUT, where + ": cannot write the output: directory " +
                                        directory.string() + ": " + std::strerror(errno)};
  }
  auto identity = identity_of(target);
  for (auto const& input : inputs_) {
    if (identity.same_file(input.identity)) {
      throw ToolError{EXIT_BAD_INPUT,
                      where + ": the output would overwrite an input (" + input.name + ")"};
    }
  }
  for (auto const& other : planned_) {
    // Devices and pipes may take several outputs; a file only one.
    if (direct && other.direct) continue;
    if (identity.same_file(other.identity)) {
      throw ToolError{EXIT_BAD_INPUT, where + ": the same file is named for two outputs (" +
                                          other.target.string() + ")"};
    }
  }
  planned_.push_back({target, std::move(identity), std::move(writer), direct, -1, {}});
}

void OutputFiles::open(Planned& file) {
  if (file.direct) {
    file.descriptor = ::open(file.target.c_str(), O_WRONLY | O_CLOEXEC);
    if (file.descriptor < 0) {
      throw ToolError{EXIT_FAILED,
                      file.target.string() + ": cannot write the output: " + std::strerror(errno)};
    }
  } else {
    file.descriptor = open_unnamed(directory_of(file.target));
    if (file.descriptor < 0) file.temporary = temporary_name(file.target, true, &file.descriptor);
  }
}

void OutputFiles::put_in_place(Planned& file) {
  auto const fail = [&file](std::string const& reason) {
    throw ToolError{EXIT_FAILED,
                    file.target.string() + ": cannot move the output into place: " + reason};
  };
  if (!file.direct && file.temporary.empty()) {
    // An unnamed file gets its name; over an existing target, through a temporary name
    // renamed over it.
    auto const self = "/proc/self/fd/" + std::to_string(file.descriptor);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, file.target.c_str(), AT_SYMLINK_FOLLOW) != 0) {
      if (errno != EEXIST) fail(std::strerror(errno));
      while (true) {
        file.temporary = temporary_name(file.target, false, nullptr);
        register_named(file.temporary);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, file.temporary.c_str(), AT_SYMLINK_FOLLOW) ==
            0) {
          break;
        }
        auto const reason = errno;
        unregister_named(file.temporary);
        file.temporary.clear();
        if (reason != EEXIST) fail(std::strerror(reason));
      }
    }
  }
  if (!file.temporary.empty()) {
    std::error_code error;
    fs::rename(file.temporary, file.target, error);
    if (error) fail(error.message());
    unregister_named(file.temporary);
    file.temporary.clear();
  }
  ::close(file.descriptor);
  file.descriptor = -1;
}

void OutputFiles::commit() {
  commit_streams([this](std::vector<std::ostream*> const& streams) {
    for (std::size_t i = 0; i < planned_.size(); ++i) planned_[i].writer(*streams[i]);
  });
}

void OutputFiles::commit_streams(StreamsWriter const& writer) {
  try {
    std::vector<std::unique_ptr<DescriptorBuffer>> buffers;
    std::vector<std::unique_ptr<std::ostream>> streams;
    std::vector<std::ostream*> outs;
    for (auto& file : planned_) {
      open(file);
      buffers.push_back(std::make_unique<DescriptorBuffer>(file.descriptor));
      streams.push_back(std::make_unique<std::ostream>(buffers.back().get()));
      outs.push_back(streams.back().get());
    }
    writer(outs);
    for (std::size_t i = 0; i < planned_.size(); ++i) {
      streams[i]->flush();
      if (!*streams[i] || buffers[i]->error() != 0) {
        auto const reason =
            buffers[i]->error() != 0 ? std::strerror(buffers[i]->error()) : "write error";
        throw ToolError{EXIT_FAILED,
                        planned_[i].target.string() + ": cannot write the output: " + reason};
      }
    }
    for (auto& file : planned_) put_in_place(file);
  } catch (...) {
    remove_temporaries();
    throw;
  }
}

std::vector<fs::path> OutputFiles::targets() const {
  std::vector<fs::path> result;
  for (auto const& file : planned_) result.push_back(file.target);
  return result;
}

void OutputFiles::remove_temporaries() noexcept {
  for (auto& file : planned_) {
    if (!file.temporary.empty()) {
      std::error_code ignored;
      fs::remove(file.temporary, ignored);
      unregister_named(file.temporary);
      file.temporary.clear();
    }
    // An unnamed temporary vanishes with its last descriptor.
    if (file.descriptor >= 0) {
      ::close(file.descriptor);
      file.descriptor = -1;
    }
  }
}

}  // namespace velk::tool

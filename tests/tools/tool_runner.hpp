// Runs the command-line tool as a child process for end-to-end tests, in a scratch
// directory of its own, and captures its exit code, stdout and stderr.
//
//   velk::tool_test::ScratchDirectory work;
//   auto run = velk::tool_test::run_tool({"insert", "in.json", "-q"}, work.path());
//   EXPECT_EQ(run.exit_code, 0);
#pragma once

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace velk::tool_test {

namespace fs = std::filesystem;

inline std::string read_file(fs::path const& file) {
  std::ifstream stream{file, std::ios::binary};
  std::ostringstream content;
  content << stream.rdbuf();
  return content.str();
}

inline void write_file(fs::path const& file, std::string const& content) {
  std::ofstream stream{file, std::ios::binary | std::ios::trunc};
  stream << content;
}

inline nlohmann::json read_json(fs::path const& file) {
  return nlohmann::json::parse(read_file(file));
}

// The names of the entries of a directory (hidden ones included), sorted.
inline std::vector<std::string> entries_of(fs::path const& directory) {
  std::vector<std::string> names;
  for (auto const& entry : fs::directory_iterator{directory}) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// A fresh empty directory under the test temporary directory, removed with its content.
class ScratchDirectory {
 public:
  ScratchDirectory() {
    auto pattern = (fs::path{testing::TempDir()} / "velk-tool-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (::mkdtemp(name.data()) == nullptr) throw std::runtime_error{"mkdtemp failed"};
    path_ = name.data();
  }
  ~ScratchDirectory() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  ScratchDirectory(ScratchDirectory const&) = delete;
  ScratchDirectory& operator=(ScratchDirectory const&) = delete;

  fs::path const& path() const { return path_; }
  fs::path operator/(fs::path const& name) const { return path_ / name; }

  std::vector<std::string> entries() const { return entries_of(path_); }

 private:
  fs::path path_;
};

struct RunResult {
  int exit_code;
  std::string out;
  std::string err;
};

// Runs the tool (VELK_TOOL_PATH) with `arguments` in `directory`.
inline RunResult run_program(std::string const& program, std::vector<std::string> const& arguments,
                             fs::path const& directory) {
  ScratchDirectory capture;
  auto const out_file = capture / "stdout";
  auto const err_file = capture / "stderr";
  std::vector<std::string> words{program};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  auto const child = ::fork();
  if (child < 0) throw std::runtime_error{"fork failed"};
  if (child == 0) {
    auto const out = ::open(out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    auto const err = ::open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0 ||
        ::chdir(directory.c_str()) != 0) {
      ::_exit(127);
    }
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  RunResult result{WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status),
                   read_file(out_file), read_file(err_file)};
  return result;
}

inline RunResult run_tool(std::vector<std::string> const& arguments, fs::path const& directory) {
  return run_program(VELK_TOOL_PATH, arguments, directory);
}

// The lines of a text, without their line breaks.
inline std::vector<std::string> lines_of(std::string const& text) {
  std::vector<std::string> lines;
  std::istringstream stream{text};
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

}  // namespace velk::tool_test

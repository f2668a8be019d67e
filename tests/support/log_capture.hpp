// Records the lines the logger writes, for the duration of one test.
//
//   velk::test::LogCapture capture{velk::Logger::LEVEL::debug};
//   velk::Logger::log_debug("x = 1");
//   capture.texts();   // {"x = 1"}
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <basic/logger.hpp>

namespace velk::test {

// Sets the level and a recording handler; the destructor puts back the level found at
// construction and the default sink, so no test leaks logger state into the next one.
class LogCapture {
 public:
  explicit LogCapture(Logger::LEVEL level) : saved_level_{Logger::level()} {
    Logger::set_level(level);
    Logger::set_handler([this](Logger::LEVEL line_level, std::string_view text) {
      lines_.emplace_back(line_level, std::string{text});
    });
  }
  ~LogCapture() {
    Logger::set_handler(nullptr);
    Logger::set_level(saved_level_);
  }
  LogCapture(LogCapture const&) = delete;
  LogCapture& operator=(LogCapture const&) = delete;

  std::vector<std::pair<Logger::LEVEL, std::string>> const& lines() const { return lines_; }

  std::vector<std::string> texts() const {
    std::vector<std::string> result;
    for (auto const& line : lines_) result.push_back(line.second);
    return result;
  }

 private:
  Logger::LEVEL saved_level_;
  std::vector<std::pair<Logger::LEVEL, std::string>> lines_;
};

}  // namespace velk::test

#include <basic/progress_logger.hpp>

#include <chrono>
#include <regex>
#include <stdexcept>
#include <string>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/log_capture.hpp"

namespace {

using LEVEL = velk::Logger::LEVEL;
using testing::MatchesRegex;

// POSIX extended expressions, as gtest's MatchesRegex takes them.
constexpr char SECONDS[] = "[0-9]+\\.[0-9]{3} s";

TEST(ProgressLogger, WritesStartAndCompletionLinesWithMessagePrefix) {
  velk::test::LogCapture capture{LEVEL::info};
  {
    velk::ProgressLogger progress{LEVEL::info, "Insertion of curve A: ", 3};
    EXPECT_EQ(progress.increment(), 1u);
    EXPECT_EQ(progress.increment(), 2u);
    EXPECT_EQ(progress.increment(), 3u);
  }
  auto const lines = capture.texts();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "Insertion of curve A: started (3 steps)");
  EXPECT_THAT(lines[1],
              MatchesRegex(std::string{"Insertion of curve A: completed 3/3 in "} + SECONDS));
  for (auto const& line : capture.lines()) EXPECT_EQ(line.first, LEVEL::info);
}

TEST(ProgressLogger, ReportsZeroStepsCleanly) {
  velk::test::LogCapture capture{LEVEL::info};
  { velk::ProgressLogger progress{LEVEL::info, "Empty: ", 0}; }
  auto const lines = capture.texts();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "Empty: started (0 steps)");
  EXPECT_THAT(lines[1], MatchesRegex(std::string{"Empty: completed 0/0 in "} + SECONDS));
}

TEST(ProgressLogger, ReportsProgressAboutOnceASecond) {
  constexpr unsigned STEPS = 50;
  velk::test::LogCapture capture{LEVEL::info};
  auto const start = std::chrono::steady_clock::now();
  {
    velk::ProgressLogger progress{LEVEL::info, "Slow: ", STEPS};
    for (unsigned step = 0; step < STEPS; ++step) {
      std::this_thread::sleep_for(std::chrono::milliseconds{50});
      progress.increment();
    }
  }
  auto const elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start);
  auto const lines = capture.texts();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines.front(), "Slow: started (50 steps)");
  EXPECT_THAT(lines.back(), MatchesRegex(std::string{"Slow: completed 50/50 in "} + SECONDS));
  std::regex const progress_line{"Slow: ([0-9]+)/50 \\(([0-9]+)%\\)"};
  unsigned previous = 0;
  for (std::size_t index = 1; index + 1 < lines.size(); ++index) {
    std::smatch match;
    ASSERT_TRUE(std::regex_match(lines[index], match, progress_line)) << lines[index];
    auto const done = static_cast<unsigned>(std::stoul(match[1]));
    EXPECT_GT(done, previous);
    EXPECT_EQ(std::stoul(match[2]), done * 2);
    previous = done;
  }
  auto const progress_lines = lines.size() - 2;
  // Every step sleeps 50 ms: the first second has passed by step 20 at the latest, and the
  // last 30 steps leave at least another second. Reports are a second apart at least.
  EXPECT_GE(progress_lines, 2u);
  EXPECT_LE(progress_lines, static_cast<std::size_t>(elapsed.count()));
}

TEST(ProgressLogger, DestructionDuringExceptionWritesInterruptedLine) {
  velk::test::LogCapture capture{LEVEL::info};
  auto const failing_work = [] {
    velk::ProgressLogger progress{LEVEL::info, "Failing: ", 4};
    progress.increment();
    throw std::runtime_error{"step 2 failed"};
  };
  EXPECT_THROW(failing_work(), std::runtime_error);
  auto const lines = capture.texts();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_THAT(lines[1], MatchesRegex(std::string{"Failing: interrupted at 1/4 after "} + SECONDS));
}

// Runs a whole report from a destructor, as cleanup code may do while an exception unwinds.
struct ReportOnDestruction {
  ~ReportOnDestruction() {
    velk::ProgressLogger progress{LEVEL::info, "Cleanup: ", 1};
    progress.increment();
  }
};

TEST(ProgressLogger, ReportCompletedDuringUnwindingIsNotInterrupted) {
  velk::test::LogCapture capture{LEVEL::info};
  try {
    ReportOnDestruction cleanup;
    throw std::runtime_error{"unrelated failure"};
  } catch (std::runtime_error const&) {
  }
  auto const lines = capture.texts();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_THAT(lines[1], MatchesRegex(std::string{"Cleanup: completed 1/1 in "} + SECONDS));
}

TEST(ProgressLogger, FailingSinkNeverThrowsFromReport) {
  velk::test::LogCapture capture{LEVEL::info};
  velk::Logger::set_handler([](LEVEL, std::string_view) { throw std::runtime_error{"sink"}; });
  auto const failing_work = [] {
    velk::ProgressLogger progress{LEVEL::info, "Sink: ", 1};
    throw std::logic_error{"work failed"};
  };
  auto const working = [] {
    velk::ProgressLogger progress{LEVEL::info, "Sink: ", 1};
    progress.increment();
  };
  EXPECT_THROW(failing_work(), std::logic_error);
  EXPECT_NO_THROW(working());
}

}  // namespace

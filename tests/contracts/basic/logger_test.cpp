#include <basic/logger.hpp>

#include <string>
#include <utility>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/log_capture.hpp"

namespace {

using velk::Logger;
using LEVEL = velk::Logger::LEVEL;
using testing::ElementsAre;

std::vector<std::string> shown_at(LEVEL level) {
  velk::test::LogCapture capture{level};
  Logger::log_trace("trace");
  Logger::log_debug("debug");
  Logger::log_info("info");
  Logger::log_warn("warn");
  Logger::log_error("err");
  Logger::log_critical("critical");
  return capture.texts();
}

TEST(Logger, FiltersBySeverityNotByEnumeratorValue) {
  EXPECT_EQ(Logger::level(), LEVEL::info);
  EXPECT_THAT(shown_at(LEVEL::trace),
              ElementsAre("trace", "debug", "info", "warn", "err", "critical"));
  EXPECT_THAT(shown_at(LEVEL::debug), ElementsAre("debug", "info", "warn", "err", "critical"));
  EXPECT_THAT(shown_at(LEVEL::info), ElementsAre("info", "warn", "err", "critical"));
  EXPECT_THAT(shown_at(LEVEL::warn), ElementsAre("warn", "err", "critical"));
  EXPECT_THAT(shown_at(LEVEL::critical), ElementsAre("critical"));
  EXPECT_THAT(shown_at(LEVEL::off), testing::IsEmpty());
  // The capture guard put the default level back.
  EXPECT_EQ(Logger::level(), LEVEL::info);
  EXPECT_FALSE(Logger::is_enabled(LEVEL::debug));
}

TEST(Logger, HandlerReceivesExactTextAndLevelOncePerLine) {
  velk::test::LogCapture capture{LEVEL::debug};
  Logger::log_debug("edge_id = 4");
  Logger::log_info("  spaced  text, kept as is ");
  Logger::log(LEVEL::warn, "first\nsecond");
  std::vector<std::pair<LEVEL, std::string>> const expected{
      {LEVEL::debug, "edge_id = 4"},
      {LEVEL::info, "  spaced  text, kept as is "},
      {LEVEL::warn, "first\nsecond"}};
  EXPECT_EQ(capture.lines(), expected);
}

TEST(Logger, NullHandlerRestoresDefaultSink) {
  std::vector<std::string> received;
  velk::test::LogCapture capture{LEVEL::info};
  Logger::set_handler([&received](LEVEL, std::string_view line) { received.emplace_back(line); });
  Logger::log_info("to the handler");
  Logger::set_handler(nullptr);
  testing::internal::CaptureStderr();
  Logger::log_info("to standard error");
  EXPECT_THAT(testing::internal::GetCapturedStderr(), testing::HasSubstr("to standard error"));
  EXPECT_THAT(received, ElementsAre("to the handler"));
}

}  // namespace

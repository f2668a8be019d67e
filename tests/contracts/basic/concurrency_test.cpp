// The logger and the singleton registry used from several threads at once, as the tool's
// `overlay` uses them (one background line per thread). Run under ThreadSanitizer by
// `make test-tsan`, which reports any data race as a failure.
#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <typeinfo>
#include <vector>

#include <gtest/gtest.h>

#include <basic/library.hpp>
#include <basic/logger.hpp>
#include <basic/singleton.hpp>

namespace {

using velk::Logger;

constexpr int THREADS = 6;
constexpr int LINES = 400;

// Lines of every level from several threads while another thread switches the level and
// the handler: the handler is called one line at a time (its plain counter and vector need
// no lock of their own), each line arrives whole and once, and nothing is lost when the
// level lets it through.
TEST(Concurrency, LoggerDeliversWholeLinesOneAtATime) {
  auto const saved = Logger::level();
  std::vector<std::string> received;
  int inside = 0;
  bool overlapped = false;
  auto const handler = [&](Logger::LEVEL, std::string_view line) {
    overlapped = overlapped || ++inside != 1;
    received.emplace_back(line);
    --inside;
  };
  Logger::set_level(Logger::LEVEL::info);
  Logger::set_handler(handler);
  std::atomic<bool> stop{false};
  std::thread switcher{[&] {
    while (!stop) {
      Logger::set_level(Logger::LEVEL::debug);
      Logger::set_level(Logger::LEVEL::info);
      Logger::set_handler(handler);
      (void)Logger::is_enabled(Logger::LEVEL::debug);
    }
  }};
  std::vector<std::thread> writers;
  for (int t = 0; t < THREADS; ++t) {
    writers.emplace_back([t] {
      for (int i = 0; i < LINES; ++i) {
        auto const text = "thread " + std::to_string(t) + " line " + std::to_string(i);
        Logger::log_info(text);
        Logger::log_debug(text + " (debug)");
        Logger::log_trace(text + " (trace, never shown)");
      }
    });
  }
  for (auto& writer : writers) writer.join();
  stop = true;
  switcher.join();
  Logger::set_handler(nullptr);
  Logger::set_level(saved);

  EXPECT_FALSE(overlapped);
  std::vector<int> info_lines(THREADS, 0);
  for (auto const& line : received) {
    ASSERT_EQ(line.rfind("thread ", 0), 0U) << line;
    EXPECT_EQ(line.find("trace"), std::string::npos);
    if (line.find("(debug)") == std::string::npos) ++info_lines.at(std::stoi(line.substr(7)));
  }
  for (auto const count : info_lines) EXPECT_EQ(count, LINES);
}

template <int N>
class Registered : public velk::Singleton {};

template <int N>
void register_once() {
  std::lock_guard<std::mutex> guard{velk::Singleton::lock()};
  if (velk::Singleton::instance(typeid(Registered<N>)) == nullptr) {
    velk::Singleton::set_instance(typeid(Registered<N>), new Registered<N>{});
  }
}

// Threads register and look up entries of the registry at once, each under its lock.
TEST(Concurrency, RegistryEntriesAddedFromManyThreadsAreEachKeptOnce) {
  std::vector<std::thread> threads;
  for (int t = 0; t < THREADS; ++t) {
    threads.emplace_back([] {
      register_once<1>();
      register_once<2>();
      register_once<3>();
      velk::LumoraBasicLibrary::initialize();
    });
  }
  for (auto& thread : threads) thread.join();
  std::lock_guard<std::mutex> guard{velk::Singleton::lock()};
  EXPECT_NE(dynamic_cast<Registered<1>*>(velk::Singleton::instance(typeid(Registered<1>))),
            nullptr);
  EXPECT_NE(dynamic_cast<Registered<3>*>(velk::Singleton::instance(typeid(Registered<3>))),
            nullptr);
}

}  // namespace

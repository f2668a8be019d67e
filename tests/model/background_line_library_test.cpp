#include <velk/background_line.hpp>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <background_common/background_common_library.hpp>
#include <basic/singleton.hpp>

namespace {

using velk::BackgroundLineLibrary;

// Registration happens once per process, so each check below runs in a fresh process of
// this binary (the "threadsafe" death-test style re-executes it) and sees the registry as
// a host's first call does. The child writes what it saw to stderr and exits with 0.
[[noreturn]] void report_and_exit(std::string const& observation) {
  std::fprintf(stderr, "%s\n", observation.c_str());
  std::fflush(stderr);
  std::exit(0);
}

BackgroundLineLibrary* registered_instance() {
  std::lock_guard<std::mutex> guard{velk::Singleton::lock()};
  return dynamic_cast<BackgroundLineLibrary*>(
      velk::Singleton::instance(typeid(BackgroundLineLibrary)));
}

std::string joined(std::vector<std::string> const& names) {
  std::string text;
  for (auto const& name : names) text += (text.empty() ? "" : ",") + name;
  return text;
}

void race_first_initializations() {
  auto const registered_before = registered_instance() != nullptr;
  constexpr int THREADS = 8;
  std::atomic<bool> go{false};
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int index = 0; index < THREADS; ++index) {
    threads.emplace_back([&] {
      while (!go) std::this_thread::yield();
      try {
        BackgroundLineLibrary::initialize();
      } catch (...) {
        ++failures;
      }
    });
  }
  go = true;
  for (auto& thread : threads) thread.join();
  auto* const first = registered_instance();
  BackgroundLineLibrary::initialize();
  BackgroundLineLibrary::initialize();
  auto const same = first != nullptr && registered_instance() == first;
  report_and_exit("registered before: " + std::string{registered_before ? "yes" : "no"} +
                  "; failures: " + std::to_string(failures) +
                  "; same instance after repeats: " + (same ? "yes" : "no") +
                  "; initialised: " + joined(velk::Library::initialized_libraries()));
}

// Stand-ins for the two libraries below, registered in their place before the first
// initialisation: they initialise nothing themselves, so the record shows the order in
// which the background line library asked for them (the real background-common library
// initialises the mesh library itself, which would hide a reversed order).
class MeshLibraryStandIn : public velk::LumoraMeshLibrary {
  void do_initialize() override {}
};

class BackgroundCommonLibraryStandIn : public velk::BackgroundCommonLibrary {
  void do_initialize() override {}
};

void initialize_over_stand_ins() {
  {
    std::lock_guard<std::mutex> guard{velk::Singleton::lock()};
    velk::Singleton::set_instance(typeid(velk::LumoraMeshLibrary), new MeshLibraryStandIn{});
    velk::Singleton::set_instance(typeid(velk::BackgroundCommonLibrary),
                                  new BackgroundCommonLibraryStandIn{});
  }
  BackgroundLineLibrary::initialize();
  report_and_exit("initialised: " + joined(velk::Library::initialized_libraries()));
}

TEST(BackgroundLineLibrary, ConcurrentFirstInitializationsRegisterOneInstance) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(race_first_initializations(), ::testing::ExitedWithCode(0),
              "registered before: no; failures: 0; same instance after repeats: yes; "
              "initialised: Basic,Mesh,BackgroundCommon,BackgroundLine\n");
}

TEST(BackgroundLineLibrary, InitializesMeshLibraryBeforeBackgroundCommonLibrary) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(initialize_over_stand_ins(), ::testing::ExitedWithCode(0),
              "initialised: Mesh,BackgroundCommon,BackgroundLine\n");
}

}  // namespace

#include <basic/library.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <basic/lumora_exception.hpp>
#include <basic/singleton.hpp>
#include <mesh/mesh_library.hpp>

namespace {

long count_of(std::string const& name) {
  auto const names = velk::Library::initialized_libraries();
  return std::count(names.begin(), names.end(), name);
}

std::atomic<int> racing_constructions{0};
std::atomic<int> racing_initializations{0};
std::atomic<bool> racing_initialization_done{false};

class RacingLibrary : public velk::Library {
 public:
  RacingLibrary() { ++racing_constructions; }
  static void initialize() { register_and_initialize<RacingLibrary>("TestRacing"); }

 private:
  void do_initialize() override {
    ++racing_initializations;
    // Long enough for the other threads to arrive while the first run is going on.
    std::this_thread::sleep_for(std::chrono::milliseconds{50});
    racing_initialization_done = true;
  }
};

TEST(Library, ConcurrentFirstInitializationRegistersAndInitializesOnce) {
  std::promise<void> release;
  std::shared_future<void> const released{release.get_future()};
  std::atomic<int> returned_before_done{0};
  std::vector<std::thread> threads;
  for (int index = 0; index < 8; ++index) {
    threads.emplace_back([&] {
      released.wait();
      RacingLibrary::initialize();
      if (!racing_initialization_done) ++returned_before_done;
    });
  }
  release.set_value();
  for (auto& thread : threads) thread.join();

  EXPECT_EQ(racing_constructions, 1);
  EXPECT_EQ(racing_initializations, 1);
  EXPECT_EQ(returned_before_done, 0);
  EXPECT_EQ(count_of("TestRacing"), 1);
  std::lock_guard<std::mutex> guard{velk::Singleton::lock()};
  EXPECT_NE(dynamic_cast<RacingLibrary*>(velk::Singleton::instance(typeid(RacingLibrary))),
            nullptr);
}

TEST(Library, RecordsMeshLibraryAfterBasicLibrary) {
  velk::LumoraMeshLibrary::initialize();
  velk::LumoraMeshLibrary::initialize();
  auto const names = velk::Library::initialized_libraries();
  auto const basic = std::find(names.begin(), names.end(), "Basic");
  auto const mesh = std::find(names.begin(), names.end(), "Mesh");
  ASSERT_NE(basic, names.end());
  ASSERT_NE(mesh, names.end());
  EXPECT_LT(basic, mesh);
  EXPECT_EQ(count_of("Basic"), 1);
  EXPECT_EQ(count_of("Mesh"), 1);
}

int failing_attempts = 0;

class FailingOnceLibrary : public velk::Library {
 public:
  static void initialize() { register_and_initialize<FailingOnceLibrary>("TestFailingOnce"); }

 private:
  void do_initialize() override {
    if (++failing_attempts == 1) throw std::runtime_error{"first attempt fails"};
  }
};

TEST(Library, FailedInitializationPropagatesAndIsRetried) {
  EXPECT_THROW(FailingOnceLibrary::initialize(), std::runtime_error);
  EXPECT_EQ(failing_attempts, 1);
  EXPECT_EQ(count_of("TestFailingOnce"), 0);
  FailingOnceLibrary::initialize();
  EXPECT_EQ(failing_attempts, 2);
  EXPECT_EQ(count_of("TestFailingOnce"), 1);
  FailingOnceLibrary::initialize();
  EXPECT_EQ(failing_attempts, 2);
}

std::atomic<int> probes_destroyed{0};

class Probe : public velk::Singleton {
 public:
  ~Probe() override { ++probes_destroyed; }
};

TEST(Singleton, RefusesSecondInstanceAndNullKeepingTheFirst) {
  std::lock_guard<std::mutex> guard{velk::Singleton::lock()};
  EXPECT_EQ(velk::Singleton::instance(typeid(Probe)), nullptr);
  auto* const first = new Probe;
  velk::Singleton::set_instance(typeid(Probe), first);
  EXPECT_EQ(velk::Singleton::instance(typeid(Probe)), first);
  try {
    velk::Singleton::set_instance(typeid(Probe), new Probe);
    FAIL() << "second instance accepted";
  } catch (velk::LumoraException const& error) {
    EXPECT_THAT(error.what(), testing::StartsWith("[Singleton::set_instance] type "));
    EXPECT_THAT(error.what(), testing::EndsWith(" already has a registered instance"));
  }
  EXPECT_EQ(probes_destroyed, 1);  // the refused one, not the registered one
  EXPECT_EQ(velk::Singleton::instance(typeid(Probe)), first);
  EXPECT_THROW(velk::Singleton::set_instance(typeid(int), nullptr), velk::LumoraException);
  EXPECT_EQ(velk::Singleton::instance(typeid(int)), nullptr);
}

}  // namespace

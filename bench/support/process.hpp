// Process-wide facts a benchmark reports: peak resident memory and the log lines received.
//
//   velk::bench::install_counting_log_handler();   // logger level left at its default
//   state.counters["peak_rss_MiB"] = velk::bench::peak_rss_mib();
#pragma once

#include <sys/resource.h>
#include <time.h>

#include <chrono>
#include <cstdint>

#include <benchmark/benchmark.h>

#include <basic/logger.hpp>

namespace velk::bench {

using Clock = std::chrono::steady_clock;

inline double seconds_between(Clock::time_point start, Clock::time_point stop) {
  return std::chrono::duration<double>(stop - start).count();
}

// CPU time of the calling thread, in seconds. Beside the wall time that the benchmarks
// report, it shows how much of a slow run was spent waiting for a core on a loaded machine.
inline double thread_cpu_seconds_now() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// Minor page faults of this process so far.
inline long minor_page_faults() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_minflt;
}

// Times one iteration's measured region: wall time for the benchmark (manual time) and
// thread CPU time added up for a counter.
class RegionTimer {
 public:
  void start() {
    faults_start_ = minor_page_faults();
    cpu_start_ = thread_cpu_seconds_now();
    wall_start_ = Clock::now();
  }

  // Ends the region; returns its wall time in seconds.
  double stop() {
    auto const wall = seconds_between(wall_start_, Clock::now());
    cpu_total_ += thread_cpu_seconds_now() - cpu_start_;
    faults_total_ += minor_page_faults() - faults_start_;
    return wall;
  }

  // CPU milliseconds per region, averaged over `regions` regions.
  double cpu_ms_per_region(std::int64_t regions) const {
    return regions == 0 ? 0.0 : 1e3 * cpu_total_ / static_cast<double>(regions);
  }

  // Page faults per region (memory the region touched for the first time), averaged.
  double page_faults_per_region(std::int64_t regions) const {
    return regions == 0 ? 0.0 : static_cast<double>(faults_total_) / static_cast<double>(regions);
  }

 private:
  Clock::time_point wall_start_{};
  double cpu_start_{0};
  double cpu_total_{0};
  long faults_start_{0};
  long faults_total_{0};
};

// Reports the timer's CPU milliseconds and page faults per measured region as counters.
inline void report_region_costs(benchmark::State& state, RegionTimer const& timer) {
  state.counters["cpu_ms"] = timer.cpu_ms_per_region(state.iterations());
  state.counters["page_faults"] = timer.page_faults_per_region(state.iterations());
}

// Peak resident set size of this process so far (getrusage), in MiB. Process-wide: the
// benchmark script runs every benchmark in a process of its own.
inline double peak_rss_mib() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB on Linux
}

// Lines that passed the logger's level filter since the handler was installed.
inline std::uint64_t& log_line_count() {
  static std::uint64_t count = 0;
  return count;
}

// A host's handler that counts lines instead of writing them to stderr. The logger keeps
// its default level (info): debug lines are still composed by the library on every call and
// dropped by the logger's filter; progress lines reach this handler.
inline void install_counting_log_handler() {
  static bool const installed = [] {
    Logger::set_handler([](Logger::LEVEL, std::string_view) { ++log_line_count(); });
    return true;
  }();
  (void)installed;
}

}  // namespace velk::bench

// The C++ side of the Python binding's overhead benchmark: one `BackgroundLineSession::insert`
// of the curve whose points are in a file of raw float64 values, into the background [0, 1],
// timed alone (wall clock and thread CPU time), exactly as the Python side times
// `BackgroundLine.insert`.
//
//   velk_session_insert POINTS_FILE     prints "wall_s cpu_s edges"
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iostream>
#include <vector>

#include <velk/background_line.hpp>

namespace {

double thread_cpu_seconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: velk_session_insert POINTS_FILE\n";
    return 2;
  }
  std::ifstream file{argv[1], std::ios::binary | std::ios::ate};
  if (!file) {
    std::cerr << "velk_session_insert: cannot read " << argv[1] << "\n";
    return 2;
  }
  std::vector<double> points(static_cast<std::size_t>(file.tellg()) / sizeof(double));
  file.seekg(0);
  file.read(reinterpret_cast<char*>(points.data()),
            static_cast<std::streamsize>(points.size() * sizeof(double)));

  // The level Python's default logging (WARNING) gives the library through the binding.
  velk::Logger::set_level(velk::Logger::LEVEL::warn);
  velk::BackgroundLineSession line{{0.0, 1.0}};
  auto const wall_start = std::chrono::steady_clock::now();
  auto const cpu_start = thread_cpu_seconds();
  auto const report = line.insert("curve", points);
  auto const cpu = thread_cpu_seconds() - cpu_start;
  std::chrono::duration<double> const wall = std::chrono::steady_clock::now() - wall_start;
  std::printf("%.6f %.6f %zu\n", wall.count(), cpu, report.size());
  return 0;
}

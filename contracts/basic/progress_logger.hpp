// Progress reports of long operations, written through `Logger`.
//
//   velk::ProgressLogger progress{velk::Logger::LEVEL::info, "Insertion of curve A: ", n};
//   for (...) { work(); progress.increment(); }
//   // destruction writes the final line with the elapsed time
#pragma once

#include <memory>
#include <string>

#include <basic/logger.hpp>
#include <basic/lumora_basic_export.hpp>

namespace velk {

// Writes `message` followed by "started (N steps)" at construction, "K/N (P%)" at most
// about once a second while steps are counted, and at destruction "completed K/N in T s",
// or "interrupted at K/N after T s" when an exception is unwinding through its owner.
// Construction and destruction never throw; a failing sink is ignored.
class LUMORA_BASIC_API ProgressLogger {
 public:
  ProgressLogger(Logger::LEVEL level, std::string const& message, unsigned nb_steps);
  ~ProgressLogger();
  ProgressLogger(ProgressLogger const&) = delete;
  ProgressLogger& operator=(ProgressLogger const&) = delete;

  // Counts one completed step and returns the number of steps counted so far.
  unsigned increment();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace velk

#include <basic/progress_logger.hpp>

#include <chrono>
#include <exception>

#include <absl/strings/str_cat.h>
#include <absl/strings/str_format.h>

namespace velk {
namespace {

using Clock = std::chrono::steady_clock;

constexpr auto REPORT_INTERVAL = std::chrono::seconds{1};

// Writes one line, swallowing whatever a host handler throws: a progress report must
// never turn a working operation into a failing one.
void write(Logger::LEVEL level, std::string const& line) noexcept {
  try {
    Logger::log(level, line);
  } catch (...) {
  }
}

}  // namespace

struct ProgressLogger::Impl {
  Logger::LEVEL level;
  std::string message;
  unsigned nb_steps;
  unsigned current{0};
  int uncaught_at_start{std::uncaught_exceptions()};
  Clock::time_point start{Clock::now()};
  Clock::time_point last_report{start};
};

ProgressLogger::ProgressLogger(Logger::LEVEL level, std::string const& message,
                               unsigned nb_steps)
    : impl_{std::make_unique<Impl>(Impl{level, message, nb_steps})} {
  if (Logger::is_enabled(level)) {
    write(level, absl::StrCat(message, "started (", nb_steps, " steps)"));
  }
}

ProgressLogger::~ProgressLogger() {
  try {
    if (!Logger::is_enabled(impl_->level)) return;
    auto const seconds = std::chrono::duration<double>(Clock::now() - impl_->start).count();
    auto const interrupted = std::uncaught_exceptions() > impl_->uncaught_at_start;
    write(impl_->level,
          absl::StrCat(impl_->message, interrupted ? "interrupted at " : "completed ",
                       impl_->current, "/", impl_->nb_steps, interrupted ? " after " : " in ",
                       absl::StrFormat("%.3f", seconds), " s"));
  } catch (...) {
  }
}

unsigned ProgressLogger::increment() {
  auto const done = ++impl_->current;
  // The clock is read at every step (tens of nanoseconds): looking at it only every so
  // many steps would leave operations made of few slow steps without any report.
  auto const now = Clock::now();
  if (now - impl_->last_report >= REPORT_INTERVAL && Logger::is_enabled(impl_->level)) {
    impl_->last_report = now;
    auto const percent =
        impl_->nb_steps == 0 ? 100.0 : 100.0 * done / static_cast<double>(impl_->nb_steps);
    write(impl_->level, absl::StrCat(impl_->message, done, "/", impl_->nb_steps, " (",
                                     absl::StrFormat("%.0f", percent), "%)"));
  }
  return done;
}

}  // namespace velk

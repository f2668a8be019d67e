#include <basic/logger.hpp>

#include <atomic>
#include <cstdio>
#include <mutex>

namespace velk {
namespace {

// Severity rank of each level, indexed by enumerator value.
constexpr int SEVERITY[] = {/*info*/ 2, /*debug*/ 1, /*trace*/ 0, /*warn*/ 3,
                            /*err*/ 4,  /*critical*/ 5, /*off*/ 6};

constexpr int severity(Logger::LEVEL level) { return SEVERITY[static_cast<unsigned>(level) % 7]; }

// Constant-initialised: reading it needs no guard.
std::atomic<int> current_threshold{severity(Logger::LEVEL::info)};

std::atomic<int>& threshold() { return current_threshold; }

// The level test, kept here so that the log calls reach it without going through the
// library's exported (interposable) entry points: a filtered line costs a few instructions.
inline bool passes(Logger::LEVEL level) {
  return level != Logger::LEVEL::off &&
         severity(level) >= current_threshold.load(std::memory_order_relaxed);
}

struct Sink {
  std::mutex mutex;
  Logger::Handler handler;
};

Sink& sink() {
  static Sink instance;
  return instance;
}

// Hands a line that passed the level test to the handler, or to stderr.
void deliver(Logger::LEVEL level, std::string_view line) {
  auto& target = sink();
  std::lock_guard<std::mutex> guard{target.mutex};
  // The level may have been raised while this thread waited for the lock (a host lowering
  // its verbosity before it removes its handler): such a line is dropped, not misrouted.
  if (!passes(level)) return;
  if (target.handler) {
    target.handler(level, line);
    return;
  }
  auto const name = Logger::level_name(level);
  std::fprintf(stderr, "[%.*s] %.*s\n", static_cast<int>(name.size()), name.data(),
               static_cast<int>(line.size()), line.data());
}

inline void write_line(Logger::LEVEL level, std::string_view line) {
  if (passes(level)) deliver(level, line);
}

}  // namespace

void Logger::set_level(LEVEL level) {
  threshold().store(severity(level), std::memory_order_relaxed);
}

Logger::LEVEL Logger::level() {
  auto const current = threshold().load(std::memory_order_relaxed);
  for (unsigned value = 0; value < 7; ++value) {
    if (SEVERITY[value] == current) return static_cast<LEVEL>(value);
  }
  return LEVEL::info;
}

bool Logger::is_enabled(LEVEL level) { return passes(level); }

void Logger::set_handler(Handler handler) {
  auto& target = sink();
  std::lock_guard<std::mutex> guard{target.mutex};
  target.handler = std::move(handler);
}

void Logger::log(LEVEL level, std::string_view line) { write_line(level, line); }

void Logger::log_trace(std::string const& line) { write_line(LEVEL::trace, line); }
void Logger::log_debug(std::string const& line) { write_line(LEVEL::debug, line); }
void Logger::log_info(std::string const& line) { write_line(LEVEL::info, line); }
void Logger::log_warn(std::string const& line) { write_line(LEVEL::warn, line); }
void Logger::log_error(std::string const& line) { write_line(LEVEL::err, line); }
void Logger::log_critical(std::string const& line) { write_line(LEVEL::critical, line); }

std::string_view Logger::level_name(LEVEL level) {
  switch (level) {
    case LEVEL::info: return "info";
    case LEVEL::debug: return "debug";
    case LEVEL::trace: return "trace";
    case LEVEL::warn: return "warn";
    case LEVEL::err: return "error";
    case LEVEL::critical: return "critical";
    case LEVEL::off: return "off";
  }
  return "unknown";
}

}  // namespace velk

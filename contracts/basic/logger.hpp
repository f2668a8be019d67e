// Process-wide log output with level filtering and a replaceable sink.
//
//   velk::Logger::set_level(velk::Logger::LEVEL::debug);
//   velk::Logger::set_handler([](velk::Logger::LEVEL level, std::string_view line) { ... });
//   velk::Logger::log_debug(absl::StrCat("edge_id", " = ", 4));
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include <basic/lumora_basic_export.hpp>

namespace velk {

// Static logger. A line passes when its level is at least as severe as the current level
// (trace < debug < info < warn < err < critical; `off` lets nothing through). Passing
// lines go, one call per line and unchanged, to the handler, or to stderr (with a level
// mark) when no handler is set. Thread-safe: handler calls are serialised.
class LUMORA_BASIC_API Logger {
 public:
  // `info` has value 0: the level of progress reports, shown by default.
  enum struct LEVEL : unsigned char { info = 0, debug, trace, warn, err, critical, off };

  using Handler = std::function<void(LEVEL level, std::string_view line)>;

  static void set_level(LEVEL level);
  static LEVEL level();

  // Whether a line at `level` would currently be written.
  static bool is_enabled(LEVEL level);

  // Replaces the sink; `nullptr` restores the default stderr sink. The handler must not
  // log itself.
  static void set_handler(Handler handler);

  static void log(LEVEL level, std::string_view line);
  static void log_trace(std::string const& line);
  static void log_debug(std::string const& line);
  static void log_info(std::string const& line);
  static void log_warn(std::string const& line);
  static void log_error(std::string const& line);
  static void log_critical(std::string const& line);

  // Short name of a level: "info", "debug", ...
  static std::string_view level_name(LEVEL level);
};

}  // namespace velk

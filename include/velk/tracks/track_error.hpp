// The error of the tracks library: a `LumoraException` that also keeps its message without
// the bracketed tag, for programs that print it as their own one-line message, and whether
// the input was at fault or an insertion failed.
//
//   try { velk::tracks::read_tracks({"a.bed"}, {}, "auto"); }
//   catch (velk::tracks::TrackError const& error) { std::cerr << error.detail() << '\n'; }
#pragma once

#include <string>
#include <string_view>

#include <basic/lumora_exception.hpp>
#include <velk/tracks/velk_tracks_export.hpp>

namespace velk::tracks {

class VELK_TRACKS_API TrackError : public LumoraException {
 public:
  // `bad_input`: a file or row that cannot be used; `failed`: the library failed on usable
  // input.
  enum class Kind { bad_input, failed };

  // what() is "[`operation`] `detail`".
  TrackError(Kind kind, std::string_view operation, std::string detail);
  TrackError(TrackError const&) = default;
  TrackError& operator=(TrackError const&) = default;
  ~TrackError() override;

  Kind kind() const { return kind_; }
  std::string const& detail() const { return detail_; }

 private:
  Kind kind_;
  std::string detail_;
};

}  // namespace velk::tracks

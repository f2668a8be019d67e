#include <velk/tracks/track_error.hpp>

#include <utility>

namespace velk::tracks {

TrackError::TrackError(Kind kind, std::string_view operation, std::string detail)
    : LumoraException{"[" + std::string{operation} + "] " + detail},
      kind_{kind},
      detail_{std::move(detail)} {}

TrackError::~TrackError() = default;

}  // namespace velk::tracks

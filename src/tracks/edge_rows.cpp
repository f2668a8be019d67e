#include <velk/tracks/edge_rows.hpp>

#include <utility>

#include <velk/tracks/message_text.hpp>
#include <velk/tracks/track_error.hpp>

namespace velk::tracks {

EdgeRows::EdgeRows(std::string sequence, Breakpoints breakpoints, std::string label)
    : label_{std::move(label)} {
  rows_.sequence = std::move(sequence);
  rows_.breakpoints = std::move(breakpoints);
  if (rows_.breakpoints.x.size() >= 2) {
    rows_.set_of_edge.assign(rows_.breakpoints.x.size() - 1, LineRows::NO_SET);
  }
}

void EdgeRows::fail(std::string const& what) const {
  throw TrackError{TrackError::Kind::failed, "EdgeRows::add", label_ + ": " + what};
}

void EdgeRows::add(double start, CurveSet const& tracks) {
  auto const& x = rows_.breakpoints.x;
  auto const set = tracks.empty() ? LineRows::NO_SET : rows_.intern(tracks);
  if (next_ < rows_.set_of_edge.size() && start == x[next_]) {
    rows_.set_of_edge[next_++] = set;
    return;
  }
  // Inside the row that started last: the background is finer than the rows there.
  if (next_ == 0 || start <= x[next_ - 1] || start >= x[next_]) {
    fail("a background edge starts at " + format_number(start) + ", off the rows' breakpoints");
  }
  if (rows_.set_of_edge[next_ - 1] != set) {
    fail("the tracks change at " + format_number(start) + ", inside a row");
  }
}

LineRows EdgeRows::finish() && {
  if (next_ != rows_.set_of_edge.size()) {
    fail("the background edges end before the last row");
  }
  return std::move(rows_);
}

}  // namespace velk::tracks

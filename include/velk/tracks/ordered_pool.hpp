// Work on worker threads, results taken in order: `run_in_order` runs `work(i)` for every i
// on a few threads and `consume(i)` on the calling thread in the order of i, so that results
// come out in input order while later items are being worked on.
//
//   std::vector<std::string> text(n);
//   velk::tracks::run_in_order(n, 2, [&](std::size_t i) { text[i] = render(i); },
//                              [&](std::size_t i) { std::fputs(text[i].c_str(), stdout); });
#pragma once

#include <cstddef>
#include <functional>

#include <velk/tracks/velk_tracks_export.hpp>

namespace velk::tracks {

// Runs `work(i)` for i = 0 .. count - 1 on up to `threads` threads, and `consume(i)` on the
// calling thread in the order of i, each once work i and every earlier consume are done (a
// work's writes are then visible to its consume). At most `2 * threads` works run ahead of
// the consumes. One thread (or one item) runs everything on the calling thread, and so do
// threads the system refuses to start. The first exception (of a work, in the order of i, or
// of a consume) stops the run and propagates once every thread has finished its current
// work.
VELK_TRACKS_API void run_in_order(std::size_t count, unsigned threads,
                                  std::function<void(std::size_t)> const& work,
                                  std::function<void(std::size_t)> const& consume);

}  // namespace velk::tracks

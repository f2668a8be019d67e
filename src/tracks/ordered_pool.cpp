#include <velk/tracks/ordered_pool.hpp>

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace velk::tracks {

void run_in_order(std::size_t count, unsigned threads, std::function<void(std::size_t)> const& work,
                  std::function<void(std::size_t)> const& consume) {
  if (count == 0) return;
  if (threads <= 1 || count == 1) {
    for (std::size_t i = 0; i < count; ++i) {
      work(i);
      consume(i);
    }
    return;
  }
  threads = static_cast<unsigned>(std::min<std::size_t>(threads, count));
  std::size_t const ahead = 2 * std::size_t{threads};
  std::mutex mutex;
  std::condition_variable changed;
  std::size_t next = 0;
  std::size_t consumed = 0;
  bool stop = false;
  std::vector<char> done(count, 0);
  std::vector<std::exception_ptr> errors(count);

  auto const worker = [&] {
    while (true) {
      std::size_t item = 0;
      {
        std::unique_lock<std::mutex> lock{mutex};
        changed.wait(lock, [&] { return stop || next >= count || next < consumed + ahead; });
        if (stop || next >= count) return;
        item = next++;
      }
      std::exception_ptr error;
      try {
        work(item);
      } catch (...) {
        error = std::current_exception();
      }
      {
        std::lock_guard<std::mutex> lock{mutex};
        done[item] = 1;
        errors[item] = error;
      }
      changed.notify_all();
    }
  };
  std::vector<std::thread> pool;
  auto const finish = [&] {
    {
      std::lock_guard<std::mutex> lock{mutex};
      stop = true;
    }
    changed.notify_all();
    for (auto& thread : pool) thread.join();
    pool.clear();
  };
  // Threads the system refuses (a limit on processes, say) are done without: with none at
  // all, everything runs on the calling thread.
  for (unsigned t = 0; t < threads; ++t) {
    try {
      pool.emplace_back(worker);
    } catch (std::system_error const&) {
      break;
    }
  }
  if (pool.empty()) {
    for (std::size_t i = 0; i < count; ++i) {
      work(i);
      consume(i);
    }
    return;
  }
  try {
    for (std::size_t i = 0; i < count; ++i) {
      std::exception_ptr error;
      {
        std::unique_lock<std::mutex> lock{mutex};
        changed.wait(lock, [&] { return done[i] != 0; });
        error = errors[i];
      }
      if (error) std::rethrow_exception(error);
      consume(i);
      {
        std::lock_guard<std::mutex> lock{mutex};
        consumed = i + 1;
      }
      changed.notify_all();
    }
  } catch (...) {
    finish();
    throw;
  }
  finish();
}

}  // namespace velk::tracks

// Memory that runs out on purpose: this test program replaces the global `operator new`
// (failing_allocation.cpp) so that a chosen allocation throws `std::bad_alloc`.
//
//   bool const failed = velk::test::fails_at(3, [&] { session.insert("b", points); });
#pragma once

#include <new>

namespace velk::test {

// Makes the allocation `allocation` allocations from now (0: the next one) throw
// `std::bad_alloc`, every one of the process; a negative number makes none fail.
void fail_allocation(long allocation);

// Runs `action` with its allocation number `allocation` made to fail; returns whether it
// threw `std::bad_alloc` (false: it needs fewer allocations than that, and did its work).
template <typename Action>
bool fails_at(long allocation, Action&& action) {
  fail_allocation(allocation);
  try {
    action();
  } catch (std::bad_alloc const&) {
    fail_allocation(-1);
    return true;
  }
  fail_allocation(-1);
  return false;
}

}  // namespace velk::test

// The replacement of the global allocation functions for the failure tests: every
// allocation of the process (the libraries' included) comes here, in every form, so that
// each release goes to the matching function; `fail_allocation` picks the one that throws.
#include "failure/failing_allocation.hpp"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace {

// Allocations left before the one that fails; negative: none fails.
std::atomic<long> allocations_before_failure{-1};

// Counts one allocation; throws when it is the one chosen to fail.
void count_allocation() {
  if (allocations_before_failure.load(std::memory_order_relaxed) >= 0 &&
      allocations_before_failure.fetch_sub(1, std::memory_order_relaxed) == 0) {
    throw std::bad_alloc{};
  }
}

void* allocate(std::size_t size) {
  count_allocation();
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc{};
}

}  // namespace

namespace velk::test {

void fail_allocation(long allocation) { allocations_before_failure = allocation; }

}  // namespace velk::test

#define VELK_REPLACED __attribute__((visibility("default")))
VELK_REPLACED void* operator new(std::size_t size) { return allocate(size); }
VELK_REPLACED void* operator new[](std::size_t size) { return allocate(size); }
VELK_REPLACED void* operator new(std::size_t size, std::nothrow_t const&) noexcept {
  try {
    return allocate(size);
  } catch (std::bad_alloc const&) {
    return nullptr;
  }
}
VELK_REPLACED void* operator new[](std::size_t size, std::nothrow_t const& nothrow) noexcept {
  return operator new(size, nothrow);
}
VELK_REPLACED void* operator new(std::size_t size, std::align_val_t alignment) {
  count_allocation();
  auto const align = static_cast<std::size_t>(alignment);
  if (void* memory = std::aligned_alloc(align, (size + align - 1) / align * align)) return memory;
  throw std::bad_alloc{};
}
VELK_REPLACED void* operator new[](std::size_t size, std::align_val_t alignment) {
  return operator new(size, alignment);
}
VELK_REPLACED void operator delete(void* memory) noexcept { std::free(memory); }
VELK_REPLACED void operator delete[](void* memory) noexcept { std::free(memory); }
VELK_REPLACED void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
VELK_REPLACED void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
VELK_REPLACED void operator delete(void* memory, std::nothrow_t const&) noexcept {
  std::free(memory);
}
VELK_REPLACED void operator delete[](void* memory, std::nothrow_t const&) noexcept {
  std::free(memory);
}
VELK_REPLACED void operator delete(void* memory, std::align_val_t) noexcept { std::free(memory); }
VELK_REPLACED void operator delete[](void* memory, std::align_val_t) noexcept { std::free(memory); }
VELK_REPLACED void operator delete(void* memory, std::size_t, std::align_val_t) noexcept {
  std::free(memory);
}
VELK_REPLACED void operator delete[](void* memory, std::size_t, std::align_val_t) noexcept {
  std::free(memory);
}
#undef VELK_REPLACED

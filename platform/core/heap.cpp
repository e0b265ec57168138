// The runtime's heap on top of the C library's allocator.
#include "platform/core/heap.h"

#include <atomic>
#include <cstdlib>

namespace kes::platform {
namespace {
#ifdef KES_TESTING
std::atomic<std::size_t> allocation_count{0};
std::atomic<std::size_t> fail_countdown{0};

bool should_fail() noexcept {
  std::size_t left = fail_countdown.load();
  while (left != 0) {
    if (fail_countdown.compare_exchange_weak(left, left - 1)) return left == 1;
  }
  return false;
}
#else
constexpr bool should_fail() noexcept { return false; }
#endif

void count_success() noexcept {
#ifdef KES_TESTING
  ++allocation_count;
#endif
}
}  // namespace

void* heap_allocate(std::size_t length) noexcept {
  if (should_fail()) return nullptr;
  void* block = std::malloc(length == 0 ? 1 : length);
  if (block != nullptr) count_success();
  return block;
}

void* heap_reallocate(void* block, std::size_t length) noexcept {
  if (should_fail()) return nullptr;
  void* grown = std::realloc(block, length == 0 ? 1 : length);
  if (grown != nullptr) count_success();
  return grown;
}

void heap_free(void* block) noexcept { std::free(block); }

#ifdef KES_TESTING
std::size_t heap_allocation_count() noexcept { return allocation_count.load(); }
void heap_fail_nth(std::size_t n) noexcept { fail_countdown.store(n); }
#endif

}  // namespace kes::platform

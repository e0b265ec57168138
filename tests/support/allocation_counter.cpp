// Replaces the global operator new of test executables with a counting one.
#include "tests/support/allocation_counter.h"

#include <cstdlib>
#include <new>

#include "platform/core/heap.h"

namespace {
thread_local std::size_t new_calls = 0;

void* counted_new(std::size_t size) {
  ++new_calls;
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}
}  // namespace

void* operator new(std::size_t size) { return counted_new(size); }
void* operator new[](std::size_t size) { return counted_new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  ++new_calls;
  return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  ++new_calls;
  return std::malloc(size == 0 ? 1 : size);
}
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }

namespace kes::test {

AllocationCounter::AllocationCounter() noexcept
    : new_at_start_(new_calls), heap_at_start_(platform::heap_allocation_count()) {}

AllocationCounter::~AllocationCounter() = default;

std::size_t AllocationCounter::count() const noexcept {
  return (new_calls - new_at_start_) + (platform::heap_allocation_count() - heap_at_start_);
}

}  // namespace kes::test

// The runtime's heap: every block the library owns on behalf of a program comes from here, so
// that out-of-memory results can be tested and counted.
//
// State: the test counters below are process-wide and exist only in test builds.
#pragma once

#include <cstddef>

namespace kes::platform {

// Returns a block of at least `length` bytes, or null when the heap is exhausted (or a test has
// asked this call to fail). A zero length returns a valid, unique block.
void* heap_allocate(std::size_t length) noexcept;

// Resizes a block from heap_allocate, keeping its contents; null on failure, the old block then
// staying valid. A null block allocates.
void* heap_reallocate(void* block, std::size_t length) noexcept;

// Releases a block from heap_allocate; null is ignored.
void heap_free(void* block) noexcept;

#ifdef KES_TESTING
// Number of successful heap_allocate/heap_reallocate calls since start-up.
std::size_t heap_allocation_count() noexcept;
// Makes the n-th allocation from now fail (1 = the next one); 0 disarms.
void heap_fail_nth(std::size_t n) noexcept;
#endif

}  // namespace kes::platform

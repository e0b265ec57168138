// Counts the C++ allocations of the calling thread, for tests of allocation-free paths.
//
// State: one counter per thread, test builds only.
#pragma once

#include <cstddef>

namespace kes::test {

// Counts operator new calls on this thread while alive, together with the runtime heap's
// allocations made in the same span.
class AllocationCounter {
 public:
  AllocationCounter() noexcept;
  ~AllocationCounter();
  AllocationCounter(const AllocationCounter&) = delete;
  AllocationCounter& operator=(const AllocationCounter&) = delete;
  // Allocations since construction: operator new plus the runtime heap.
  std::size_t count() const noexcept;

 private:
  std::size_t new_at_start_;
  std::size_t heap_at_start_;
};

}  // namespace kes::test

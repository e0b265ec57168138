// A call that does nothing, compiled apart so that it is never inlined: the benchmarks of
// exported operations time as many of these to show what the calls alone cost.
//
// State: none.
#pragma once

#include <cstdint>

extern "C" void kes_bench_empty_call(const void* text, std::uint32_t length) noexcept;

// A comparison that reads one byte of each operand, compiled apart in the same way: what a
// called comparison costs before it compares anything.
extern "C" int kes_bench_first_bytes_compare(const void* left, const void* right) noexcept;

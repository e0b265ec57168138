// A call that does nothing, compiled apart so that it is never inlined: the benchmarks of
// exported operations time as many of these to show what the calls alone cost.
//
// State: none.
#pragma once

#include <cstdint>

extern "C" void kes_bench_empty_call(const void* text, std::uint32_t length) noexcept;

#include "bench/support/empty_call.h"

extern "C" void kes_bench_empty_call(const void*, std::uint32_t) noexcept {}

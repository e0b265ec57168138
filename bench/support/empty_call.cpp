#include "bench/support/empty_call.h"

extern "C" void kes_bench_empty_call(const void*, std::uint32_t) noexcept {}

extern "C" int kes_bench_first_bytes_compare(const void* left, const void* right) noexcept {
  const int a = *static_cast<const unsigned char*>(left);
  const int b = *static_cast<const unsigned char*>(right);
  return (a > b) - (a < b);
}

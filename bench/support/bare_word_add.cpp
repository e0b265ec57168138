#include "bench/support/bare_word_add.h"

#include <cstring>

extern "C" void kes_bench_bare_word_add(std::uint8_t* left, const std::uint8_t* right, int first,
                                        int last) noexcept {
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
  std::uint64_t carry = 0;
  for (int k = first; k <= last; ++k) {
    std::uint64_t a;
    std::uint64_t b;
    std::memcpy(&a, left + 8 * k, sizeof a);
    std::memcpy(&b, right + 8 * k, sizeof b);
    std::uint64_t sum = a + 0xF6 * kOnes + b + carry;
    carry = ~sum >> 63;
    sum -= ((sum >> 7) & kOnes) * 0xF6;
    std::memcpy(left + 8 * k, &sum, sizeof sum);
  }
}

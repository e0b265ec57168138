// The 64-bit-halves version of Uint128, built beside the version that the rest of the test
// program uses, so that the two can be compared. Values travel as {high, low}.
#pragma once

#include <cstdint>

namespace kes::numeric::test {

struct Halves {
  std::uint64_t high;
  std::uint64_t low;
  bool operator==(const Halves&) const = default;
};

Halves portable_add(Halves a, Halves b);
Halves portable_subtract(Halves a, Halves b);
Halves portable_multiply(Halves a, std::uint64_t b);
Halves portable_shifted_right(Halves a, int bits);
bool portable_less(Halves a, Halves b);
int portable_bit_width(Halves a);
double portable_to_double(Halves a);

}  // namespace kes::numeric::test

// The 64-bit-halves version of Uint128, as the 32-bit build uses it.
#define KES_UINT128_PORTABLE 1
#include "tests/support/uint128_portable.h"

#include "numeric/decimal/uint128.h"

namespace kes::numeric::test {
namespace {

Uint128 wide(Halves value) { return {value.high, value.low}; }
Halves halves(Uint128 value) { return {value.high(), value.low()}; }

}  // namespace

Halves portable_add(Halves a, Halves b) { return halves(wide(a) + wide(b)); }
Halves portable_subtract(Halves a, Halves b) { return halves(wide(a) - wide(b)); }
Halves portable_multiply(Halves a, std::uint64_t b) { return halves(wide(a) * b); }
Halves portable_shifted_right(Halves a, int bits) { return halves(shifted_right(wide(a), bits)); }
bool portable_less(Halves a, Halves b) { return wide(a) < wide(b); }
int portable_bit_width(Halves a) { return bit_width(wide(a)); }
double portable_to_double(Halves a) { return to_double(wide(a)); }

}  // namespace kes::numeric::test

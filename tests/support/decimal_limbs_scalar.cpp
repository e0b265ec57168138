// The word version of the limb conversions, built beside the vector version that the rest of the
// test program uses, so that the two can be compared.
#define KES_DECIMAL_SCALAR 1
#include "tests/support/decimal_limbs_scalar.h"

#include "numeric/decimal_limbs.h"

namespace kes::numeric::test {

std::uint32_t scalar_four_limbs_to_words(const std::uint32_t* limbs, std::uint64_t* words) {
  return four_limbs_to_words(limbs[0], limbs[1], limbs[2], limbs[3], words);
}

void scalar_row_to_limbs(const std::uint8_t* digits, int low, int high, std::uint32_t* limbs) {
  row_to_limbs(digits, positions_from(low), positions_from(high + 1), limbs);
}

}  // namespace kes::numeric::test

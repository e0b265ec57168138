// The word version of the limb conversions, built beside the vector version that the rest of the
// test program uses, so that the two can be compared.
#define KES_DECIMAL_SCALAR 1
#include "tests/support/decimal_limbs_scalar.h"

#include "numeric/decimal/decimal_limbs.h"

namespace kes::numeric::test {

std::uint32_t scalar_four_limbs_to_words(const std::uint32_t* limbs, std::uint8_t* bytes) {
  return four_limbs_to_words(limbs[0], limbs[1], limbs[2], limbs[3], bytes);
}

void scalar_four_words_to_limbs(std::uint64_t w0, std::uint64_t w1, std::uint64_t w2,
                                std::uint64_t w3, std::uint64_t* limbs) {
  four_words_to_limbs(w0, w1, w2, w3, limbs);
}

void scalar_row_to_limbs(const std::uint8_t* digits, std::uint32_t* limbs) {
  row_to_limbs(digits, limbs);
}

}  // namespace kes::numeric::test

// The word versions of four_limbs_to_words and row_to_limbs, compiled without vector instructions.
#pragma once

#include <cstdint>

namespace kes::numeric::test {

std::uint32_t scalar_four_limbs_to_words(const std::uint32_t* limbs, std::uint64_t* words);
void scalar_row_to_limbs(const std::uint8_t* digits, int low, int high, std::uint32_t* limbs);

}  // namespace kes::numeric::test

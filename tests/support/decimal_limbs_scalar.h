// The word versions of the limb conversions, compiled without vector instructions.
#pragma once

#include <cstdint>

namespace kes::numeric::test {

std::uint32_t scalar_four_limbs_to_words(const std::uint32_t* limbs, std::uint8_t* bytes);
void scalar_four_words_to_limbs(std::uint64_t w0, std::uint64_t w1, std::uint64_t w2,
                                std::uint64_t w3, std::uint64_t* limbs);
void scalar_row_to_limbs(const std::uint8_t* digits, std::uint32_t* limbs);

}  // namespace kes::numeric::test

// The word version of four_limbs_to_words, compiled without vector instructions.
#pragma once

#include <cstdint>

namespace kes::numeric::test {

std::uint32_t scalar_four_limbs_to_words(const std::uint32_t* limbs, std::uint64_t* words);

}  // namespace kes::numeric::test

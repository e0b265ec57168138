// BSHIFT: shifts of a LONG's 32 bits. Pure function; no state.
#pragma once

#include <cstdint>

namespace kes::numeric {

// value shifted left by count when count is 0 to 31, logically right (zeros entering at the top)
// by -count when count is -1 to -31, and 0 for counts of 32 or more in either direction.
std::int32_t bit_shift(std::int32_t value, std::int32_t count) noexcept;

}  // namespace kes::numeric

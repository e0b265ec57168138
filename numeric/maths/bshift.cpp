// BSHIFT on the unsigned bit pattern, so no shift is ever of a negative number or too wide.
#include "numeric/maths/bshift.h"

#include <cstdint>

namespace kes::numeric {

std::int32_t bit_shift(std::int32_t value, std::int32_t count) noexcept {
  const std::uint32_t bits = static_cast<std::uint32_t>(value);
  if (count >= 32 || count <= -32) {
    return 0;
  }
  if (count >= 0) {
    return static_cast<std::int32_t>(bits << count);
  }
  return static_cast<std::int32_t>(bits >> -count);
}

}  // namespace kes::numeric

// The decimal value: a row of unpacked BCD digits with a sign and the range of positions in use,
// and the constants of its layout. The arithmetic works on these; the decimal stack holds them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kes::numeric {

// Positions 0 to 63; the digit at position p weighs 10^(p - 32), so position 32 is the units.
inline constexpr int kDecimalPositions = 64;
inline constexpr int kUnitsPosition = 32;
// Longest text decimal_to_text writes: sign, 32 integer digits, point, 32 fraction digits.
inline constexpr std::size_t kDecimalTextCapacity = 80;

// One working value. Only digits[low..high] belong to the value. Every entry the engine makes
// keeps the bytes outside low..high at zero (a clean row), so that addition, subtraction and
// comparison can read whole words without masking; code that raises low or lowers high clears
// what it gives up. A value whose digits are all zero is zero whatever its sign.
struct DecimalEntry {
  std::uint8_t digits[kDecimalPositions];  // one digit 0..9 per byte, indexed by position
  std::uint8_t sign;                       // 0 positive, 1 negative
  std::uint8_t low;                        // lowest position in use, [0, 63]
  std::uint8_t high;                       // highest position in use, [low, 63]
};
static_assert(sizeof(DecimalEntry) == 67);
static_assert(offsetof(DecimalEntry, sign) == 64);
static_assert(offsetof(DecimalEntry, low) == 65);
static_assert(offsetof(DecimalEntry, high) == 66);

}  // namespace kes::numeric

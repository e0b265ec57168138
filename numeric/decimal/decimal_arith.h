// Exact decimal arithmetic on single working values: the operations behind the decimal stack.
//
// State: none. Every function works on the values it is given; the multiplication multiples
// and division work rows live on the caller's machine stack, so nothing here is shared between
// threads and nothing allocates.
//
// Overflow: the row keeps positions 0 to 63, so every result is taken modulo 10^32 (digits that
// would reach position 64 or above are lost, silently); digits that would fall below position 0
// are dropped as each operation describes.
#pragma once

#include <cstdint>

#include "numeric/decimal/decimal_value.h"

namespace kes::numeric {

// Makes `value` the canonical zero: low = high = 32, digit 0, sign positive.
void decimal_set_zero(DecimalEntry& value) noexcept;
// Makes `value` a single digit 0..9 at the units position, sign positive.
void decimal_set_digit(DecimalEntry& value, int digit) noexcept;
// True when every digit from low to high is zero (whatever the sign).
bool decimal_is_zero(const DecimalEntry& value) noexcept;

// left = left + right, left = left - right. The result's low is the finer of the two lows; its
// high has one position of headroom above the larger operand (capped at 63). A carry out of
// position 63 is lost. An all-zero result is positive.
void decimal_add(DecimalEntry& left, const DecimalEntry& right) noexcept;
void decimal_subtract(DecimalEntry& left, const DecimalEntry& right) noexcept;

// left = left x right, normalised. `left` is the multiplicand: each non-zero digit of `right`
// adds the multiple of `left` at that digit's position, with the part of each multiple that falls
// below position 0 cut off before it is added (so a product finer than 32 places is truncated,
// carries from the cut parts included).
void decimal_multiply(DecimalEntry& left, const DecimalEntry& right) noexcept;

// left = left / right, rounded half away from zero to 31 places and normalised. A zero divisor or
// dividend gives canonical zero. A divisor of more than 60 significant digits ignores its digits
// below position 3.
void decimal_divide(DecimalEntry& left, const DecimalEntry& right) noexcept;

// The sign of (left - right): -1, 0 or +1. Zeros compare equal whatever their signs.
int decimal_compare(const DecimalEntry& left, const DecimalEntry& right) noexcept;

// Truncates toward zero (INT).
void decimal_truncate(DecimalEntry& value) noexcept;

// Rounds `value` to the decimal position of `increment`'s leading digit (ROUND(x, 0.05) rounds to
// hundredths, ROUND(x, 100) to hundreds); a zero increment rounds to whole units.
void decimal_round_to_increment(DecimalEntry& value, const DecimalEntry& increment) noexcept;

// value = value ^ exponent by binary exponentiation; exponent 0 gives 1 (also for a zero base).
void decimal_power(DecimalEntry& value, std::uint32_t exponent) noexcept;
// As decimal_power; a negative exponent gives 1 / value^(-exponent) by division, so 0^-k is 0.
void decimal_power_signed(DecimalEntry& value, std::int32_t exponent) noexcept;

// Rounds `value` to `places` fraction digits, half away from zero, [0, 32].
void decimal_round(DecimalEntry& value, int places) noexcept;
// Brings `value` to normal form: high and low on the outermost non-zero digits, zero canonical.
void decimal_normalise(DecimalEntry& value) noexcept;

}  // namespace kes::numeric

// The REAL built-ins of compiled code: remainder, powers, ROUND, INT and the transcendental
// functions. Pure functions; no state.
#pragma once

#include <cstdint>

namespace kes::numeric {

// The floating remainder of a / b, carrying the sign of a; 0.0 when b is zero (either sign).
// Infinite a or NaN operands give NaN, a finite a with an infinite b gives a.
double real_modulus(double a, double b) noexcept;

// x raised to y, and to the whole number n, as the platform's pow gives them.
double real_power(double x, double y) noexcept;
double long_power(double x, std::int32_t n) noexcept;

// ROUND(x, increment): with k = floor(log10(increment)) and p = 10^k, trunc(x / p + 0.5) * p for
// x > 0 and trunc(x / p - 0.5) * p otherwise (half away from zero). Only the increment's leading
// decimal position counts: 0.05 rounds to hundredths, 500 to hundreds. Returns x unchanged when
// x is zero, the increment is zero, negative or NaN, or either is infinite, or
// when x / 10^k overflows (the position lies far below x's digits).
double real_round(double x, double increment) noexcept;

// The integer part, truncated toward zero (infinities and NaN unchanged).
double real_integer_part(double value) noexcept;

}  // namespace kes::numeric

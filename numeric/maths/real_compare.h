// REAL and SREAL comparison with Kestrel's tolerance, and the tolerant conversions of REALs to
// whole numbers built on it. Pure functions; no state.
#pragma once

#include <cstdint>

namespace kes::numeric {

// Margins, in binary orders of magnitude, below which a difference does not count.
inline constexpr int kRealToleranceBits = 50;
inline constexpr int kSrealToleranceBits = 22;

// True when x and y differ beyond the tolerance. With d = y - x and E(v) the biased exponent
// field of v (the field of 1.0 when v's field is 0), they are equal when d's field is 0 (zero or
// subnormal) or E(d) + 50 < E(x) or E(d) + 50 < E(y). Equal values (equal infinities included)
// are never distinct; a NaN on either side is always distinct.
bool real_distinct(double x, double y) noexcept;
// The same on SREALs: 8-bit exponent field, 127 for zero, margin 22.
bool sreal_distinct(float x, float y) noexcept;

// REAL to LONG: the value truncated toward zero, or the next whole number away from zero when
// the value is not distinct from it. A value that is already whole converts to itself (an SREAL
// of 2^23 or more lies within the SREAL tolerance of its successor). The direction follows the
// value's sign, so -0.99999999999999994 gives -1 just as 0.99999999999999994 gives 1. When the next
// number would leave the LONG range the truncation stands. NaN and values whose truncation lies
// outside the LONG range give -2147483648.
std::int32_t real_to_long(double value) noexcept;
// REAL to ULONG: the 64-bit truncation n, or n + 1 when the value is not whole and not distinct
// from n + 1; then the low 32 bits. NaN and values beyond the 64-bit range give 0 (the low half
// of the indefinite integer). Negative values wrap (-1.0 gives FFFFFFFFh) and only move upward.
std::uint32_t real_to_ulong(double value) noexcept;
// The SREAL forms: the same rules with the SREAL tolerance.
std::int32_t sreal_to_long(float value) noexcept;
std::uint32_t sreal_to_ulong(float value) noexcept;

// a / b, or 0.0 when b is not distinct from 0.0 (|b| below 2^-50, zero included); never traps.
double real_divide(double a, double b) noexcept;

}  // namespace kes::numeric

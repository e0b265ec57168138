// The mathematical built-ins of compiled code: tolerant REAL comparison and conversion, safe
// division, ROUND, RANDOM, BSHIFT, CRC-32 and the transcendental functions.
#pragma once

#include <kestrel/abi.h>

// 1 when x and y differ by more than the REAL tolerance (about 2^-50 of the larger magnitude, or
// of 1.0 when one is zero), else 0. Equal infinities are not distinct; a NaN is distinct from
// everything.
KES_API int32_t Kes$realdistinct(double x, double y) KES_NOEXCEPT;

// Tolerant REAL-to-whole-number conversions: truncation toward zero, moved one further from zero
// (the unsigned forms: one up) when the value lies within the tolerance of that next number, so
// 2.9999999999999996 gives 3. Out of range: the signed forms give -2147483648, the unsigned forms
// the low 32 bits of the 64-bit truncation (0 when that too is out of range or the value is NaN).
KES_API uint32_t Kes$uroundd(double value) KES_NOEXCEPT;
KES_API int32_t Kes$lroundd(double value) KES_NOEXCEPT;
KES_API uint32_t Kes$uroundf(float value) KES_NOEXCEPT;
KES_API int32_t Kes$lroundf(float value) KES_NOEXCEPT;

// a / b, or 0.0 when b is within the tolerance of zero (|b| below about 2^-50).
KES_API double Kes$divide(double a, double b) KES_NOEXCEPT;
// The floating remainder of a / b with the sign of a; 0.0 when b is zero.
KES_API double Kes$modulus(double a, double b) KES_NOEXCEPT;
// x raised to y; x raised to the whole number n.
KES_API double Kes$realpower(double x, double y) KES_NOEXCEPT;
KES_API double Kes$longpower(double x, int32_t n) KES_NOEXCEPT;
// x rounded, half away from zero, to the decimal position of the increment's leading digit
// (ROUND(x, 0.05) rounds to hundredths); x unchanged when x is zero or the increment is not
// positive.
KES_API double Kes$ROUND(double x, double increment) KES_NOEXCEPT;
// The integer part of value, truncated toward zero.
KES_API double Kes$INT(double value) KES_NOEXCEPT;

// The standard functions; angles in radians. Outside their domains they return what the
// platform's mathematics library returns (NaN or an infinity).
KES_API double Kes$SQRT(double value) KES_NOEXCEPT;
KES_API double Kes$LOG10(double value) KES_NOEXCEPT;
KES_API double Kes$LOGE(double value) KES_NOEXCEPT;
KES_API double Kes$SIN(double radians) KES_NOEXCEPT;
KES_API double Kes$COS(double radians) KES_NOEXCEPT;
KES_API double Kes$TAN(double radians) KES_NOEXCEPT;
KES_API double Kes$ASIN(double value) KES_NOEXCEPT;
KES_API double Kes$ACOS(double value) KES_NOEXCEPT;
KES_API double Kes$ATAN(double value) KES_NOEXCEPT;

// A pseudo-random LONG from low to high inclusive (low itself when they are equal).
KES_API int32_t Kes$RANDOM(int32_t low, int32_t high) KES_NOEXCEPT;

// value shifted left by count, or logically right by -count when count is negative; 0 when the
// count's magnitude is 32 or more.
KES_API int32_t Kes$BSHIFT(int32_t value, int32_t count) KES_NOEXCEPT;

// The reflected CRC-32 (polynomial EDB88320h) of length bytes at buffer, continuing from crc.
// No inversion is applied: callers start from FFFFFFFFh and complement the result. A null buffer
// with a zero length returns crc.
KES_API uint32_t Kes$crc32(const void* buffer, uint32_t length, uint32_t crc) KES_NOEXCEPT;

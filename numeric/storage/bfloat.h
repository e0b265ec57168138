// BFLOAT4 and BFLOAT8: the binary floating formats of the older record manager, stored
// little-endian, with an 8-bit exponent biased by 129 in the top byte, then the sign, then the
// fraction of a value written 1.f x 2^(e - 129). Pure functions; no state.
#pragma once

#include <cstdint>
#include <span>

namespace kes::numeric {

inline constexpr int kBfloat4Size = 4;
inline constexpr int kBfloat8Size = 8;

// Stores a REAL as BFLOAT8: e = E - 894 from the REAL's exponent field E, the sign, and the 52
// fraction bits shifted up by 3 (the lowest 3 bits 0). Positive zero, negative zero and values
// whose e would fall below 0 (subnormals and values below about 2^-129) store eight zero bytes.
// An e above 255 (values of 2^127 or more, infinities and NaN) is clamped to 255 with the
// fraction kept, so an infinity stores as the largest BFLOAT exponent with a zero fraction.
void store_bfloat8(std::span<std::uint8_t, kBfloat8Size> destination, double value) noexcept;
// Reads BFLOAT8: 0.0 when bytes 6 and 7 are both zero, else E = e + 894, the sign, and the top
// 52 of the 55 fraction bits. Every bit pattern reads as a finite REAL.
double load_bfloat8(std::span<const std::uint8_t, kBfloat8Size> source) noexcept;

// Stores a REAL as BFLOAT4: the same exponent and sign rules, keeping the top 23 fraction bits
// (cut, not rounded).
void store_bfloat4(std::span<std::uint8_t, kBfloat4Size> destination, double value) noexcept;
// Reads BFLOAT4: 0.0 when bytes 2 and 3 are both zero, else E = e + 894, the sign, and the 23
// bits at the top of the REAL's fraction.
double load_bfloat4(std::span<const std::uint8_t, kBfloat4Size> source) noexcept;

}  // namespace kes::numeric

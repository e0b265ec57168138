// Conversions between working decimal values and whole numbers, REALs, text, compiled literals
// and the packed DECIMAL and PDECIMAL storage bytes.
//
// State: none; nothing here allocates.
#pragma once

#include <cstdint>
#include <string_view>

#include "numeric/decimal/decimal_value.h"

namespace kes::numeric {

// Type codes of the packed decimal variables.
inline constexpr std::uint8_t kDecimalTypeCode = 10;
inline constexpr std::uint8_t kPdecimalTypeCode = 11;

enum class PackedKind : std::uint8_t {
  Decimal,   // sign nibble first, then the digits
  Pdecimal,  // the digits, then the sign nibble
};

void decimal_from_long(DecimalEntry& value, std::int32_t number) noexcept;
void decimal_from_ulong(DecimalEntry& value, std::uint32_t number) noexcept;

// The REAL's 15 most significant digits, correctly rounded, the first at position
// 31 + (decimal point position). Digits that would lie above position 63 or below 0 are dropped
// (so a magnitude of 10^32 or more keeps only the digits that fall inside the row, and 1e32 and
// above give zero once every digit lies above). NaN and infinities give zero.
void decimal_from_real(DecimalEntry& value, double number) noexcept;

// Parses text by the decimal grammar (see decimal_push_text). Of more than 31 integer digits
// only the 31 least significant are kept (high-order digits are lost, as in every overflow);
// fraction digits beyond the 32nd are dropped. The exponent is read modulo 256 before its sign
// applies, and the value is then multiplied by 10^exponent by decimal_power_signed and
// decimal_multiply, so an exponent of 32 or more in magnitude gives zero.
void decimal_from_text(DecimalEntry& value, std::string_view text) noexcept;

// A compiled literal: `count` digit bytes, least significant first, the lowest `places` of them
// the fraction; sign 0 positive, otherwise negative. A byte above 9 reads as its value modulo 10;
// digits whose position falls outside 0..63 are dropped. Null digits give zero.
void decimal_from_constant(DecimalEntry& value, const std::uint8_t* digits, int count, int places,
                           int sign) noexcept;

// Whole-number pops: the digits from high down to the units, wrapping modulo 2^32, the fraction
// truncated; to_long negates when the value is negative.
std::int32_t decimal_to_long(const DecimalEntry& value) noexcept;
std::uint32_t decimal_to_ulong(const DecimalEntry& value) noexcept;
// At most the 16 most significant digits, scaled by exact powers of ten.
double decimal_to_real(const DecimalEntry& value) noexcept;

// Reads `size` packed bytes with `places` fraction digits (2 * size - 1 digits in all). Digits
// whose position falls outside 0..63 (a layout with places > 32 or 2 * size - places > 33) are
// dropped; a nibble above 9 reads as 0; size 0 or null bytes give zero.
void decimal_load_packed(DecimalEntry& value, const std::uint8_t* bytes, PackedKind kind, int size,
                         int places) noexcept;
// Rounds `value` to `places` (half away from zero) and writes `size` packed bytes; digits above
// the target's top position are dropped, target positions outside 0..63 are written as 0. The
// sign nibble follows the value's sign even when the rounded value is zero. Size 0 or null bytes
// write nothing.
void decimal_store_packed(DecimalEntry value, std::uint8_t* bytes, PackedKind kind, int size,
                          int places) noexcept;

// CLEAR of a packed variable: fill 0 zero, positive the highest value, negative the lowest.
// Writes nothing for a type code other than kDecimalTypeCode or kPdecimalTypeCode, or size 0.
void decimal_clear_packed(std::uint8_t* bytes, std::uint32_t size, std::uint8_t type_code,
                          std::int8_t fill) noexcept;

}  // namespace kes::numeric

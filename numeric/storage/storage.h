// Conversions between REAL, LONG and the storage forms that drivers and value descriptors keep:
// DECIMAL and PDECIMAL through the decimal stack, and heap texts of numbers.
//
// State: none of its own. The decimal conversions go through the decimal stack and leave it as
// they found it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "runtime/stack/string_store.h"

namespace kes::numeric {

// Longest text format_real_text writes: sign, 14 digits, point, "E-308".
inline constexpr std::size_t kRealTextCapacity = 24;

// The REAL in general notation with at most 14 significant digits, as C's "%.14G" writes it:
// plain digits while the decimal exponent lies from -4 to 13 ("0.0001", "-2.5",
// "12345678901234"), the exponent form otherwise ("1E-05", "1E+14", "1.2345678901235E+17"), no
// trailing zeros. Negative zero writes "0"; infinities "INF" and "-INF", NaN "NAN". Returns the
// length.
std::size_t format_real_text(double value, std::span<char, kRealTextCapacity> out) noexcept;

// New heap texts (platform heap, not terminated) of a REAL as format_real_text writes it and of
// a LONG in decimal ("-2147483648"); {null, 0} when the allocation fails.
runtime::HeapText real_to_heap_text(double value) noexcept;
runtime::HeapText long_to_heap_text(std::int32_t value) noexcept;
// Frees the text's buffer (null is ignored) and empties it.
void free_heap_text(runtime::HeapText& text) noexcept;

}  // namespace kes::numeric

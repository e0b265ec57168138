// REALs stored into, and read from, DECIMAL and PDECIMAL variables.
//
// State: none. The conversions use a working decimal value of their own rather than the decimal
// stack, so they give the stack's results without touching it (a full stack cannot overflow).
#pragma once

#include <cstdint>

namespace kes::numeric {

// REAL to DECIMAL (pdecimal false) or PDECIMAL (true) of `size` bytes with `places` fraction
// digits: the REAL's 15 most significant digits, rounded half away from zero to the places;
// digits above the field are dropped (12345 into size 3, places 2 stores 345.00). NaN and
// infinities store zero, and so does a REAL negative zero (with a positive sign;
// only a negative value that rounds to zero keeps its sign nibble). Null bytes or size 0 write
// nothing.
void store_real_as_decimal(std::uint8_t* bytes, std::uint8_t size, std::uint8_t places,
                           double value, bool pdecimal) noexcept;

// DECIMAL or PDECIMAL to REAL: at most the 16 most significant digits scaled by exact powers of
// ten. Null bytes or size 0 read 0.0.
double load_real_from_decimal(const std::uint8_t* bytes, std::uint8_t size, std::uint8_t places,
                              bool pdecimal) noexcept;

}  // namespace kes::numeric

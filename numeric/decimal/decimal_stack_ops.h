// The decimal stack's operations as compiled code reaches them: each works on the top (and the
// entry below it, "next") of the process-wide decimal stack of decimal_stack.h.
//
// Binary operations pop the top and leave the result in next's place. Every operation that needs
// more entries than the stack holds, and every push onto a full stack, ends the program through
// the fatal path with "Stack overflow". No scratch entry is taken above the top, so all ten
// entries are usable.
#pragma once

#include <cstdint>

#include "numeric/decimal/decimal_convert.h"

namespace kes::numeric {

// Pushes `size` packed bytes with `places` fraction digits (see decimal_load_packed).
void decimal_push_packed(const std::uint8_t* bytes, PackedKind kind, int size, int places) noexcept;
// Pops, rounds to `places` and stores `size` packed bytes (see decimal_store_packed).
void decimal_pop_packed(std::uint8_t* bytes, PackedKind kind, int size, int places) noexcept;
// Pushes a compiled literal (see decimal_from_constant).
void decimal_push_constant(const std::uint8_t* digits, int count, int places, int sign) noexcept;

void decimal_stack_add() noexcept;                // next + top
void decimal_stack_subtract() noexcept;           // next - top
void decimal_stack_subtract_reversed() noexcept;  // top - next
void decimal_stack_multiply() noexcept;           // next x top
void decimal_stack_divide() noexcept;             // next / top, 31 places
void decimal_stack_divide_reversed() noexcept;    // top / next
void decimal_stack_power(std::uint32_t exponent) noexcept;
void decimal_stack_power_signed(std::int32_t exponent) noexcept;
void decimal_stack_truncate() noexcept;  // INT of the top
void decimal_stack_abs() noexcept;
void decimal_stack_negate() noexcept;
void decimal_stack_round() noexcept;  // pops the increment, rounds next
void decimal_stack_swap() noexcept;
// Pops the top: true when it is non-zero.
bool decimal_stack_nonzero() noexcept;
// Pops both: the sign of (top - next), and of (next - top).
int decimal_stack_distinct() noexcept;
int decimal_stack_distinct_reversed() noexcept;
// Empties the stack (tests and the thread layer's fresh threads).
void decimal_stack_clear() noexcept;

}  // namespace kes::numeric

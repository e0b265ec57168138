// The decimal stack: exact decimal arithmetic on unpacked BCD digit rows.
//
// State: the stack (ten entries and a depth) is per-thread state held in one process-wide copy:
// the thread layer saves and restores it at each thread switch (save_decimal_stack,
// restore_decimal_stack). Multiplication keeps its multiples on the caller's machine stack, so
// there is no other shared state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "numeric/decimal/decimal_arith.h"
#include "numeric/decimal/decimal_value.h"

namespace kes::numeric {

inline constexpr int kDecimalStackCapacity = 10;

// Number of live entries, [0, 10].
int decimal_depth() noexcept;
// The top entry (depth - 1); the stack must not be empty.
DecimalEntry& decimal_top() noexcept;
// Pushes a copy of `value` (fatal "Stack overflow" when the stack is full).
void decimal_push(const DecimalEntry& value) noexcept;
// Pops the top entry (fatal "Stack overflow" when the stack is empty).
DecimalEntry decimal_pop() noexcept;

// Pushes whole numbers and REALs exactly as DPushLong, DPushULong and DPushReal do.
void decimal_push_long(std::int32_t value) noexcept;
void decimal_push_ulong(std::uint32_t value) noexcept;
void decimal_push_real(double value) noexcept;
// Pops with the whole-number (truncating, wrapping) and REAL conversions.
std::int32_t decimal_pop_long() noexcept;
std::uint32_t decimal_pop_ulong() noexcept;
double decimal_pop_real() noexcept;

// Parses numeric text by the decimal grammar (leading spaces, "-", digits, "." or ",",
// fraction, exponent after a point) and pushes its value; the first character that does not
// fit ends the number.
void decimal_push_text(std::string_view text) noexcept;
// Writes the canonical text of `value` ("-0.05", "1200", "0") into `out` and returns its
// length; never more than kDecimalTextCapacity bytes.
std::size_t decimal_to_text(const DecimalEntry& value,
                            std::span<char, kDecimalTextCapacity> out) noexcept;

// Thread switch support: a heap block holding the depth and the live entries (null when the
// stack is empty), and its restoration (which frees the block; null empties the stack).
void* save_decimal_stack() noexcept;
void restore_decimal_stack(void* block) noexcept;

}  // namespace kes::numeric

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

namespace kes::numeric {

// Positions 0 to 63; the digit at position p weighs 10^(p - 32), so position 32 is the units.
inline constexpr int kDecimalPositions = 64;
inline constexpr int kUnitsPosition = 32;
inline constexpr int kDecimalStackCapacity = 10;
// Longest text decimal_to_text writes: sign, 32 integer digits, point, 32 fraction digits.
inline constexpr std::size_t kDecimalTextCapacity = 80;

// One working value. Only digits[low..high] belong to the value. Every entry the engine makes
// keeps the bytes outside low..high at zero (a clean row), so that addition, subtraction and
// comparison can read whole words without masking; code that raises low or lowers high clears
// what it gives up. A value whose digits are all zero is zero whatever its sign.
struct DecimalEntry {
  std::uint8_t digits[kDecimalPositions];  // one digit 0..9 per byte, indexed by position
  std::uint8_t sign;                       // 0 positive, 1 negative
  std::uint8_t low;                        // lowest position in use, [0, 63]
  std::uint8_t high;                       // highest position in use, [low, 63]
};
static_assert(sizeof(DecimalEntry) == 67);
static_assert(offsetof(DecimalEntry, sign) == 64);
static_assert(offsetof(DecimalEntry, low) == 65);
static_assert(offsetof(DecimalEntry, high) == 66);

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

// Rounds `value` to `places` fraction digits, half away from zero, [0, 32].
void decimal_round(DecimalEntry& value, int places) noexcept;
// Brings `value` to normal form: high and low on the outermost non-zero digits, zero canonical.
void decimal_normalise(DecimalEntry& value) noexcept;

// Thread switch support: a heap block holding the depth and the live entries (null when the
// stack is empty), and its restoration (which frees the block; null empties the stack).
void* save_decimal_stack() noexcept;
void restore_decimal_stack(void* block) noexcept;

}  // namespace kes::numeric

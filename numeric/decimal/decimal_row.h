// The digit row read and written as machine words: what the decimal engine's arithmetic and its
// division share.
//
// State: none.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#include "numeric/decimal/decimal_arith.h"
#include "numeric/decimal/decimal_limbs.h"

namespace kes::numeric {

// Position p is byte p of the row; loaded as little-endian words, a higher byte is a more
// significant digit, so word arithmetic carries and compares in the digits' own order. The
// 32-bit Windows target is little-endian too.
static_assert(std::endian::native == std::endian::little);

inline constexpr int kWords = 8;
inline constexpr int kTopPosition = kDecimalPositions - 1;
inline constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
// Added to every digit before a word addition: a byte then overflows into the next exactly when
// its decimal sum reaches 10, and bytes that did not overflow keep the bias (high bit set).
inline constexpr std::uint64_t kCarryBias = 0xF6 * kOnes;
inline constexpr std::uint32_t kLimbBase = 100000000;  // 10^8

struct Row {
  std::uint64_t w[kWords];
};

// Masks of the bytes of a word whose index is below n, n in [0, 8].
inline constexpr std::uint64_t kBytesBelow[9] = {0,
                                                 0xFFULL,
                                                 0xFFFFULL,
                                                 0xFFFFFFULL,
                                                 0xFFFFFFFFULL,
                                                 0xFFFFFFFFFFULL,
                                                 0xFFFFFFFFFFFFULL,
                                                 0xFFFFFFFFFFFFFFULL,
                                                 ~0ULL};

inline std::uint64_t read_word(const DecimalEntry& value, int k) noexcept {
  std::uint64_t word;
  std::memcpy(&word, value.digits + 8 * k, sizeof word);
  return word;
}

inline int clamped_high(const DecimalEntry& value) noexcept {
  return value.high > kTopPosition ? kTopPosition : value.high;
}

inline bool is_negative(const DecimalEntry& value) noexcept { return value.sign != 0; }

// Position of the highest (lowest) non-zero digit, -1 when the row is zero.
inline int highest_nonzero(const Row& row) noexcept {
  for (int k = kWords - 1; k >= 0; --k) {
    if (row.w[k] != 0) return 8 * k + (63 - std::countl_zero(row.w[k])) / 8;
  }
  return -1;
}

inline int lowest_nonzero(const std::uint64_t* words) noexcept {
  for (int k = 0; k < kWords; ++k) {
    if (words[k] != 0) return 8 * k + std::countr_zero(words[k]) / 8;
  }
  return -1;
}

// Position of the highest non-zero digit of a clean row, -1 when there is none.
[[gnu::always_inline]] inline int top_nonzero(const DecimalEntry& value) noexcept {
  for (int k = clamped_high(value) >> 3; k >= (value.low >> 3); --k) {
    const std::uint64_t word = read_word(value, k);
    if (word != 0) return 8 * k + (63 - std::countl_zero(word)) / 8;
  }
  return -1;
}

// The outermost non-zero digits of a clean row; zero when it has none.
struct Span {
  int low;
  int high;
  bool zero;
};

inline Span significant(const DecimalEntry& value) noexcept {
  const int high = top_nonzero(value);
  if (high < 0) return {kUnitsPosition, kUnitsPosition, true};
  for (int k = value.low >> 3;; ++k) {
    const std::uint64_t word = read_word(value, k);
    if (word != 0) return {8 * k + std::countr_zero(word) / 8, high, false};
  }
}

// The ranges of two operands as they stand, as the fast paths of multiplication and division
// test them.
struct OperandRanges {
  int a_low;
  int a_high;
  int b_low;
  int b_high;
  int a_length;
  int b_length;
};

inline OperandRanges ranges_of(const DecimalEntry& a, const DecimalEntry& b) noexcept {
  const int a_high = clamped_high(a);
  const int b_high = clamped_high(b);
  return {a.low, a_high, b.low, b_high, a_high - a.low + 1, b_high - b.low + 1};
}

// Writes a clean row as a normalised value with the given sign (zero becomes canonical).
inline void set_normalised(DecimalEntry& value, const Row& row, bool negative) noexcept {
  const int high = highest_nonzero(row);
  if (high < 0) {
    decimal_set_zero(value);
    return;
  }
  std::memcpy(value.digits, row.w, sizeof row.w);
  value.high = static_cast<std::uint8_t>(high);
  value.low = static_cast<std::uint8_t>(lowest_nonzero(row.w));
  value.sign = negative ? 1 : 0;
}

[[gnu::always_inline]] inline std::uint64_t load8(const std::uint8_t* bytes) noexcept {
  std::uint64_t word;
  std::memcpy(&word, bytes, sizeof word);
  return word;
}

// The highest position from which 16 digits can be read out of three whole words of the row.
inline constexpr int kShortLowLimit = kDecimalPositions - 1 - 16;

// The 16 digits of `value` from position low (low <= kShortLowLimit) as two digit words. The row
// is read in whole aligned words and shifted together: an entry is usually read just after it was
// copied, and a load that straddles two of those stores would wait until they reach the cache.
[[gnu::always_inline]] inline void sixteen_digits(const DecimalEntry& value, int low,
                                                  std::uint64_t& first,
                                                  std::uint64_t& second) noexcept {
  const std::uint8_t* row = value.digits + 8 * (low >> 3);
  const int shift = 8 * (low & 7);
  const std::uint64_t w0 = load8(row);
  const std::uint64_t w1 = load8(row + 8);
  const std::uint64_t w2 = load8(row + 16);
  first = (w0 >> shift) | ((w1 << 1) << (63 - shift));
  second = (w1 >> shift) | ((w2 << 1) << (63 - shift));
}

// Two values of 1 to 16 digits each (lows <= kShortLowLimit), each as two limbs counted from its
// own low: a[0] + a[1] x 10^8 and b[0] + b[1] x 10^8. The rows are clean, so the digits above
// each value's high read as zero.
[[gnu::always_inline]] inline void short_operands(const DecimalEntry& a, int a_low,
                                                  const DecimalEntry& b, int b_low,
                                                  std::uint64_t* limbs) noexcept {
  std::uint64_t words[4];
  sixteen_digits(a, a_low, words[0], words[1]);
  sixteen_digits(b, b_low, words[2], words[3]);
  four_words_to_limbs(words[0], words[1], words[2], words[3], limbs);
}

// Writes eight limbs below 10^8 as the whole row of `value` (limb k spells positions 8k to
// 8k + 7) with the given sign; all zeros give the canonical zero.
[[gnu::always_inline]] inline void store_limbs(DecimalEntry& value, const std::uint32_t* limbs,
                                               bool negative) noexcept {
  // Written straight into the row: a zero result is then made canonical over it.
  const std::uint64_t bits =
      four_limbs_to_words(limbs[0], limbs[1], limbs[2], limbs[3], value.digits) |
      static_cast<std::uint64_t>(
          four_limbs_to_words(limbs[4], limbs[5], limbs[6], limbs[7], value.digits + 32))
          << 32;
  if (bits == 0) {
    decimal_set_zero(value);
    return;
  }
  value.low = static_cast<std::uint8_t>(std::countr_zero(bits));
  value.high = static_cast<std::uint8_t>(63 - std::countl_zero(bits));
  value.sign = negative ? 1 : 0;
}

}  // namespace kes::numeric

// Digit-row arithmetic of the decimal engine. Addition, subtraction and comparison run over the
// 64 digit bytes eight at a time in machine words; multiplication converts the significant digits
// to base 10^8 limbs (eight digit bytes make one limb) and back. Division has its own file.
#include "numeric/decimal/decimal_arith.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "numeric/decimal/decimal_limbs.h"
#include "numeric/decimal/decimal_row.h"

namespace kes::numeric {
namespace {

// Long multiplication with the cut below position 0: each multiple of the multiplicand `a` is
// formed exactly, the part of it that falls below position 0 is dropped, and the rest is added.
Row multiply_cut(const DecimalEntry& a, const DecimalEntry& b) noexcept {
  const int length = a.high - a.low + 1;
  std::uint8_t multiples[10][kDecimalPositions + 1];
  bool known[10] = {};
  std::uint16_t columns[kDecimalPositions] = {};  // at most 64 multiples of 9 per column
  for (int j = b.low; j <= b.high; ++j) {
    const int d = b.digits[j];
    if (d == 0) continue;
    std::uint8_t* multiple = multiples[d];
    if (!known[d]) {
      int carry = 0;
      for (int i = 0; i < length; ++i) {
        const int x = a.digits[a.low + i] * d + carry;
        multiple[i] = static_cast<std::uint8_t>(x % 10);
        carry = x / 10;
      }
      multiple[length] = static_cast<std::uint8_t>(carry);
      known[d] = true;
    }
    for (int i = 0; i <= length; ++i) {
      const int position = a.low + i + j - kUnitsPosition;
      if (position < 0) continue;
      if (position > kTopPosition) break;
      columns[position] = static_cast<std::uint16_t>(columns[position] + multiple[i]);
    }
  }
  std::uint8_t digits[kDecimalPositions];
  int carry = 0;
  for (int p = 0; p < kDecimalPositions; ++p) {
    const int x = columns[p] + carry;
    digits[p] = static_cast<std::uint8_t>(x % 10);
    carry = x / 10;
  }
  Row row;
  std::memcpy(row.w, digits, sizeof digits);
  return row;
}

// Rows are clean (zero outside low..high), so both operands are read as whole words.
void add_signed(DecimalEntry& left, const DecimalEntry& right, bool negate_right) noexcept {
  const int left_low = left.low;
  const int right_low = right.low;
  const int left_high = clamped_high(left);
  const int right_high = clamped_high(right);
  const int low = std::min({left_low, right_low, kTopPosition});
  // Alignment: each high trims over leading zeros but not below the other's high, so only the
  // operand with the higher high trims: to its top digit above the other's high, or, having
  // none there, to the other's high (or its own low, when that lies higher and it is zero).
  // A digit found above the other's high also makes that operand the larger in magnitude.
  int top = left_high;
  int larger = 0;  // 1: left's magnitude is the larger, -1: right's, 0: not known yet
  if (left_high != right_high) {
    const bool left_higher = left_high > right_high;
    const DecimalEntry& higher = left_higher ? left : right;
    const int higher_high = left_higher ? left_high : right_high;
    const int higher_low = left_higher ? left_low : right_low;
    const int other_high = left_higher ? right_high : left_high;
    top = std::max(other_high, std::min(higher_low, higher_high));
    const int stop = (other_high + 1) >> 3;
    for (int k = higher_high >> 3; k >= stop; --k) {
      std::uint64_t word = read_word(higher, k);
      if (k == stop) word &= ~kBytesBelow[(other_high + 1) & 7];
      if (word != 0) {
        top = 8 * k + (63 - std::countl_zero(word)) / 8;
        larger = left_higher ? 1 : -1;
        break;
      }
    }
  }
  const int high = std::max(low, std::min(kTopPosition, top + 1));
  // Every non-zero digit lies below `high`, so no carry or borrow leaves the words first..last,
  // and the bytes of those words outside low..high come out zero. Each loop reads word k of
  // both operands before it writes word k of the result.
  const int first = low >> 3;
  const int last = high >> 3;
  const bool left_negative = is_negative(left);
  const bool right_negative = is_negative(right) != negate_right;
  bool negative = left_negative;
  std::uint64_t any = 0;
  if (left_negative == right_negative) {
    std::uint64_t carry = 0;
    for (int k = first; k <= last; ++k) {
      // Bytes that carried hold their digit (bit 7 clear); the others still hold the bias
      // (0xF6..0xFF). The top byte tells whether the word carried out of it.
      std::uint64_t sum = read_word(left, k) + kCarryBias + read_word(right, k) + carry;
      carry = ~sum >> 63;
      sum -= ((sum >> 7) & kOnes) * 0xF6;
      any |= sum;
      std::memcpy(left.digits + 8 * k, &sum, sizeof sum);
    }
  } else {
    // The larger magnitude is the minuend: unless the alignment told, the highest word that
    // differs decides.
    for (int k = last; k >= first && larger == 0; --k) {
      const std::uint64_t x = read_word(left, k);
      const std::uint64_t y = read_word(right, k);
      if (x != y) larger = x < y ? -1 : 1;
    }
    const bool swap = larger < 0;
    if (swap) negative = !left_negative;
    const std::uint8_t* const minuend = swap ? right.digits : left.digits;
    const std::uint8_t* const subtrahend = swap ? left.digits : right.digits;
    std::uint64_t borrow = 0;
    for (int k = first; k <= last; ++k) {
      // Bytes that borrowed hold 256 + d with d in [-10, -1] (bit 7 set), the others their digit;
      // the top byte tells whether the word borrowed. Adding ten is subtracting 0xF6.
      std::uint64_t difference = load8(minuend + 8 * k) - load8(subtrahend + 8 * k) - borrow;
      borrow = difference >> 63;
      difference -= ((difference >> 7) & kOnes) * 0xF6;
      any |= difference;
      std::memcpy(left.digits + 8 * k, &difference, sizeof difference);
    }
  }
  left.low = static_cast<std::uint8_t>(low);
  left.high = static_cast<std::uint8_t>(high);
  left.sign = (negative && any != 0) ? 1 : 0;
}

// Product of two values whose exact product has no digit below position 0, reduced modulo
// 10^32 (digits from position 64 on are lost). Each operand is read as the limbs of its whole
// words, so the product a_i x b_j of limbs i and j lands on the row's own word grid, at position
// 8 (i + j) - 32. Columns below position 0 hold only carries: the exact product has no digit
// there.
void multiply_grid(DecimalEntry& left, const DecimalEntry& right, int a_low, int a_high, int b_low,
                   int b_high, bool negative) noexcept {
  std::uint32_t a[kWords];
  std::uint32_t b[kWords];
  row_to_limbs(left.digits, a);
  row_to_limbs(right.digits, b);
  // Zero limbs at the top (a leading zero digit may open a word of its own) add nothing.
  const int a_first = a_low >> 3;
  int a_last = a_high >> 3;
  const int b_first = b_low >> 3;
  int b_last = b_high >> 3;
  while (a_last > a_first && a[a_last] == 0)
    --a_last;
  while (b_last > b_first && b[b_last] == 0)
    --b_last;
  // Column n holds the products with i + j = n: at most eight below 10^16 each.
  std::uint64_t columns[2 * kWords + 6] = {};
  if (a_last - a_first < 4 && b_last - b_first < 4) {
    // Up to four limbs each, as values of 31 digits have: the sixteen products summed in
    // registers, columns first + 0 to first + 6.
    std::uint64_t x[4];
    std::uint64_t y[4];
    for (int i = 0; i < 4; ++i) {
      x[i] = a_first + i <= a_last ? a[a_first + i] : 0;
      y[i] = b_first + i <= b_last ? b[b_first + i] : 0;
    }
    std::uint64_t* const column = columns + a_first + b_first;
    column[0] = x[0] * y[0];
    column[1] = x[0] * y[1] + x[1] * y[0];
    column[2] = x[0] * y[2] + x[1] * y[1] + x[2] * y[0];
    column[3] = x[0] * y[3] + x[1] * y[2] + x[2] * y[1] + x[3] * y[0];
    column[4] = x[1] * y[3] + x[2] * y[2] + x[3] * y[1];
    column[5] = x[2] * y[3] + x[3] * y[2];
    column[6] = x[3] * y[3];
  } else {
    for (int i = a_first; i <= a_last; ++i) {
      for (int j = b_first; j <= b_last; ++j)
        columns[i + j] += static_cast<std::uint64_t>(a[i]) * b[j];
    }
  }
  // Carry through the columns; column n becomes limb n - 4 of the row. Each column splits into
  // its limb and its carry on its own, twice, which leaves carries of at most one for a last
  // pass that rarely has any.
  // Column 3 (positions -8 to -1) holds only a carry, and lower columns stay empty: a product
  // there would have digits below position 0.
  const std::uint64_t carry = columns[3] / kLimbBase;
  std::uint64_t limbs[kWords];
  for (int round = 0; round < 2; ++round) {
    std::uint64_t spill[kWords];
    for (int k = 0; k < kWords; ++k) {
      const std::uint64_t column = round == 0 ? columns[k + 4] : limbs[k];
      spill[k] = column / kLimbBase;
      limbs[k] = column - spill[k] * kLimbBase;
    }
    limbs[0] += round == 0 ? carry : 0;
    for (int k = kWords - 1; k > 0; --k)
      limbs[k] += spill[k - 1];  // below 10^9 after the first round, 10^8 + 18 after the second
  }
  std::uint32_t settled[kWords];
  std::uint32_t ripple = 0;
  for (int k = 0; k < kWords; ++k) {
    const auto x = static_cast<std::uint32_t>(limbs[k]) + ripple;
    ripple = x >= kLimbBase ? 1 : 0;
    settled[k] = x - ripple * kLimbBase;
  }
  store_limbs(left, settled, negative);
}

// Product of two values of up to 16 digits each (money amounts and rates) whose exact product has
// no digit below position 0: each operand is two limbs counted from its own low, and the
// product's four limbs are written from position a_low + b_low - 32, in [0, 63]; digits from
// position 64 on are lost.
void multiply_short(DecimalEntry& left, const DecimalEntry& right, int a_low, int a_high, int b_low,
                    bool negative) noexcept {
  std::uint64_t limbs[4];
  short_operands(left, a_low, right, b_low, limbs);
  const std::uint64_t x0 = limbs[0];
  const std::uint64_t x1 = limbs[1];
  const std::uint64_t y0 = limbs[2];
  const std::uint64_t y1 = limbs[3];
  // Each column holds at most two products below 10^16 and the carry into it.
  const std::uint64_t c0 = x0 * y0;
  const std::uint64_t h0 = c0 / kLimbBase;
  const std::uint64_t c1 = x0 * y1 + x1 * y0 + h0;
  const std::uint64_t h1 = c1 / kLimbBase;
  const std::uint64_t c2 = x1 * y1 + h1;
  const std::uint64_t h2 = c2 / kLimbBase;  // below 10^8: the product is below 10^32
  std::uint8_t words[32];
  std::uint32_t bits = four_limbs_to_words(static_cast<std::uint32_t>(c0 - h0 * kLimbBase),
                                           static_cast<std::uint32_t>(c1 - h1 * kLimbBase),
                                           static_cast<std::uint32_t>(c2 - h2 * kLimbBase),
                                           static_cast<std::uint32_t>(h2), words);
  const int product_low = a_low + b_low - kUnitsPosition;
  const int kept = kDecimalPositions - product_low;
  // The product's window is written whole; the multiplicand's digits outside it are cleared.
  if (a_low < product_low) {
    std::memset(left.digits + a_low, 0, static_cast<std::size_t>(product_low - a_low));
  }
  if (a_high >= product_low + 32) {
    std::memset(left.digits + product_low + 32, 0,
                static_cast<std::size_t>(a_high - product_low - 31));
  }
  if (kept >= static_cast<int>(sizeof words)) {
    std::memcpy(left.digits + product_low, words, sizeof words);
  } else {
    std::memcpy(left.digits + product_low, words, static_cast<std::size_t>(kept));
    bits &= (1u << kept) - 1;
  }
  if (bits == 0) {
    decimal_set_zero(left);
    return;
  }
  left.low = static_cast<std::uint8_t>(product_low + std::countr_zero(bits));
  left.high = static_cast<std::uint8_t>(product_low + 31 - std::countl_zero(bits));
  left.sign = negative ? 1 : 0;
}

// Zero with the value's sign kept, as rounding and truncation leave a value that had no digit
// at or above the kept places.
void set_signed_zero(DecimalEntry& value) noexcept {
  const std::uint8_t sign = value.sign;
  decimal_set_zero(value);
  value.sign = sign;
}

// Raises low to `new_low` (above the current low), clearing the digits given up.
void raise_low(DecimalEntry& value, int new_low) noexcept {
  std::memset(value.digits + value.low, 0, static_cast<std::size_t>(new_low - value.low));
  value.low = static_cast<std::uint8_t>(new_low);
}

}  // namespace

void decimal_set_zero(DecimalEntry& value) noexcept { decimal_set_digit(value, 0); }

void decimal_set_digit(DecimalEntry& value, int digit) noexcept {
  std::memset(value.digits, 0, sizeof value.digits);
  value.digits[kUnitsPosition] = static_cast<std::uint8_t>(digit);
  value.low = kUnitsPosition;
  value.high = kUnitsPosition;
  value.sign = 0;
}

bool decimal_is_zero(const DecimalEntry& value) noexcept { return top_nonzero(value) < 0; }

void decimal_normalise(DecimalEntry& value) noexcept {
  const Span span = significant(value);
  if (span.zero) {
    decimal_set_zero(value);
    return;
  }
  value.high = static_cast<std::uint8_t>(span.high);
  value.low = static_cast<std::uint8_t>(span.low);
  value.sign = is_negative(value) ? 1 : 0;
}

void decimal_add(DecimalEntry& left, const DecimalEntry& right) noexcept {
  add_signed(left, right, false);
}

void decimal_subtract(DecimalEntry& left, const DecimalEntry& right) noexcept {
  add_signed(left, right, true);
}

void decimal_multiply(DecimalEntry& left, const DecimalEntry& right) noexcept {
  {
    // Operands whose ranges keep every product digit at or above position 0 and hold at most 16
    // digits, as money amounts and rates do, multiply as two limbs each.
    const auto [a_low, a_high, b_low, b_high, a_length, b_length] = ranges_of(left, right);
    const int product_low = a_low + b_low - kUnitsPosition;
    if (product_low >= 0 && product_low <= kTopPosition && a_length >= 1 && b_length >= 1) {
      const bool negative = is_negative(left) != is_negative(right);
      if (a_length <= 16 && b_length <= 16 && a_low <= kShortLowLimit && b_low <= kShortLowLimit) {
        multiply_short(left, right, a_low, a_high, b_low, negative);
      } else {
        multiply_grid(left, right, a_low, a_high, b_low, b_high, negative);
      }
      return;
    }
  }
  // Zeros at the ends of a range may hide a product that keeps every digit after all.
  const Span a = significant(left);
  const Span b = significant(right);
  if (a.zero || b.zero || a.low + b.low - kUnitsPosition > kTopPosition) {
    decimal_set_zero(left);
    return;
  }
  const bool negative = is_negative(left) != is_negative(right);
  if (a.low + b.low - kUnitsPosition >= 0) {
    multiply_grid(left, right, a.low, a.high, b.low, b.high, negative);
    return;
  }
  DecimalEntry multiplicand = left;
  DecimalEntry multiplier = right;
  multiplicand.low = static_cast<std::uint8_t>(a.low);
  multiplicand.high = static_cast<std::uint8_t>(a.high);
  multiplier.low = static_cast<std::uint8_t>(b.low);
  multiplier.high = static_cast<std::uint8_t>(b.high);
  set_normalised(left, multiply_cut(multiplicand, multiplier), negative);
}

int decimal_compare(const DecimalEntry& left, const DecimalEntry& right) noexcept {
  const bool left_negative = is_negative(left);
  if (left_negative != is_negative(right)) {
    // Opposite signs: the positive one is the greater, unless both are zero.
    if (top_nonzero(left) < 0 && top_nonzero(right) < 0) return 0;
    return left_negative ? -1 : 1;
  }
  // Clean rows hold each digit at its own position, so the magnitudes compare as words, from
  // the higher high's word down: the first word that differs decides.
  const int from = std::max(clamped_high(left), clamped_high(right)) >> 3;
  const int until = std::min(left.low, right.low) >> 3;
  for (int k = from; k >= until; --k) {
    const std::uint64_t x = read_word(left, k);
    const std::uint64_t y = read_word(right, k);
    if (x != y) return (x > y) != left_negative ? 1 : -1;
  }
  return 0;
}

void decimal_round(DecimalEntry& value, int places) noexcept {
  places = std::clamp(places, -kDecimalPositions, kDecimalPositions);
  const int new_low = kUnitsPosition - places;
  if (new_low <= value.low) return;
  const int high = clamped_high(value);
  if (new_low - 1 > high) {
    // The value lies entirely below the deciding digit.
    set_signed_zero(value);
    return;
  }
  // Only the first dropped digit decides; the sign is not consulted (half away from zero).
  const bool round_up = value.digits[new_low - 1] >= 5;
  if (new_low > high) {
    set_signed_zero(value);
    if (round_up && new_low <= kTopPosition) {
      value.digits[new_low] = 1;
      value.low = static_cast<std::uint8_t>(new_low);
      value.high = static_cast<std::uint8_t>(new_low);
    }
    return;
  }
  raise_low(value, new_low);
  if (!round_up) return;
  int position = new_low;
  while (position <= high && value.digits[position] == 9)
    value.digits[position++] = 0;
  if (position <= high) {
    ++value.digits[position];
  } else if (position <= kTopPosition) {
    value.digits[position] = 1;
    value.high = static_cast<std::uint8_t>(position);
  }  // else the carry leaves the row and is lost
}

void decimal_truncate(DecimalEntry& value) noexcept {
  if (clamped_high(value) < kUnitsPosition || value.low > value.high) {
    set_signed_zero(value);
    return;
  }
  if (value.low < kUnitsPosition) raise_low(value, kUnitsPosition);
}

void decimal_round_to_increment(DecimalEntry& value, const DecimalEntry& increment) noexcept {
  DecimalEntry r = increment;
  decimal_normalise(r);
  const int places = decimal_is_zero(r) ? 0 : kUnitsPosition - r.high;
  decimal_round(value, places);
}

void decimal_power(DecimalEntry& value, std::uint32_t exponent) noexcept {
  if (exponent == 0) {
    decimal_set_digit(value, 1);
    return;
  }
  const bool negative = is_negative(value) && (exponent & 1) != 0;
  DecimalEntry square = value;
  square.sign = 0;
  DecimalEntry accumulator = square;
  bool started = false;
  for (;;) {
    if ((exponent & 1) != 0) {
      if (started) {
        decimal_multiply(accumulator, square);
      } else {
        accumulator = square;
        started = true;
      }
    }
    exponent >>= 1;
    if (exponent == 0) break;
    const DecimalEntry copy = square;
    decimal_multiply(square, copy);
  }
  value = accumulator;
  value.sign = (negative && !decimal_is_zero(value)) ? 1 : 0;
}

void decimal_power_signed(DecimalEntry& value, std::int32_t exponent) noexcept {
  if (exponent >= 0) {
    decimal_power(value, static_cast<std::uint32_t>(exponent));
    return;
  }
  const auto magnitude = static_cast<std::uint32_t>(-static_cast<std::int64_t>(exponent));
  decimal_power(value, magnitude);
  DecimalEntry one;
  decimal_set_digit(one, 1);
  decimal_divide(one, value);
  value = one;
}

}  // namespace kes::numeric

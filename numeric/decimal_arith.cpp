// Digit-row arithmetic of the decimal engine. Addition, subtraction and comparison run over the
// 64 digit bytes eight at a time in machine words; multiplication and division convert the
// significant digits to base 10^8 limbs (eight digit bytes make one limb) and back.
#include "numeric/decimal_arith.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "numeric/decimal_limbs.h"
#include "numeric/uint128.h"

namespace kes::numeric {
namespace {

// Position p is byte p of the row; loaded as little-endian words, a higher byte is a more
// significant digit, so word arithmetic carries and compares in the digits' own order. The
// 32-bit Windows target is little-endian too.
static_assert(std::endian::native == std::endian::little);

constexpr int kWords = 8;
constexpr int kTopPosition = kDecimalPositions - 1;
constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
// Added to every digit before a word addition: a byte then overflows into the next exactly when
// its decimal sum reaches 10, and bytes that did not overflow keep the bias (high bit set).
constexpr std::uint64_t kCarryBias = 0xF6 * kOnes;
constexpr std::uint32_t kLimbBase = 100000000;  // 10^8
// Largest limb counts: a dividend of 64 digits scaled by up to 10^95, a divisor scaled by 10^31.
constexpr int kMaxDividendLimbs = 20;
constexpr int kMaxDivisorLimbs = 12;

struct Row {
  std::uint64_t w[kWords];
};

// Masks of the bytes of a word whose index is below n, n in [0, 8].
constexpr std::uint64_t kBytesBelow[9] = {0,
                                          0xFFULL,
                                          0xFFFFULL,
                                          0xFFFFFFULL,
                                          0xFFFFFFFFULL,
                                          0xFFFFFFFFFFULL,
                                          0xFFFFFFFFFFFFULL,
                                          0xFFFFFFFFFFFFFFULL,
                                          ~0ULL};

std::uint64_t read_word(const DecimalEntry& value, int k) noexcept {
  std::uint64_t word;
  std::memcpy(&word, value.digits + 8 * k, sizeof word);
  return word;
}

// Word k of `value` with the bytes outside low..high cleared (zero when the word lies outside).
std::uint64_t masked_word(const DecimalEntry& value, int k, int low, int high) noexcept {
  if (k < (low >> 3) || k > (high >> 3) || low > high) return 0;
  std::uint64_t word = read_word(value, k);
  if (k == (high >> 3)) word &= kBytesBelow[(high & 7) + 1];
  if (k == (low >> 3)) word &= ~kBytesBelow[low & 7];
  return word;
}

int clamped_high(const DecimalEntry& value) noexcept {
  return value.high > kTopPosition ? kTopPosition : value.high;
}

bool is_negative(const DecimalEntry& value) noexcept { return value.sign != 0; }

// Position of the highest (lowest) non-zero digit, -1 when the row is zero.
int highest_nonzero(const Row& row) noexcept {
  for (int k = kWords - 1; k >= 0; --k) {
    if (row.w[k] != 0) return 8 * k + (63 - std::countl_zero(row.w[k])) / 8;
  }
  return -1;
}

int lowest_nonzero(const std::uint64_t* words) noexcept {
  for (int k = 0; k < kWords; ++k) {
    if (words[k] != 0) return 8 * k + std::countr_zero(words[k]) / 8;
  }
  return -1;
}

// a += b digit by digit with decimal carry; a carry out of position 63 is lost.
void add_rows(Row& a, const Row& b) noexcept {
  std::uint64_t carry = 0;
  for (int k = 0; k < kWords; ++k) {
    const std::uint64_t biased = a.w[k] + kCarryBias;
    std::uint64_t sum = biased + b.w[k];
    std::uint64_t out = sum < biased ? 1 : 0;
    sum += carry;
    out |= sum < carry ? 1 : 0;
    carry = out;
    // Bytes that did not carry still hold the bias (0xF6..0xFF): take it back out.
    sum -= ((sum >> 7) & kOnes) * 0xF6;
    a.w[k] = sum;
  }
}

// The number spelt by `count` digit bytes (least significant first) times 10^zeros, as base 10^8
// limbs, least significant first. Returns the limb count. count + zeros <= 8 * kMaxDividendLimbs.
int to_limbs(const std::uint8_t* digits, int count, int zeros, std::uint32_t* limbs) noexcept {
  const int zero_limbs = zeros / 8;
  const int shift = zeros % 8;
  for (int i = 0; i < zero_limbs; ++i)
    limbs[i] = 0;
  std::uint8_t bytes[8 + kDecimalPositions + 8];
  std::memset(bytes, 0, 8);
  std::memcpy(bytes + shift, digits, static_cast<std::size_t>(count));
  std::memset(bytes + shift + count, 0, 8);
  const int rest = (shift + count + 7) / 8;
  for (int i = 0; i < rest; ++i) {
    std::uint64_t word;
    std::memcpy(&word, bytes + 8 * i, sizeof word);
    limbs[zero_limbs + i] = word_to_limb(word);
  }
  return zero_limbs + rest;
}

// The lowest 64 digits of a limb number, written as a row (digit k at position k).
Row limbs_to_row(const std::uint32_t* limbs, int count) noexcept {
  Row row{};
  for (int k = 0; k < count && k < kWords; ++k)
    row.w[k] = limb_to_word(limbs[k]);
  return row;
}

// quotient and remainder of x / d for x below 2^53 and d in [1, 10^8), through the double
// reciprocal of d: the estimate is off by at most one and is corrected exactly.
void divide_estimated(std::uint64_t x, std::uint64_t d, double inverse, std::uint64_t& quotient,
                      std::uint64_t& remainder) noexcept {
  std::uint64_t q = static_cast<std::uint64_t>(static_cast<double>(x) * inverse);
  std::int64_t r = static_cast<std::int64_t>(x) - static_cast<std::int64_t>(q * d);
  while (r < 0) {
    --q;
    r += static_cast<std::int64_t>(d);
  }
  while (r >= static_cast<std::int64_t>(d)) {
    ++q;
    r -= static_cast<std::int64_t>(d);
  }
  quotient = q;
  remainder = static_cast<std::uint64_t>(r);
}

// Knuth's algorithm D in base 10^8: quotient = floor(u / v). u has m limbs (its array one more),
// v has n >= 2 limbs with a non-zero leading limb, m >= n. Writes m - n + 1 quotient limbs and
// destroys u.
void divide_limbs(std::uint32_t* u, int m, const std::uint32_t* divisor, int n,
                  std::uint32_t* quotient) noexcept {
  // Scale both so that the divisor's leading limb is at least half the base.
  std::uint32_t v[kMaxDivisorLimbs];
  const std::uint64_t factor = kLimbBase / (static_cast<std::uint64_t>(divisor[n - 1]) + 1);
  std::uint64_t carry = 0;
  for (int i = 0; i < n; ++i) {
    const std::uint64_t x = divisor[i] * factor + carry;
    v[i] = static_cast<std::uint32_t>(x % kLimbBase);
    carry = x / kLimbBase;
  }
  carry = 0;
  for (int i = 0; i < m; ++i) {
    const std::uint64_t x = u[i] * factor + carry;
    u[i] = static_cast<std::uint32_t>(x % kLimbBase);
    carry = x / kLimbBase;
  }
  u[m] = static_cast<std::uint32_t>(carry);

  const std::uint64_t leading = v[n - 1];
  const std::uint64_t second = v[n - 2];
  const double inverse_leading = 1.0 / static_cast<double>(leading);
  for (int j = m - n; j >= 0; --j) {
    const std::uint64_t window = static_cast<std::uint64_t>(u[j + n]) * kLimbBase + u[j + n - 1];
    std::uint64_t trial;
    std::uint64_t rest;
    divide_estimated(window, leading, inverse_leading, trial, rest);
    while (trial >= kLimbBase || trial * second > rest * kLimbBase + u[j + n - 2]) {
      --trial;
      rest += leading;
      if (rest >= kLimbBase) break;
    }
    // Subtract trial x v from the window.
    std::int64_t borrow = 0;
    std::uint64_t product_carry = 0;
    for (int i = 0; i < n; ++i) {
      const std::uint64_t product = trial * v[i] + product_carry;
      product_carry = product / kLimbBase;
      std::int64_t t = static_cast<std::int64_t>(u[i + j]) -
                       static_cast<std::int64_t>(product % kLimbBase) - borrow;
      borrow = t < 0 ? 1 : 0;
      if (t < 0) t += kLimbBase;
      u[i + j] = static_cast<std::uint32_t>(t);
    }
    const std::int64_t top =
        static_cast<std::int64_t>(u[j + n]) - static_cast<std::int64_t>(product_carry) - borrow;
    if (top < 0) {
      // The trial digit was one too large: add the divisor back (the top limb then returns to 0).
      --trial;
      std::uint64_t add_carry = 0;
      for (int i = 0; i < n; ++i) {
        const std::uint64_t sum = static_cast<std::uint64_t>(u[i + j]) + v[i] + add_carry;
        add_carry = sum >= kLimbBase ? 1 : 0;
        u[i + j] = static_cast<std::uint32_t>(sum - add_carry * kLimbBase);
      }
      u[j + n] = 0;
    } else {
      u[j + n] = static_cast<std::uint32_t>(top);
    }
    quotient[j] = static_cast<std::uint32_t>(trial);
  }
}

// Adds one unit at `position` to the clean row and carries upward; a carry out of 63 is lost.
void increment_at(Row& row, int position) noexcept {
  Row unit{};
  unit.w[position / 8] = 1ULL << (8 * (position % 8));
  add_rows(row, unit);
}

// The outermost non-zero digits of `value` within low..high; zero when it has none.
struct Span {
  int low;
  int high;
  bool zero;
};

Span significant(const DecimalEntry& value) noexcept {
  const int low = value.low;
  const int high = clamped_high(value);
  if (low > high) return {kUnitsPosition, kUnitsPosition, true};
  const int first = low >> 3;
  const int last = high >> 3;
  const std::uint64_t top_mask = kBytesBelow[(high & 7) + 1];
  const std::uint64_t bottom_mask = ~kBytesBelow[low & 7];
  Span span{kUnitsPosition, kUnitsPosition, true};
  for (int k = last; k >= first; --k) {
    std::uint64_t word = read_word(value, k);
    if (k == last) word &= top_mask;
    if (k == first) word &= bottom_mask;
    if (word != 0) {
      span.high = 8 * k + (63 - std::countl_zero(word)) / 8;
      span.zero = false;
      break;
    }
  }
  if (span.zero) return span;
  for (int k = first;; ++k) {
    std::uint64_t word = read_word(value, k);
    if (k == last) word &= top_mask;
    if (k == first) word &= bottom_mask;
    if (word != 0) {
      span.low = 8 * k + std::countr_zero(word) / 8;
      return span;
    }
  }
}

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

// Writes a clean row as a normalised value with the given sign (zero becomes canonical).
void set_normalised(DecimalEntry& value, const Row& row, bool negative) noexcept {
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

// Position of the highest non-zero digit within low..high, -1 when there is none.
int top_nonzero(const DecimalEntry& value) noexcept {
  const int low = value.low;
  const int high = clamped_high(value);
  for (int k = high >> 3; k >= (low >> 3); --k) {
    const std::uint64_t word = masked_word(value, k, low, high);
    if (word != 0) return 8 * k + (63 - std::countl_zero(word)) / 8;
  }
  return -1;
}

// Loads the words of `value` that hold its digits low..high (clamped) into words[], the bytes
// outside low..high cleared; words outside that range are left as they are (the caller zeroes
// them). Returns the position of the highest non-zero digit, -1 when there is none.
int load_value(const DecimalEntry& value, std::uint64_t* words) noexcept {
  const int low = value.low;
  const int high = clamped_high(value);
  if (low > high) return -1;
  const int first = low >> 3;
  const int last = high >> 3;
  for (int k = first; k <= last; ++k)
    words[k] = read_word(value, k);
  words[last] &= kBytesBelow[(high & 7) + 1];
  words[first] &= ~kBytesBelow[low & 7];
  for (int k = last; k >= first; --k) {
    if (words[k] != 0) return 8 * k + (63 - std::countl_zero(words[k])) / 8;
  }
  return -1;
}

[[gnu::always_inline]] inline std::uint64_t load8(const std::uint8_t* bytes) noexcept {
  std::uint64_t word;
  std::memcpy(&word, bytes, sizeof word);
  return word;
}

// The digits low..high of an operand word by word, other bytes cleared.
struct Digits {
  const std::uint8_t* bytes;
  const std::uint8_t* from;
  const std::uint8_t* until;
  [[gnu::always_inline]] std::uint64_t word(int k) const noexcept {
    return load8(bytes + 8 * k) & load8(from + 8 * k) & ~load8(until + 8 * k);
  }
};

[[gnu::always_inline]] inline Digits digits_of(const DecimalEntry& value, int low,
                                               int high) noexcept {
  return {value.digits, positions_from(std::min(low, kDecimalPositions)), positions_from(high + 1)};
}

void add_signed(DecimalEntry& left, const DecimalEntry& right, bool negate_right) noexcept {
  const int left_low = left.low;
  const int right_low = right.low;
  const int left_high = clamped_high(left);
  const int right_high = clamped_high(right);
  const Digits a = digits_of(left, left_low, left_high);
  const Digits b = digits_of(right, right_low, right_high);
  const int low = std::min({left_low, right_low, kTopPosition});
  // Alignment: each high trims over leading zeros but not below the other's high, so only the
  // operand with the higher high trims: to its top digit above the other's high, or, having
  // none there, to the other's high (or its own low, when that lies higher and it is zero).
  int top = left_high;
  if (left_high != right_high) {
    const bool left_higher = left_high > right_high;
    const Digits& higher = left_higher ? a : b;
    const int higher_high = left_higher ? left_high : right_high;
    const int higher_low = left_higher ? left_low : right_low;
    const int other_high = left_higher ? right_high : left_high;
    const std::uint8_t* const above = positions_from(other_high + 1);
    top = std::max(other_high, std::min(higher_low, higher_high));
    for (int k = higher_high >> 3; k >= (other_high + 1) >> 3; --k) {
      const std::uint64_t word = higher.word(k) & load8(above + 8 * k);
      if (word != 0) {
        top = 8 * k + (63 - std::countl_zero(word)) / 8;
        break;
      }
    }
  }
  const int high = std::max(low, std::min(kTopPosition, top + 1));
  // Every non-zero digit lies below `high`, so no carry or borrow leaves the words first..last.
  // Each loop reads word k of both operands before it writes word k of the result.
  const int first = low >> 3;
  const int last = high >> 3;
  const bool left_negative = is_negative(left);
  const bool right_negative = is_negative(right) != negate_right;
  bool negative = left_negative;
  std::uint64_t any = 0;
  if (left_negative == right_negative) {
    std::uint64_t carry = 0;
    for (int k = first; k <= last; ++k) {
      const std::uint64_t biased = a.word(k) + kCarryBias;
      std::uint64_t sum = biased + b.word(k);
      std::uint64_t out = sum < biased ? 1 : 0;
      sum += carry;
      out |= sum < carry ? 1 : 0;
      carry = out;
      // Bytes that did not carry still hold the bias (0xF6..0xFF): take it back out.
      sum -= ((sum >> 7) & kOnes) * 0xF6;
      any |= sum;
      std::memcpy(left.digits + 8 * k, &sum, sizeof sum);
    }
  } else {
    // The larger magnitude is the minuend: the highest word that differs decides.
    bool swap = false;
    for (int k = last; k >= first; --k) {
      const std::uint64_t x = a.word(k);
      const std::uint64_t y = b.word(k);
      if (x != y) {
        swap = x < y;
        break;
      }
    }
    if (swap) negative = !left_negative;
    const Digits& minuend = swap ? b : a;
    const Digits& subtrahend = swap ? a : b;
    std::uint64_t borrow = 0;
    for (int k = first; k <= last; ++k) {
      const std::uint64_t x = minuend.word(k);
      const std::uint64_t y = subtrahend.word(k);
      std::uint64_t difference = x - y;
      std::uint64_t out = x < y ? 1 : 0;
      out |= difference < borrow ? 1 : 0;
      difference -= borrow;
      borrow = out;
      // Bytes that borrowed hold 256 + d with d in [-10, -1]: adding ten is subtracting 0xF6.
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
// 10^32 (digits above position 63 are lost), normalised. a and b are the operands' clean rows
// (one spare zero word above the digits), a_low..a_high and b_low..b_high their non-zero spans.
// Each operand becomes base 10^8 limbs read from its lowest non-zero digit upward, so limb
// column c of the product starts at position a_low + b_low - 32 + 8c.
void multiply_words(DecimalEntry& left, const std::uint64_t* a, int a_low, int a_high,
                    const std::uint64_t* b, int b_low, int b_high, bool negative) noexcept {
  const int na = (a_high - a_low) / 8 + 1;  // [1, 8]
  const int nb = (b_high - b_low) / 8 + 1;
  const auto* a_bytes = reinterpret_cast<const std::uint8_t*>(a);
  const auto* b_bytes = reinterpret_cast<const std::uint8_t*>(b);
  std::uint32_t la[kWords];
  std::uint32_t lb[kWords];
  for (int i = 0; i < na; ++i) {
    std::uint64_t word;
    std::memcpy(&word, a_bytes + a_low + 8 * i, sizeof word);  // zeros above a_high
    la[i] = word_to_limb(word);
  }
  for (int j = 0; j < nb; ++j) {
    std::uint64_t word;
    std::memcpy(&word, b_bytes + b_low + 8 * j, sizeof word);
    lb[j] = word_to_limb(word);
  }
  // A column holds at most 8 products below 10^16.
  std::uint64_t columns[2 * kWords] = {};
  for (int i = 0; i < na; ++i) {
    for (int j = 0; j < nb; ++j)
      columns[i + j] += static_cast<std::uint64_t>(la[i]) * lb[j];
  }
  const int product_low = a_low + b_low - kUnitsPosition;  // [0, 63]
  // The row, then room for the last word written, which may reach past position 63 (dropped).
  std::uint8_t out[kDecimalPositions + 8];
  std::memset(out, 0, kDecimalPositions);
  std::uint64_t carry = 0;
  for (int c = 0; c < na + nb && product_low + 8 * c < kDecimalPositions; ++c) {
    const std::uint64_t x = columns[c] + carry;
    carry = x / kLimbBase;
    const std::uint64_t word = limb_to_word(static_cast<std::uint32_t>(x - carry * kLimbBase));
    std::memcpy(out + product_low + 8 * c, &word, sizeof word);
  }
  Row row;
  std::memcpy(row.w, out, sizeof row.w);
  set_normalised(left, row, negative);
}

// The highest position from which 16 digits can be read out of three whole words of the row.
constexpr int kShortLowLimit = kDecimalPositions - 1 - 16;

// The digits low..high (1 to 16 of them, low <= kShortLowLimit) of `value` as two limbs counted
// from position low, digits above high read as zero. The row is read in whole aligned words and
// shifted together: an entry is usually read just after it was copied, and a load that straddles
// two of those stores would wait until they reach the cache.
[[gnu::always_inline]] inline void two_limbs_from_low(const DecimalEntry& value, int low, int high,
                                                      std::uint64_t& first,
                                                      std::uint64_t& second) noexcept {
  const std::uint8_t* row = value.digits + 8 * (low >> 3);
  const int shift = 8 * (low & 7);
  const std::uint64_t w0 = load8(row);
  const std::uint64_t w1 = load8(row + 8);
  const std::uint64_t w2 = load8(row + 16);
  const std::uint8_t* above = positions_from(high + 1) + low;
  first = word_to_limb(((w0 >> shift) | ((w1 << 1) << (63 - shift))) & ~load8(above));
  second = word_to_limb(((w1 >> shift) | ((w2 << 1) << (63 - shift))) & ~load8(above + 8));
}

// Product of two values of up to 16 digits each (money amounts and rates) whose exact product has
// no digit below position 0: each operand is two limbs counted from its own low, and the
// product's four limbs are written from position a_low + b_low - 32, in [0, 63]; digits from
// position 64 on are lost.
void multiply_short(DecimalEntry& left, const DecimalEntry& right, int a_low, int a_high, int b_low,
                    int b_high, bool negative) noexcept {
  std::uint64_t x0;
  std::uint64_t x1;
  std::uint64_t y0;
  std::uint64_t y1;
  two_limbs_from_low(left, a_low, a_high, x0, x1);
  two_limbs_from_low(right, b_low, b_high, y0, y1);
  // Each column holds at most two products below 10^16 and the carry into it.
  const std::uint64_t c0 = x0 * y0;
  const std::uint64_t h0 = c0 / kLimbBase;
  const std::uint64_t c1 = x0 * y1 + x1 * y0 + h0;
  const std::uint64_t h1 = c1 / kLimbBase;
  const std::uint64_t c2 = x1 * y1 + h1;
  const std::uint64_t h2 = c2 / kLimbBase;  // below 10^8: the product is below 10^32
  std::uint64_t words[4];
  std::uint32_t bits = four_limbs_to_words(static_cast<std::uint32_t>(c0 - h0 * kLimbBase),
                                           static_cast<std::uint32_t>(c1 - h1 * kLimbBase),
                                           static_cast<std::uint32_t>(c2 - h2 * kLimbBase),
                                           static_cast<std::uint32_t>(h2), words);
  const int product_low = a_low + b_low - kUnitsPosition;
  const int kept = kDecimalPositions - product_low;
  // Bytes outside the product's range may be left stale.
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

// floor(rest x factor / divisor), rest becoming the remainder, for rest < divisor < 10^16 and
// factor <= 10^8; `ratio` is factor / divisor as a double. The estimate is within one of the
// quotient, and the remainder it leaves, in [-divisor, 2 divisor), is exact modulo 2^64.
[[gnu::always_inline]] inline std::uint64_t divide_step(std::uint64_t& rest, std::uint64_t factor,
                                                        double ratio,
                                                        std::uint64_t divisor) noexcept {
  auto quotient = static_cast<std::uint64_t>(static_cast<double>(rest) * ratio);
  auto remainder = static_cast<std::int64_t>(rest * factor - quotient * divisor);
  const auto signed_divisor = static_cast<std::int64_t>(divisor);
  while (remainder < 0) {
    --quotient;
    remainder += signed_divisor;
  }
  while (remainder >= signed_divisor) {
    ++quotient;
    remainder -= signed_divisor;
  }
  rest = static_cast<std::uint64_t>(remainder);
  return quotient;
}

constexpr std::uint64_t kPowersOfTen[9] = {1,      10,      100,      1000,     10000,
                                           100000, 1000000, 10000000, 100000000};

// Writes the quotient whose lowest eight limbs are `limbs` (positions 0 to 63), rounded at
// position 0 to 31 places, half away from zero; a carry out of position 63 is lost.
[[gnu::always_inline]] inline void store_quotient(DecimalEntry& left, std::uint32_t* limbs,
                                                  bool negative) noexcept {
  // Round at position 0: its digit goes, and five or more carries one into position 1.
  const std::uint32_t digit = limbs[0] % 10;
  limbs[0] = limbs[0] - digit + (digit >= 5 ? 10 : 0);
  for (int i = 0; i < kWords - 1 && limbs[i] >= kLimbBase; ++i) {
    limbs[i] -= kLimbBase;
    ++limbs[i + 1];
  }
  limbs[kWords - 1] %= kLimbBase;

  std::uint64_t words[kWords];
  const std::uint64_t bits = four_limbs_to_words(limbs[0], limbs[1], limbs[2], limbs[3], words) |
                             static_cast<std::uint64_t>(four_limbs_to_words(
                                 limbs[4], limbs[5], limbs[6], limbs[7], words + 4))
                                 << 32;
  if (bits == 0) {
    decimal_set_zero(left);
    return;
  }
  std::memcpy(left.digits, words, sizeof words);
  left.low = static_cast<std::uint8_t>(std::countr_zero(bits));
  left.high = static_cast<std::uint8_t>(63 - std::countl_zero(bits));
  left.sign = negative ? 1 : 0;
}

// Quotient of two values of up to 16 digits each (money amounts by rates): dividend x 10^scale /
// divisor, scale = a_low - b_low + 32 in [0, 79], by short division eight digits a step. The
// quotient's lowest eight limbs are its positions 0 to 63; position 0 rounds the result to 31
// places, half away from zero, and a carry out of position 63 is lost.
void divide_short(DecimalEntry& left, const DecimalEntry& right, int a_low, int a_high, int b_low,
                  int b_high, bool negative) noexcept {
  std::uint64_t x0;
  std::uint64_t x1;
  std::uint64_t y0;
  std::uint64_t y1;
  two_limbs_from_low(left, a_low, a_high, x0, x1);
  two_limbs_from_low(right, b_low, b_high, y0, y1);
  const std::uint64_t dividend = x1 * kLimbBase + x0;
  const std::uint64_t divisor = y1 * kLimbBase + y0;
  if (dividend == 0 || divisor == 0) {
    decimal_set_zero(left);
    return;
  }
  const int scale = a_low - b_low + kUnitsPosition;
  const int steps = scale / 8;  // whole limbs below the dividend's own digits, [0, 9]
  const std::uint64_t head_factor = kPowersOfTen[scale % 8];
  const double limb_ratio = static_cast<double>(kLimbBase) / static_cast<double>(divisor);
  const double head_ratio = static_cast<double>(head_factor) / static_cast<double>(divisor);

  // The quotient is whole x 10^scale + head x 10^(8 steps) + the step limbs below.
  const std::uint64_t whole = dividend / divisor;
  std::uint64_t rest = dividend - whole * divisor;
  const std::uint64_t head = divide_step(rest, head_factor, head_ratio, divisor);
  std::uint32_t limbs[kWords + 4] = {};  // limbs from 8 on are dropped
  for (int i = steps - 1; i >= 0; --i)
    limbs[i] = static_cast<std::uint32_t>(divide_step(rest, kLimbBase, limb_ratio, divisor));
  // whole x 10^(scale % 8) + head is below 10^23: three limbs from limb `steps` on.
  const std::uint64_t lower = (whole % kLimbBase) * head_factor + head;  // below 10^15
  const std::uint64_t upper = (whole / kLimbBase) * head_factor + lower / kLimbBase;
  limbs[steps] = static_cast<std::uint32_t>(lower % kLimbBase);
  limbs[steps + 1] = static_cast<std::uint32_t>(upper % kLimbBase);
  limbs[steps + 2] = static_cast<std::uint32_t>(upper / kLimbBase);

  store_quotient(left, limbs, negative);
}

// The row's digits low..high as whole words, other bytes cleared, with four zero words on either
// side: word 4 + k holds positions 8k to 8k + 7, so limbs can start anywhere from -32 to 95.
struct PaddedRow {
  std::uint64_t w[kWords + 8];
};

[[gnu::always_inline]] inline PaddedRow padded_row(const DecimalEntry& value, int low,
                                                   int high) noexcept {
  const Digits digits = digits_of(value, low, high);
  PaddedRow row{};
  for (int k = 0; k < kWords; ++k)
    row.w[4 + k] = digits.word(k);
  return row;
}

// The eight digits of `row` from position `start` (in [-32, 88]) as a limb.
[[gnu::always_inline]] inline std::uint32_t limb_at(const PaddedRow& row, int start) noexcept {
  const int index = 4 + (start >> 3);  // start >> 3 rounds toward minus infinity
  const int shift = 8 * (start & 7);
  return word_to_limb((row.w[index] >> shift) | ((row.w[index + 1] << 1) << (63 - shift)));
}

// Quotient by a divisor of up to 32 digits: short division of the dividend's limbs by the
// divisor as one 128-bit number, eight digits a step. The dividend is read in limbs on the
// quotient's own grid: limb i of the quotient comes from the dividend's digits at positions
// b_low - 32 + 8i to b_low - 32 + 8i + 7. Digits that would fall below position 0 of the scaled
// dividend are not read: they cannot change a floor division by a whole number.
void divide_wide(DecimalEntry& left, const DecimalEntry& right, int a_low, int a_high, int b_low,
                 int b_high, bool negative) noexcept {
  const PaddedRow dividend = padded_row(left, a_low, a_high);
  const PaddedRow divisor_row = padded_row(right, b_low, b_high);
  std::uint32_t divisor_limbs[4];
  for (int i = 0; i < 4; ++i)
    divisor_limbs[i] = limb_at(divisor_row, b_low + 8 * i);
  const Uint128 divisor =
      Uint128(static_cast<std::uint64_t>(divisor_limbs[3]) * kLimbBase + divisor_limbs[2]) *
          (std::uint64_t{kLimbBase} * kLimbBase) +
      Uint128(static_cast<std::uint64_t>(divisor_limbs[1]) * kLimbBase + divisor_limbs[0]);
  const int base = b_low - kUnitsPosition;  // [-32, 31]
  const int top = a_high - base;            // the quotient position of the dividend's top digit
  if (divisor == Uint128() || top < 0) {
    decimal_set_zero(left);
    return;
  }
  // The leading quotient limbs are zero while the remainder is below the divisor: the first
  // `skipped` limbs of the dividend start the remainder as they are.
  const int divisor_limb_count = divisor_limbs[3] != 0   ? 4
                                 : divisor_limbs[2] != 0 ? 3
                                 : divisor_limbs[1] != 0 ? 2
                                                         : 1;
  int i = top >> 3;  // the dividend's top limb, [0, 11]
  const int stop = std::max(i - (divisor_limb_count - 1), -1);
  std::uint64_t head = 0;  // two limbs fit 64 bits
  for (; i > stop && i > top / 8 - 2; --i)
    head = head * kLimbBase + limb_at(dividend, base + 8 * i);
  Uint128 rest = head;
  if (i > stop) rest = rest * kLimbBase + limb_at(dividend, base + 8 * i--);

  // Each quotient limb is estimated through doubles from the remainder's top 62 bits and the
  // next limb; the estimate is within one and the remainder it leaves, in [-divisor, 2 divisor),
  // is exact modulo 2^128.
  const int ignored_bits = std::max(bit_width(divisor) - 62, 0);
  const double inverse = 1.0 / to_double(divisor);
  const double rest_ratio = static_cast<double>(kLimbBase) *
                            static_cast<double>(std::uint64_t{1} << ignored_bits) * inverse;
  std::uint32_t limbs[kWords + 4] = {};  // limbs from 8 on are dropped
  for (; i >= 0; --i) {
    const std::uint32_t next = limb_at(dividend, base + 8 * i);
    const auto rest_top = static_cast<std::int64_t>(shifted_right(rest, ignored_bits).low());
    const double estimate =
        static_cast<double>(rest_top) * rest_ratio + static_cast<double>(next) * inverse;
    auto quotient = static_cast<std::uint64_t>(estimate);
    Uint128 remainder = rest * kLimbBase + next - divisor * quotient;
    while (is_wrapped(remainder)) {
      --quotient;
      remainder = remainder + divisor;
    }
    while (!(remainder < divisor)) {
      ++quotient;
      remainder = remainder - divisor;
    }
    rest = remainder;
    limbs[i] = static_cast<std::uint32_t>(quotient);
  }
  store_quotient(left, limbs, negative);
}

}  // namespace

void decimal_set_zero(DecimalEntry& value) noexcept { decimal_set_digit(value, 0); }

void decimal_set_digit(DecimalEntry& value, int digit) noexcept {
  value.digits[kUnitsPosition] = static_cast<std::uint8_t>(digit);
  value.low = kUnitsPosition;
  value.high = kUnitsPosition;
  value.sign = 0;
}

bool decimal_is_zero(const DecimalEntry& value) noexcept {
  const int low = value.low;
  const int high = clamped_high(value);
  std::uint64_t any = 0;
  for (int k = low >> 3; k <= (high >> 3); ++k)
    any |= masked_word(value, k, low, high);
  return any == 0;
}

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
    const int a_low = left.low;
    const int a_high = clamped_high(left);
    const int b_low = right.low;
    const int b_high = clamped_high(right);
    const int a_length = a_high - a_low + 1;
    const int b_length = b_high - b_low + 1;
    const int product_low = a_low + b_low - kUnitsPosition;
    if (product_low >= 0 && product_low <= kTopPosition && a_length >= 1 && b_length >= 1) {
      const bool negative = is_negative(left) != is_negative(right);
      if (a_length <= 16 && b_length <= 16 && a_low <= kShortLowLimit && b_low <= kShortLowLimit) {
        multiply_short(left, right, a_low, a_high, b_low, b_high, negative);
        return;
      }
    }
  }
  // Clean rows with a spare zero word above, so that limbs can be read from any position.
  std::uint64_t a[kWords + 1] = {};
  std::uint64_t b[kWords + 1] = {};
  const int a_high = load_value(left, a);
  const int b_high = load_value(right, b);
  if (a_high < 0 || b_high < 0) {
    decimal_set_zero(left);
    return;
  }
  const int a_low = lowest_nonzero(a);
  const int b_low = lowest_nonzero(b);
  const bool negative = is_negative(left) != is_negative(right);
  const int product_low = a_low + b_low - kUnitsPosition;
  if (product_low > kTopPosition) {
    decimal_set_zero(left);
    return;
  }
  if (product_low >= 0) {
    multiply_words(left, a, a_low, a_high, b, b_low, b_high, negative);
    return;
  }
  DecimalEntry multiplicand = left;
  DecimalEntry multiplier = right;
  multiplicand.low = static_cast<std::uint8_t>(a_low);
  multiplicand.high = static_cast<std::uint8_t>(a_high);
  multiplier.low = static_cast<std::uint8_t>(b_low);
  multiplier.high = static_cast<std::uint8_t>(b_high);
  set_normalised(left, multiply_cut(multiplicand, multiplier), negative);
}

void decimal_divide(DecimalEntry& left, const DecimalEntry& right) noexcept {
  {
    // Operands of at most 16 digits each whose quotient needs no digit of the dividend cut, as
    // money amounts divided by rates are, divide as one 64-bit number by another.
    const int a_low = left.low;
    const int a_high = clamped_high(left);
    const int b_low = right.low;
    const int b_high = clamped_high(right);
    const int a_length = a_high - a_low + 1;
    const int b_length = b_high - b_low + 1;
    if (a_length >= 1 && a_length <= 16 && b_length >= 1 && b_length <= 16 &&
        a_low <= kShortLowLimit && b_low <= kShortLowLimit && a_low - b_low + kUnitsPosition >= 0) {
      divide_short(left, right, a_low, a_high, b_low, b_high,
                   is_negative(left) != is_negative(right));
      return;
    }
    // Any dividend by a divisor of up to 32 digits: one 128-bit number.
    if (a_length >= 1 && b_length >= 1 && b_length <= 32) {
      divide_wide(left, right, a_low, a_high, b_low, b_high,
                  is_negative(left) != is_negative(right));
      return;
    }
  }
  const Span dividend = significant(left);
  Span divisor = significant(right);
  if (dividend.zero || divisor.zero) {
    decimal_set_zero(left);
    return;
  }
  const bool negative = is_negative(left) != is_negative(right);
  if (divisor.high - divisor.low + 1 > 60) {
    // A divisor this long ignores its digits below position 3.
    DecimalEntry trimmed = right;
    trimmed.low = static_cast<std::uint8_t>(std::max(divisor.low, 3));
    trimmed.high = static_cast<std::uint8_t>(divisor.high);
    divisor = significant(trimmed);
  }
  if (divisor.high - divisor.low + 1 <= 32) {
    // Zeros made the divisor's range look longer than it is. Its digits low..high are those of
    // `right`, whether it was trimmed or not.
    divide_wide(left, right, dividend.low, dividend.high, divisor.low, divisor.high, negative);
    return;
  }
  // quotient x 10^32 = floor(dividend digits x 10^scale / divisor digits), digit k at position k.
  const int scale = dividend.low - divisor.low + kUnitsPosition;  // [-31, 95]
  std::uint32_t u[kMaxDividendLimbs + 1];
  std::uint32_t v[kMaxDivisorLimbs];
  const int m =
      to_limbs(left.digits + dividend.low, dividend.high - dividend.low + 1, std::max(scale, 0), u);
  const int n =
      to_limbs(right.digits + divisor.low, divisor.high - divisor.low + 1, std::max(-scale, 0), v);
  if (m < n) {
    decimal_set_zero(left);
    return;
  }
  std::uint32_t quotient[kMaxDividendLimbs];
  divide_limbs(u, m, v, n, quotient);
  Row row = limbs_to_row(quotient, m - n + 1);
  // Round to 31 places: the digit at position 0 decides, half away from zero.
  const bool round_up = (row.w[0] & 0xFF) >= 5;
  row.w[0] &= ~0xFFULL;
  if (round_up) increment_at(row, 1);
  set_normalised(left, row, negative);
}

int decimal_compare(const DecimalEntry& left, const DecimalEntry& right) noexcept {
  const int left_top = top_nonzero(left);
  const int right_top = top_nonzero(right);
  const int left_signum = left_top < 0 ? 0 : (is_negative(left) ? -1 : 1);
  const int right_signum = right_top < 0 ? 0 : (is_negative(right) ? -1 : 1);
  if (left_signum != right_signum) return left_signum > right_signum ? 1 : -1;
  if (left_signum == 0) return 0;
  int magnitude = 0;
  if (left_top != right_top) {
    magnitude = left_top > right_top ? 1 : -1;
  } else {
    // Same leading position: compare the digits word by word from the top.
    const int low = std::min(left.low, right.low);
    for (int k = left_top >> 3; k >= (low >> 3) && magnitude == 0; --k) {
      const std::uint64_t x = masked_word(left, k, left.low, left_top);
      const std::uint64_t y = masked_word(right, k, right.low, right_top);
      if (x != y) magnitude = x < y ? -1 : 1;
    }
  }
  return left_signum < 0 ? -magnitude : magnitude;
}

void decimal_round(DecimalEntry& value, int places) noexcept {
  places = std::clamp(places, -kDecimalPositions, kDecimalPositions);
  const int new_low = kUnitsPosition - places;
  if (new_low <= value.low) return;
  const int high = clamped_high(value);
  if (new_low - 1 > high) {
    // The value lies entirely below the deciding digit: zero, keeping its sign.
    value.digits[kUnitsPosition] = 0;
    value.low = kUnitsPosition;
    value.high = kUnitsPosition;
    return;
  }
  // Only the first dropped digit decides; the sign is not consulted (half away from zero).
  const bool round_up = value.digits[new_low - 1] >= 5;
  if (new_low > high) {
    if (round_up && new_low <= kTopPosition) {
      value.digits[new_low] = 1;
      value.low = static_cast<std::uint8_t>(new_low);
      value.high = static_cast<std::uint8_t>(new_low);
    } else {
      value.digits[kUnitsPosition] = 0;
      value.low = kUnitsPosition;
      value.high = kUnitsPosition;
    }
    return;
  }
  value.low = static_cast<std::uint8_t>(new_low);
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
    value.digits[kUnitsPosition] = 0;
    value.low = kUnitsPosition;
    value.high = kUnitsPosition;
    return;
  }
  if (value.low < kUnitsPosition) value.low = kUnitsPosition;
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

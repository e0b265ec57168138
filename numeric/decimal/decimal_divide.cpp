// Division of the decimal engine: operands of up to 16 digits as 64-bit numbers, divisors of up
// to 30 digits (37 from the start of a word) as 128-bit numbers, both by short division eight
// digits a step; longer divisors by long division in base 10^8 limbs.
#include <algorithm>
#include <bit>
#include <cstring>

#include "numeric/decimal/decimal_arith.h"
#include "numeric/decimal/decimal_limbs.h"
#include "numeric/decimal/decimal_row.h"
#include "numeric/decimal/uint128.h"

namespace kes::numeric {
namespace {

// Largest limb counts: a dividend of 64 digits scaled by up to 10^95, a divisor scaled by 10^31.
constexpr int kMaxDividendLimbs = 20;
constexpr int kMaxDivisorLimbs = 12;

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

// floor(rest x factor / divisor), rest becoming the remainder, where rest x factor is below 10^24,
// the divisor below 10^16 and the quotient below 2^53; `ratio` is factor / divisor as a double.
// The estimate is within one of the quotient, and the remainder it leaves, in [-divisor,
// 2 divisor), is exact modulo 2^64.
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

// Quotient estimates by reciprocal: floor(rest x factor / divisor) for rest below the divisor
// and factor up to 10^8, with the divisor's top 63 bits `top` in [2^62, 2^63) and the remainder's
// top bits taken at the same shift (below 2^63). The reciprocal factor x 2^96 / top is made through
// a double (within 2^10 of it) and lowered by 2^11: the estimate then never exceeds the quotient,
// however the divisor's dropped bits lie, and falls short of it by less than one, as the dropped
// bits of the remainder weigh below 10^8 / 2^62. One correction then gives the quotient.
[[gnu::always_inline]] inline std::uint64_t reciprocal_of(std::uint64_t factor,
                                                          std::uint64_t top) noexcept {
  return static_cast<std::uint64_t>(static_cast<double>(factor) * 0x1p96 /
                                    static_cast<double>(top)) -
         2048;
}

[[gnu::always_inline]] inline std::uint64_t estimate_by(std::uint64_t rest_top,
                                                        std::uint64_t reciprocal) noexcept {
  return (Uint128(rest_top) * reciprocal).high() >> 32;
}

// One step of short division by a divisor below 2^63: the quotient of rest x factor (rest below
// the divisor), rest becoming the remainder. The remainder is worked modulo 2^64, where it is
// exact: it lies below twice the divisor.
[[gnu::always_inline]] inline std::uint64_t short_step(std::uint64_t& rest, std::uint64_t factor,
                                                       std::uint64_t reciprocal,
                                                       std::uint64_t divisor, int shift) noexcept {
  const std::uint64_t quotient = estimate_by(rest << shift, reciprocal);
  const std::uint64_t remainder = rest * factor - quotient * divisor;
  const bool over = remainder >= divisor;
  rest = over ? remainder - divisor : remainder;
  return quotient + (over ? 1 : 0);
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
    std::uint64_t rest = window;
    std::uint64_t trial = divide_step(rest, 1, inverse_leading, leading);
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

  store_limbs(left, limbs, negative);
}

// Quotient of two values of up to 16 digits each (money amounts by rates): dividend x 10^scale /
// divisor, scale = a_low - b_low + 32 in [0, 79], by short division eight digits a step. The
// quotient's lowest eight limbs are its positions 0 to 63; position 0 rounds the result to 31
// places, half away from zero, and a carry out of position 63 is lost.
void divide_short(DecimalEntry& left, const DecimalEntry& right, int a_low, int b_low,
                  bool negative) noexcept {
  std::uint64_t operands[4];
  short_operands(left, a_low, right, b_low, operands);
  const std::uint64_t dividend = operands[1] * kLimbBase + operands[0];
  const std::uint64_t divisor = operands[3] * kLimbBase + operands[2];
  if (dividend == 0 || divisor == 0) {
    decimal_set_zero(left);
    return;
  }
  const int scale = a_low - b_low + kUnitsPosition;
  const int steps = scale / 8;  // whole limbs below the dividend's own digits, [0, 9]
  const std::uint64_t head_factor = kPowersOfTen[scale % 8];
  const int shift = std::countl_zero(divisor) - 1;  // the divisor is below 10^16 < 2^54
  const std::uint64_t top = divisor << shift;
  const std::uint64_t limb_reciprocal = reciprocal_of(kLimbBase, top);
  const std::uint64_t head_reciprocal = reciprocal_of(head_factor, top);

  // The quotient is whole x 10^scale + head x 10^(8 steps) + the step limbs below.
  const std::uint64_t whole = dividend / divisor;
  std::uint64_t rest = dividend - whole * divisor;
  const std::uint64_t head = short_step(rest, head_factor, head_reciprocal, divisor, shift);
  std::uint32_t limbs[kWords + 4] = {};  // limbs from 8 on are dropped
  for (int i = steps - 1; i >= 0; --i) {
    limbs[i] =
        static_cast<std::uint32_t>(short_step(rest, kLimbBase, limb_reciprocal, divisor, shift));
  }
  // whole x 10^(scale % 8) + head is below 10^23: three limbs from limb `steps` on.
  const std::uint64_t lower = (whole % kLimbBase) * head_factor + head;  // below 10^15
  const std::uint64_t upper = (whole / kLimbBase) * head_factor + lower / kLimbBase;
  limbs[steps] = static_cast<std::uint32_t>(lower % kLimbBase);
  limbs[steps + 1] = static_cast<std::uint32_t>(upper % kLimbBase);
  limbs[steps + 2] = static_cast<std::uint32_t>(upper / kLimbBase);

  store_quotient(left, limbs, negative);
}

// The longest divisor, counted from the start of its lowest word, that divide_wide takes: below
// 10^37 < 2^123, so that a remainder below twice the divisor fits 128 bits and its top 63 bits
// start at bit 60 at most.
constexpr int kWideDivisorSpan = 37;

// Quotient by a divisor that spans at most kWideDivisorSpan positions from the start of its lowest
// word: short division of the dividend's limbs by the divisor as one 128-bit number, eight digits
// a step. Both are taken times 10^(b_low % 8), which leaves the quotient as it is: the divisor
// then reads as whole words from that start, and so does the dividend, whose word k becomes the
// limb of quotient positions 8k + 32 - 8 (b_low / 8) upward. Dividend words below position 0 of
// the quotient are not read: they cannot change a floor division by a whole number.
void divide_wide(DecimalEntry& left, const DecimalEntry& right, int a_high, int b_low, int b_high,
                 bool negative) noexcept {
  // Four zero limbs below the dividend's eight: quotient limb j comes from dividend[j + first].
  std::uint32_t dividend[4 + kWords] = {};
  std::uint32_t divisor_limbs[kWords];
  row_to_limbs(left.digits, dividend + 4);
  row_to_limbs(right.digits, divisor_limbs);
  const int first = b_low >> 3;
  Uint128 divisor;
  std::uint64_t divisor_head = 0;               // the top two limbs in 64 bits
  int divisor_length = 0;                       // in limbs
  for (int k = b_high >> 3; k >= first; --k) {  // at most five words
    if (divisor_length == 0 && divisor_limbs[k] == 0) continue;
    if (divisor_length < 2) {
      divisor_head = divisor_head * kLimbBase + divisor_limbs[k];
      divisor = divisor_head;
    } else {
      divisor = divisor * kLimbBase + divisor_limbs[k];
    }
    ++divisor_length;
  }
  int j = (a_high >> 3) + 4 - first;  // the dividend's top word as a quotient limb, [-3, 11]
  if (divisor_length == 0 || j < 0) {
    decimal_set_zero(left);
    return;
  }
  // The leading quotient limbs are zero while the remainder is below the divisor: the first
  // divisor_length - 1 limbs of the dividend start the remainder as they are.
  const int stop = std::max(j - (divisor_length - 1), -1);
  std::uint64_t head = 0;
  for (const int two_below = j - 2; j > stop && j > two_below; --j)
    head = head * kLimbBase + dividend[j + first];
  Uint128 rest = head;
  for (; j > stop; --j)
    rest = rest * kLimbBase + dividend[j + first];

  // Each step divides rest x 10^8 + next by the divisor, rest below the divisor, and keeps the
  // remainder. The quotient limb is estimated from the remainder's top 63 bits: as the quotient
  // or one below it, so that one correction is enough and the remainder it leaves, below twice
  // the divisor, is exact modulo 2^128.
  const int ignored = std::max(bit_width(divisor) - 63, 0);  // [0, 60]: the divisor is below 2^123
  std::uint32_t limbs[kWords + 4] = {};                      // limbs from 8 on are dropped
  const auto settle = [&](std::uint64_t quotient, std::uint32_t next) {
    const Uint128 remainder = rest * kLimbBase + next - divisor * quotient;
    const bool over = !(remainder < divisor);
    rest = over ? remainder - divisor : remainder;
    limbs[j] = static_cast<std::uint32_t>(quotient + (over ? 1 : 0));
  };
  if (ignored > 0) {
    // Divisors of over 63 bits: by reciprocal, from the top 63 bits of divisor and remainder;
    // the next limb, below 10^8 / 2^62 of the divisor, is left to the correction.
    const std::uint64_t reciprocal =
        reciprocal_of(kLimbBase, shifted_right(divisor, ignored).low());
    for (; j >= 0; --j)
      settle(estimate_by(shifted_right(rest, ignored).low(), reciprocal), dividend[j + first]);
  } else {
    // Divisors of up to 63 bits: through doubles, from the remainder and the next limb, scaled
    // down by 2^-46 (far more than the rounding errors).
    const double inverse = (1.0 - 0x1p-46) / to_double(divisor);
    const double rest_ratio = kLimbBase * inverse;
    for (; j >= 0; --j) {
      const std::uint32_t next = dividend[j + first];
      const double estimate =
          static_cast<double>(static_cast<std::int64_t>(rest.low())) * rest_ratio +
          static_cast<double>(next) * inverse;
      settle(static_cast<std::uint64_t>(estimate), next);
    }
  }
  store_quotient(left, limbs, negative);
}

}  // namespace

void decimal_divide(DecimalEntry& left, const DecimalEntry& right) noexcept {
  {
    // Operands of at most 16 digits each whose quotient needs no digit of the dividend cut, as
    // money amounts divided by rates are, divide as one 64-bit number by another.
    const auto [a_low, a_high, b_low, b_high, a_length, b_length] = ranges_of(left, right);
    if (a_length >= 1 && a_length <= 16 && b_length >= 1 && b_length <= 16 &&
        a_low <= kShortLowLimit && b_low <= kShortLowLimit && a_low - b_low + kUnitsPosition >= 0) {
      divide_short(left, right, a_low, b_low, is_negative(left) != is_negative(right));
      return;
    }
    // Any dividend by a divisor of up to 30 digits, or more from the start of a word: one
    // 128-bit number.
    if (a_length >= 1 && b_length >= 1 && b_length + (b_low & 7) <= kWideDivisorSpan) {
      divide_wide(left, right, a_high, b_low, b_high, is_negative(left) != is_negative(right));
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
  // A divisor this long ignores its digits below position 3: they are cleared in a copy.
  DecimalEntry trimmed;
  const DecimalEntry* divisor_entry = &right;
  if (divisor.high - divisor.low + 1 > 60) {
    trimmed = right;
    std::memset(trimmed.digits, 0, 3);
    trimmed.low = static_cast<std::uint8_t>(std::max(divisor.low, 3));
    divisor = significant(trimmed);
    divisor_entry = &trimmed;
  }
  if (divisor.high - divisor.low + 1 + (divisor.low & 7) <= kWideDivisorSpan) {
    // Zeros made the divisor's range look longer than it is.
    divide_wide(left, *divisor_entry, dividend.high, divisor.low, divisor.high, negative);
    return;
  }
  // quotient x 10^32 = floor(dividend digits x 10^scale / divisor digits), digit k at position k.
  const int scale = dividend.low - divisor.low + kUnitsPosition;  // [-31, 95]
  std::uint32_t u[kMaxDividendLimbs + 1];
  std::uint32_t v[kMaxDivisorLimbs];
  const int m =
      to_limbs(left.digits + dividend.low, dividend.high - dividend.low + 1, std::max(scale, 0), u);
  const int n = to_limbs(divisor_entry->digits + divisor.low, divisor.high - divisor.low + 1,
                         std::max(-scale, 0), v);
  if (m < n) {
    decimal_set_zero(left);
    return;
  }
  std::uint32_t quotient[kMaxDividendLimbs] = {};  // m - n + 1 limbs, zeros above
  divide_limbs(u, m, v, n, quotient);
  store_quotient(left, quotient, negative);
}

}  // namespace kes::numeric

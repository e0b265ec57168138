// The decimal rules in their most direct form, on big integers: a value's digits low..high are
// the integer whose digit at position p weighs 10^p, so the value is that integer times 10^-32.
#include "tests/support/decimal_reference.h"

#include <algorithm>
#include <boost/multiprecision/cpp_int.hpp>
#include <vector>

namespace kes::test::decimal_reference {
using boost::multiprecision::cpp_int;
using numeric::DecimalEntry;

namespace {

constexpr int kTop = numeric::kDecimalPositions - 1;
constexpr int kUnits = numeric::kUnitsPosition;

const cpp_int& power_of_ten(int exponent) {
  static const std::vector<cpp_int> powers = [] {
    std::vector<cpp_int> table(2 * numeric::kDecimalPositions + 1, cpp_int(1));
    for (std::size_t i = 1; i < table.size(); ++i)
      table[i] = table[i - 1] * 10;
    return table;
  }();
  return powers.at(static_cast<std::size_t>(exponent));
}

const cpp_int& row_limit() { return power_of_ten(numeric::kDecimalPositions); }

int high_of(const DecimalEntry& value) { return std::min<int>(value.high, kTop); }

bool negative_of(const DecimalEntry& value) { return value.sign != 0; }

// The digits low..high (none when low > high) as an integer.
cpp_int magnitude(const DecimalEntry& value) {
  if (value.low > high_of(value)) return 0;
  cpp_int number = 0;
  for (int p = high_of(value); p >= value.low; --p)
    number = number * 10 + value.digits[p];
  return number * power_of_ten(value.low);
}

// Writes the digits low..high of `number` (below 10^64) into the row.
void write_digits(DecimalEntry& value, cpp_int number, int low, int high) {
  number /= power_of_ten(low);
  for (int p = low; p <= high; ++p) {
    value.digits[p] = static_cast<std::uint8_t>(number % 10);
    number /= 10;
  }
}

void set_zero(DecimalEntry& value) { decimal_reference::decimal_set_digit(value, 0); }

// A product or quotient, normalised: zero is canonical, otherwise low and high on the outermost
// non-zero digits.
void set_normalised(DecimalEntry& value, const cpp_int& number, bool negative) {
  write_digits(value, number, 0, kTop);
  value.low = 0;
  value.high = kTop;
  value.sign = negative ? 1 : 0;
  decimal_reference::decimal_normalise(value);
}

// Alignment: the operand's high moves down over leading zeros, but not below the other's high
// nor its own low.
int trimmed_high(const DecimalEntry& value, int other_high) {
  int high = high_of(value);
  while (high > other_high && high > value.low && value.digits[high] == 0)
    --high;
  return high;
}

void add_signed(DecimalEntry& left, const DecimalEntry& right, bool negate_right) {
  const int low = std::min({static_cast<int>(left.low), static_cast<int>(right.low), kTop});
  const int top = std::max(trimmed_high(left, high_of(right)), trimmed_high(right, high_of(left)));
  const int high = std::max(low, std::min(kTop, top + 1));
  const cpp_int a = magnitude(left);
  const cpp_int b = magnitude(right);
  const bool left_negative = negative_of(left);
  bool negative = left_negative;
  cpp_int result;
  if (left_negative == (negative_of(right) != negate_right)) {
    result = (a + b) % row_limit();  // a carry out of position 63 is lost
  } else if (a >= b) {
    result = a - b;
  } else {
    result = b - a;
    negative = !left_negative;
  }
  write_digits(left, result, low, high);
  left.low = static_cast<std::uint8_t>(low);
  left.high = static_cast<std::uint8_t>(high);
  left.sign = (negative && result != 0) ? 1 : 0;
}

}  // namespace

void decimal_set_digit(DecimalEntry& value, int digit) {
  value.digits[kUnits] = static_cast<std::uint8_t>(digit);
  value.low = kUnits;
  value.high = kUnits;
  value.sign = 0;
}

void decimal_normalise(DecimalEntry& value) {
  if (magnitude(value) == 0) {
    set_zero(value);
    return;
  }
  int high = high_of(value);
  while (value.digits[high] == 0)
    --high;
  int low = value.low;
  while (value.digits[low] == 0)
    ++low;
  value.low = static_cast<std::uint8_t>(low);
  value.high = static_cast<std::uint8_t>(high);
  value.sign = negative_of(value) ? 1 : 0;
}

void decimal_add(DecimalEntry& left, const DecimalEntry& right) { add_signed(left, right, false); }

void decimal_subtract(DecimalEntry& left, const DecimalEntry& right) {
  add_signed(left, right, true);
}

// Long multiplication: each non-zero digit d of the multiplier at position j adds the exact
// multiple (multiplicand x d) moved to j, its part below position 0 cut off; the sum is kept
// modulo 10^64 (positions 0 to 63).
void decimal_multiply(DecimalEntry& left, const DecimalEntry& right) {
  DecimalEntry multiplicand = left;
  DecimalEntry multiplier = right;
  // Qualified: argument-dependent lookup would also find the engine's own functions.
  decimal_reference::decimal_normalise(multiplicand);
  decimal_reference::decimal_normalise(multiplier);
  const cpp_int a = magnitude(multiplicand);
  cpp_int sum = 0;
  for (int j = multiplier.low; j <= multiplier.high; ++j) {
    const cpp_int multiple = a * multiplier.digits[j];
    if (j >= kUnits)
      sum += multiple * power_of_ten(j - kUnits);
    else
      sum += multiple / power_of_ten(kUnits - j);
  }
  set_normalised(left, sum % row_limit(), negative_of(left) != negative_of(right));
}

// The exact quotient in units of 10^-32, its digit at position 0 rounding the rest half away
// from zero; digits at position 64 and above are lost. A divisor of more than 60 significant
// digits first loses its digits below position 3.
void decimal_divide(DecimalEntry& left, const DecimalEntry& right) {
  DecimalEntry divisor = right;
  decimal_reference::decimal_normalise(divisor);
  if (divisor.high - divisor.low + 1 > 60) {
    divisor.low = std::max<std::uint8_t>(divisor.low, 3);
    decimal_reference::decimal_normalise(divisor);
  }
  const cpp_int a = magnitude(left);
  const cpp_int b = magnitude(divisor);
  if (a == 0 || b == 0) {
    set_zero(left);
    return;
  }
  cpp_int quotient = a * power_of_ten(kUnits) / b;
  const cpp_int deciding = quotient % 10;
  quotient -= deciding;
  if (deciding >= 5) quotient += 10;
  set_normalised(left, quotient % row_limit(), negative_of(left) != negative_of(right));
}

int decimal_compare(const DecimalEntry& left, const DecimalEntry& right) {
  const cpp_int a = magnitude(left);
  const cpp_int b = magnitude(right);
  const int left_signum = a == 0 ? 0 : (negative_of(left) ? -1 : 1);
  const int right_signum = b == 0 ? 0 : (negative_of(right) ? -1 : 1);
  if (left_signum != right_signum) return left_signum > right_signum ? 1 : -1;
  const int order = a < b ? -1 : (a > b ? 1 : 0);
  return left_signum < 0 ? -order : order;
}

// Rounding to `places`: only the digit just below the new low decides, half away from zero; a
// carry out of the top adds a new top digit while the row has room.
void decimal_round(DecimalEntry& value, int places) {
  places = std::clamp(places, -numeric::kDecimalPositions, numeric::kDecimalPositions);
  const int new_low = kUnits - places;
  if (new_low <= value.low) return;
  const int high = high_of(value);
  const auto zero_keeping_sign = [&value] {
    value.digits[kUnits] = 0;
    value.low = kUnits;
    value.high = kUnits;
  };
  if (new_low - 1 > high) {
    zero_keeping_sign();
    return;
  }
  const bool round_up = value.digits[new_low - 1] >= 5;
  if (new_low > high) {
    if (round_up && new_low <= kTop) {
      value.digits[new_low] = 1;
      value.low = static_cast<std::uint8_t>(new_low);
      value.high = static_cast<std::uint8_t>(new_low);
    } else {
      zero_keeping_sign();
    }
    return;
  }
  value.low = static_cast<std::uint8_t>(new_low);
  if (!round_up) return;
  const cpp_int rounded = (magnitude(value) + power_of_ten(new_low)) % row_limit();
  const int new_high = (high < kTop && rounded >= power_of_ten(high + 1)) ? high + 1 : high;
  write_digits(value, rounded, new_low, new_high);
  value.high = static_cast<std::uint8_t>(new_high);
}

}  // namespace kes::test::decimal_reference

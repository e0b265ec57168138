// The engine's row arithmetic against the big-integer reference in tests/support: random operands
// of every shape (money amounts, rates, full 31-digit values, arbitrary rows, unnormalised ranges,
// negative zeros) must give the same value from both, and leave the row clean.
#include <algorithm>
#include <cstring>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "numeric/decimal/decimal_arith.h"
#include "tests/support/decimal_reference.h"
#include "tests/support/host_speed.h"

namespace kes::numeric {
namespace {

namespace ref = kes::test::decimal_reference;

constexpr int kPairsPerShape = test::samples(12000);

enum class Shape { Money, Rate, Full, Row, Carries, Tiny, Short };
constexpr Shape kShapes[] = {Shape::Money,   Shape::Rate, Shape::Full, Shape::Row,
                             Shape::Carries, Shape::Tiny, Shape::Short};

class EntryGenerator {
 public:
  explicit EntryGenerator(std::uint32_t seed) : engine_(seed) {}

  DecimalEntry make(Shape shape) {
    DecimalEntry value{};  // clean: zeros outside the value
    int low = 0;
    int high = 0;
    switch (shape) {
      case Shape::Money:  // up to 11 integer digits, 2 places
        low = 30;
        high = 31 + uniform(1, 11);
        break;
      case Shape::Rate:  // one integer digit, up to 10 places
        low = 32 - uniform(1, 10);
        high = 32;
        break;
      case Shape::Full:  // 31 digits placed anywhere they fit
        low = uniform(0, 33);
        high = low + 30;
        break;
      case Shape::Row:
        low = uniform(0, 63);
        high = uniform(low, 63);
        break;
      case Shape::Carries:
        low = uniform(0, 40);
        high = uniform(low, std::min(63, low + 24));
        break;
      case Shape::Short:  // up to 16 digits anywhere from position 16: products from 0 to 63
        low = uniform(16, 50);
        high = std::min(63, low + uniform(0, 16));
        break;
      case Shape::Tiny:  // a few digits near the units or at the row's ends
        low = uniform(0, 2) == 0 ? uniform(0, 3) : uniform(28, 34);
        high = std::min(63, low + uniform(0, 3));
        if (uniform(0, 5) == 0) high = uniform(60, 63);
        break;
    }
    const bool runs = shape == Shape::Carries || uniform(0, 3) == 0;
    for (int p = low; p <= high; ++p)
      value.digits[p] = static_cast<std::uint8_t>(runs ? run_digit() : uniform(0, 9));
    // Leading and trailing zeros inside the range, and whole zero values.
    if (uniform(0, 4) == 0) value.digits[high] = 0;
    if (uniform(0, 4) == 0) value.digits[low] = 0;
    if (uniform(0, 30) == 0) {
      for (int p = low; p <= high; ++p)
        value.digits[p] = 0;
    }
    value.low = static_cast<std::uint8_t>(low);
    value.high = static_cast<std::uint8_t>(high);
    value.sign = static_cast<std::uint8_t>(uniform(0, 1));
    return value;
  }

  // Gives `value` exactly `digits` significant digits from position `low`, all nines one time in
  // four, and zeros elsewhere; its sign stays.
  void set_span(DecimalEntry& value, int low, int digits) {
    std::memset(value.digits, 0, sizeof value.digits);
    const bool nines = uniform(0, 3) == 0;
    for (int p = low; p < low + digits; ++p)
      value.digits[p] = static_cast<std::uint8_t>(nines ? 9 : uniform(0, 9));
    value.digits[low] = static_cast<std::uint8_t>(uniform(1, 9));
    value.digits[low + digits - 1] = static_cast<std::uint8_t>(nines ? 9 : uniform(1, 9));
    value.low = static_cast<std::uint8_t>(low);
    value.high = static_cast<std::uint8_t>(low + digits - 1);
  }

  int uniform(int low, int high) { return std::uniform_int_distribution<int>(low, high)(engine_); }

 private:
  int run_digit() {
    const int kind = uniform(0, 9);
    if (kind < 4) return 0;
    if (kind < 8) return 9;
    return uniform(0, 9);
  }

  std::mt19937 engine_;
};

// The value an entry holds: "-" or "+", then low:high and the digits.
std::string value_of(const DecimalEntry& value) {
  std::string text = value.sign != 0 ? "-" : "+";
  text += std::to_string(value.low) + ":" + std::to_string(value.high) + ":";
  for (int p = value.high; p >= value.low && p < kDecimalPositions; --p)
    text += static_cast<char>('0' + value.digits[p]);
  return text;
}

// The value of one of the engine's results, marked " unclean" when a byte outside low..high is
// not zero: every entry the engine makes must keep those bytes at zero.
std::string result_of(const DecimalEntry& value) {
  for (int p = 0; p < kDecimalPositions; ++p) {
    if ((p < value.low || p > value.high) && value.digits[p] != 0)
      return value_of(value) + " unclean";
  }
  return value_of(value);
}

using Operation = void (*)(DecimalEntry&, const DecimalEntry&);

// The comparison result is stored as the digit 0, 1 or 2 so that it shows in the value.
void compare_ours(DecimalEntry& a, const DecimalEntry& b) {
  decimal_set_digit(a, decimal_compare(a, b) + 1);
}
void compare_theirs(DecimalEntry& a, const DecimalEntry& b) {
  ref::decimal_set_digit(a, ref::decimal_compare(a, b) + 1);
}

const struct {
  const char* name;
  std::uint32_t seed;
  Operation ours;
  Operation theirs;
} kOperations[] = {
    {"Sum", 101, decimal_add, ref::decimal_add},
    {"Difference", 102, decimal_subtract, ref::decimal_subtract},
    {"Product", 103, decimal_multiply, ref::decimal_multiply},
    {"Quotient", 104, decimal_divide, ref::decimal_divide},
    {"Comparison", 105, compare_ours, compare_theirs},
};

TEST(DecimalDifferential, OperationsMatchTheReferenceForEveryShapePair) {
  for (const auto& operation : kOperations) {
    SCOPED_TRACE(operation.name);
    EntryGenerator generator(operation.seed);
    int mismatches = 0;
    for (Shape left_shape : kShapes) {
      for (Shape right_shape : kShapes) {
        for (int i = 0; i < kPairsPerShape / 7 && mismatches < 5; ++i) {
          const DecimalEntry left = generator.make(left_shape);
          const DecimalEntry right = generator.make(right_shape);
          DecimalEntry mine = left;
          DecimalEntry expected = left;
          operation.ours(mine, right);
          operation.theirs(expected, right);
          if (result_of(mine) != value_of(expected)) {
            ++mismatches;
            ADD_FAILURE() << value_of(left) << " with " << value_of(right) << ": "
                          << result_of(mine) << " instead of " << value_of(expected);
          }
        }
      }
    }
    EXPECT_EQ(mismatches, 0);
  }
}

// Divides as the engine and as the reference; reports and returns false when they differ.
bool same_quotient(const DecimalEntry& dividend, const DecimalEntry& divisor) {
  DecimalEntry mine = dividend;
  DecimalEntry expected = dividend;
  decimal_divide(mine, divisor);
  ref::decimal_divide(expected, divisor);
  if (result_of(mine) == value_of(expected)) return true;
  ADD_FAILURE() << value_of(dividend) << " / " << value_of(divisor) << ": " << result_of(mine)
                << " instead of " << value_of(expected);
  return false;
}

// Divisors of 9 to 16 digits (down to all nines) under full rows; then operands of 1 to 16 digits
// at every distance, so the quotient is scaled by every power 10^0..10^79 and rounds through nines.
TEST(DecimalDifferential, QuotientsOfWideAndShortOperandsMatchTheReference) {
  EntryGenerator generator(107);
  int mismatches = 0;
  for (int i = 0; i < test::samples(40000) && mismatches < 5; ++i) {
    const DecimalEntry dividend = generator.make(i % 2 == 0 ? Shape::Row : Shape::Full);
    DecimalEntry divisor = generator.make(Shape::Row);
    const int digits = generator.uniform(9, 16);
    generator.set_span(divisor, generator.uniform(0, kDecimalPositions - digits), digits);
    if (!same_quotient(dividend, divisor)) ++mismatches;
  }
  EntryGenerator short_generator(108);
  for (int i = 0; i < test::samples(40000) && mismatches < 5; ++i) {
    DecimalEntry dividend = short_generator.make(Shape::Tiny);
    DecimalEntry divisor = short_generator.make(Shape::Tiny);
    const int dividend_digits = short_generator.uniform(1, 16);
    const int divisor_digits = short_generator.uniform(1, 16);
    const int dividend_low = short_generator.uniform(0, kDecimalPositions - dividend_digits);
    const int divisor_low =
        std::clamp(dividend_low + kUnitsPosition - short_generator.uniform(-2, 81), 0,
                   kDecimalPositions - divisor_digits);
    short_generator.set_span(dividend, dividend_low, dividend_digits);
    short_generator.set_span(divisor, divisor_low, divisor_digits);
    if (!same_quotient(dividend, divisor)) ++mismatches;
  }
  EXPECT_EQ(mismatches, 0);
}

TEST(DecimalDifferential, RoundingAndNormalisingMatchTheReference) {
  EntryGenerator generator(106);
  int mismatches = 0;
  for (Shape shape : kShapes) {
    for (int i = 0; i < kPairsPerShape / 6 && mismatches < 5; ++i) {
      const DecimalEntry value = generator.make(shape);
      const int places = generator.uniform(0, 32);
      DecimalEntry mine = value;
      DecimalEntry expected = value;
      decimal_round(mine, places);
      ref::decimal_round(expected, places);
      DecimalEntry mine_normal = value;
      DecimalEntry expected_normal = value;
      decimal_normalise(mine_normal);
      ref::decimal_normalise(expected_normal);
      if (result_of(mine) != value_of(expected) ||
          result_of(mine_normal) != value_of(expected_normal)) {
        ++mismatches;
        ADD_FAILURE() << value_of(value) << " to " << places << " places: " << result_of(mine)
                      << " instead of " << value_of(expected);
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
}

}  // namespace
}  // namespace kes::numeric

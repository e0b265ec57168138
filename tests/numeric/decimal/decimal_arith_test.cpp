// Arithmetic on working decimal values: hand-worked rows for the rules the reference comparison
// does not reach or that need a worked example, one row per rule.
#include "numeric/decimal/decimal_arith.h"

#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "numeric/decimal/decimal_convert.h"
#include "tests/support/stack_helpers_decimal.h"

namespace kes::numeric {
namespace {

DecimalEntry parse(std::string_view text) { return test::parse_decimal(text); }
std::string text_of(const DecimalEntry& value) { return test::decimal_text(value); }

// "0." followed by `zeros` zeros and then `digits`.
std::string tiny(int zeros, std::string_view digits) {
  return "0." + std::string(static_cast<std::size_t>(zeros), '0') + std::string(digits);
}

// A value whose digits are given most significant first and whose lowest digit sits at
// `low_position` (so values of 32 integer digits can be built).
DecimalEntry spelt(std::string_view digits, int low_position) {
  std::uint8_t bytes[64] = {};
  const int count = static_cast<int>(digits.size());
  for (int i = 0; i < count; ++i)
    bytes[i] = static_cast<std::uint8_t>(digits[count - 1 - i] - '0');
  DecimalEntry value;
  decimal_from_constant(value, bytes, count, kUnitsPosition - low_position, 0);
  return value;
}

struct BinaryCase {
  const char* name;
  void (*operation)(DecimalEntry&, const DecimalEntry&);
  std::string left;
  std::string right;
  std::string result;
};

// The reference comparison elsewhere covers the bulk; these rows pin each rule by hand.
const BinaryCase kBinary[] = {
    {"AddCarryThroughFraction", decimal_add, "0.9999", "0.0001", "1"},
    {"AddFinestAndCoarsest", decimal_add, tiny(31, "1"), "1000000000000000000000000000000",
     "1000000000000000000000000000000." + std::string(31, '0') + "1"},
    {"SubtractBorrowAcrossManyDigits", decimal_subtract, "100", "0.001", "99.999"},
    {"SubtractNegative", decimal_subtract, "2", "-3", "5"},
    {"MultiplyMoneyByRate", decimal_multiply, "12345678901.23", "1.0725000000",
     "13240740621.569175"},
    {"MultiplyBelowTheLastPositionIsDropped", decimal_multiply, "0.0000000000000001",
     "0.00000000000000001", "0"},
    // 55 x 10^-32 times 0.55: the multiples 275 x 10^-33 and 275 x 10^-34 keep 27 and 2 units of
    // 10^-32 once their parts below the row are cut, so 29 (the exact 30.25 would truncate to 30).
    {"MultiplyCutBeforeEachMultipleIsAdded", decimal_multiply, tiny(30, "55"), "0.55",
     tiny(30, "29")},
    {"MultiplyOverflowLeavesTheRow", decimal_multiply, "10000000000000000", "10000000000000000",
     "0"},
    {"MultiplyTopPositionFits", decimal_multiply, "10000000000000000", "2000000000000000",
     "2" + std::string(31, '0')},
    {"DivideTwoThirdsRoundsUp", decimal_divide, "2", "3", "0." + std::string(30, '6') + "7"},
    {"DivideByZeroIsZero", decimal_divide, "7", "0", "0"},
    {"DivideByNegative", decimal_divide, "1", "-3", "-0." + std::string(31, '3')},
    {"DivideHalfOfTheLastPlaceRoundsUp", decimal_divide, tiny(30, "5"), "10", tiny(30, "1")},
    {"DivideUpByThirtyOnePositions", decimal_divide, "1", tiny(30, "1"),
     "1" + std::string(31, '0')},
    {"DivideLongDivisor", decimal_divide, "1", "1.23456789012345678901234567890",
     "0.8100000072900000663390006036857"},
    {"IncrementCents", decimal_round_to_increment, "1234.5678", "0.01", "1234.57"},
    {"IncrementHundredsHalfUp", decimal_round_to_increment, "1250", "100", "1300"},
    {"IncrementOnlyItsPositionCounts", decimal_round_to_increment, "1.234", "0.05", "1.23"},
    {"IncrementZeroRoundsToUnits", decimal_round_to_increment, "2.5", "0", "3"},
    {"IncrementNegative", decimal_round_to_increment, "2.55", "-0.1", "2.6"},
    {"IncrementUnnormalised", decimal_round_to_increment, "7.77", "000.0100", "7.77"},
};

TEST(DecimalArithmetic, BinaryOperationsGiveTheHandWorkedResult) {
  for (const BinaryCase& c : kBinary) {
    SCOPED_TRACE(c.name);
    DecimalEntry left = parse(c.left);
    c.operation(left, parse(c.right));
    EXPECT_EQ(text_of(left), c.result);
  }
}

TEST(DecimalDivide, DivisorBeyondSixtyDigitsIgnoresItsLowestPositions) {
  // Divisor 2 x 10^30 + 10^-30: 61 significant digits, so the 10^-30 digit is ignored and
  // 0.1 / (2 x 10^30) = 5 x 10^-32 exactly, which rounds up to 10^-31. With that digit the
  // quotient would lie just below 5 x 10^-32 and round to zero.
  std::string digits = "2" + std::string(59, '0') + "1";
  DecimalEntry left = parse("0.1");
  decimal_divide(left, spelt(digits, 2));
  EXPECT_EQ(text_of(left), tiny(30, "1"));
}

// True when every byte outside low..high is zero, as every entry the engine makes must be.
bool row_is_clean(const DecimalEntry& value) {
  for (int p = 0; p < kDecimalPositions; ++p) {
    if ((p < value.low || p > value.high) && value.digits[p] != 0) return false;
  }
  return true;
}

// Each way a value is made or cut, applied to an entry whose row was full of sevens (the
// reference comparison checks the rows the arithmetic leaves).
struct Producer {
  const char* name;
  void (*make)(DecimalEntry&);
  const char* result;
};

const Producer kProducers[] = {
    {"Text", [](DecimalEntry& v) { decimal_from_text(v, "12.5"); }, "12.5"},
    {"TextWithExponent", [](DecimalEntry& v) { decimal_from_text(v, "1.25e3"); }, "1250"},
    {"Long", [](DecimalEntry& v) { decimal_from_long(v, -1234); }, "-1234"},
    {"Real", [](DecimalEntry& v) { decimal_from_real(v, 0.125); }, "0.125"},
    {"Digit", [](DecimalEntry& v) { decimal_set_digit(v, 4); }, "4"},
    {"Packed",
     [](DecimalEntry& v) {
       const std::uint8_t bytes[] = {0x00, 0x12, 0x34};
       decimal_load_packed(v, bytes, PackedKind::Decimal, 3, 2);
     },
     "12.34"},
    {"Truncate",
     [](DecimalEntry& v) {
       v = parse("-98.7654");
       decimal_truncate(v);
     },
     "-98"},
};

TEST(DecimalRow, EveryProducerLeavesTheRowClean) {
  for (const Producer& producer : kProducers) {
    SCOPED_TRACE(producer.name);
    DecimalEntry value;
    for (std::uint8_t& digit : value.digits)
      digit = 7;
    value.low = 0;
    value.high = kDecimalPositions - 1;
    producer.make(value);
    EXPECT_EQ(text_of(value), producer.result);
    EXPECT_TRUE(row_is_clean(value));
  }
}

struct RoundCase {
  const char* name;
  std::string value;
  int places;
  std::string result;
};

// Places from 0 up are compared with the reference; these rows add the negative places.
const RoundCase kRoundings[] = {
    {"HalfAwayFromZeroWhenNegative", "-2.5", 0, "-3"},
    {"CarryAddsNewTopDigit", "99.5", 0, "100"},
    {"ToHundreds", "1250", -2, "1300"},
    {"ToHundredsDown", "1249.99", -2, "1200"},
};

TEST(DecimalRound, RoundsHalfAwayFromZero) {
  for (const RoundCase& c : kRoundings) {
    SCOPED_TRACE(c.name);
    DecimalEntry value = parse(c.value);
    decimal_round(value, c.places);
    EXPECT_EQ(text_of(value), c.result);
  }
}

struct UnaryCase {
  const char* name;
  std::string value;
  std::string result;
};

const UnaryCase kTruncations[] = {
    {"DropsFraction", "2.7", "2"},
    {"TowardZeroWhenNegative", "-2.7", "-2"},
    {"FractionOnly", "0.5", "0"},
    {"WholeNumberUnchanged", "1200", "1200"},
    {"Zero", "0", "0"},
    {"LargestFraction", tiny(31, "1"), "0"},
};

TEST(DecimalTruncate, TruncatesTowardZero) {
  for (const UnaryCase& c : kTruncations) {
    SCOPED_TRACE(c.name);
    DecimalEntry value = parse(c.value);
    decimal_truncate(value);
    EXPECT_EQ(text_of(value), c.result);
  }
}

struct PowerCase {
  const char* name;
  std::string base;
  std::int32_t exponent;
  std::string result;
};

const PowerCase kPowers[] = {
    {"TwoToTheTenth", "2", 10, "1024"},
    {"NegativeBaseOddExponent", "-2", 3, "-8"},
    {"NegativeBaseEvenExponent", "-2", 2, "4"},
    {"NegativeExponent", "2", -2, "0.25"},
    {"ZeroExponent", "123.45", 0, "1"},
    {"ZeroToTheZero", "0", 0, "1"},
    {"ZeroToANegativeExponent", "0", -2, "0"},
    {"ReciprocalOfThree", "3", -1, "0." + std::string(31, '3')},
    {"TenToTheMinusThirtyOne", "10", -31, tiny(30, "1")},
    {"TenToTheThirtyOne", "10", 31, "1" + std::string(31, '0')},
    {"TenToTheThirtyTwoOverflows", "10", 32, "0"},
    {"SevenToTheThirteenth", "7", 13, "96889010407"},
    {"LargestExponentOfOne", "1", 2147483647, "1"},
    {"SmallestExponentOfOne", "-1", -2147483647 - 1, "1"},
};

TEST(DecimalPower, RaisesByBinaryExponentiation) {
  for (const PowerCase& c : kPowers) {
    SCOPED_TRACE(c.name);
    DecimalEntry value = parse(c.base);
    decimal_power_signed(value, c.exponent);
    EXPECT_EQ(text_of(value), c.result);
  }
}

TEST(DecimalPower, UnsignedExponentBeyondSignedRange) {
  DecimalEntry value = parse("-1");
  decimal_power(value, 4294967295U);
  EXPECT_EQ(text_of(value), "-1");
}

TEST(DecimalCompare, GivesTheSignOfTheDifference) {
  const struct {
    const char* name;
    std::string left;
    std::string right;
    int sign;  // of left - right
  } cases[] = {
      {"TrailingZerosEqual", "1.10", "1.1", 0},
      {"NegativeZeroEqualsZero", "-0", "0", 0},
      {"ZeroBelowPositive", "0", tiny(31, "1"), -1},
      {"LongerIntegerPart", "100", "99.999", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(decimal_compare(parse(c.left), parse(c.right)), c.sign);
    EXPECT_EQ(decimal_compare(parse(c.right), parse(c.left)), -c.sign);
  }
}

}  // namespace
}  // namespace kes::numeric

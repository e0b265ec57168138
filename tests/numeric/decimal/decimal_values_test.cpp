// Working decimal values: arithmetic (hand-worked rows for the rules the reference comparison does
// not reach), and conversions to and from text, REALs, whole numbers, literals and packed bytes.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "numeric/decimal/decimal_arith.h"
#include "numeric/decimal/decimal_convert.h"
#include "numeric/decimal/decimal_stack.h"
#include "tests/support/stack_helpers_decimal.h"

namespace kes::numeric {
namespace {

DecimalEntry parse(std::string_view text) { return test::parse_decimal(text); }
std::string text_of(const DecimalEntry& value) { return test::decimal_text(value); }

std::string zeros(int count) { return std::string(static_cast<std::size_t>(count), '0'); }

struct TextCase {
  const char* name;
  std::string text;
  std::string value;
};

const TextCase kTexts[] = {
    {"SpacesSignAndTrailingZero", "  -12.50", "-12.5"},
    {"CommaIsADecimalPoint", "1,5", "1.5"},
    {"ExponentAfterPoint", "1.5e2", "150"},
    {"ExponentWithoutPointIsNotRead", "1e2", "1"},
    {"Empty", "", "0"},
    {"NegativeFractionWithoutIntegerDigits", "-,5", "-0.5"},
    {"PlusIsNotAccepted", "+5", "0"},
    {"StopsAtTheFirstMisfit", "12abc", "12"},
    {"OnlySpacesAreSkipped", "\t7", "0"},
    {"UpperCaseExponentWithPlus", "1.5E+2", "150"},
    {"PointWithoutFraction", "150.e-2", "1.5"},
    {"ExponentWithoutDigits", "1.e", "1"},
    {"LoneMinus", "-", "0"},
    {"SecondPointEnds", "1.2.3", "1.2"},
    {"LeadingZeros", "000123.4500", "123.45"},
    {"ThirtyOneIntegerDigits", "1234567890123456789012345678901",
     "1234567890123456789012345678901"},
    {"ThirtyTwoIntegerDigitsKeepTheLowest", "91234567890123456789012345678901",
     "1234567890123456789012345678901"},
    {"ThirtyTwoFractionDigits", "0.12345678901234567890123456789012",
     "0.12345678901234567890123456789012"},
    {"ThirtyThreeFractionDigitsDropTheLast", "0.123456789012345678901234567890129",
     "0.12345678901234567890123456789012"},
    {"ExponentThirtyOne", "1.5e31", "15" + zeros(30)},
    {"ExponentThirtyTwoOverflows", "1.5e32", "0"},
    {"ExponentWrapsAt256", "1.5e256", "1.5"},
    {"ExponentWrapsToFortyFour", "1.5e300", "0"},
    {"ExponentWrapsToOne", "1.5e257", "15"},
    {"NegativeExponentTooSmall", "1.5e-32", "0"},
    {"NegativeExponentWrapsToMinusOne", "1.5e-257", "0.15"},
    {"NegativeZeroHasNoSign", "-0.00", "0"},
    {"LongestText", "-" + std::string(31, '9') + "." + std::string(32, '9'),
     "-" + std::string(31, '9') + "." + std::string(32, '9')},
};

TEST(DecimalText, ReadsTheGrammarAndWritesCanonicalText) {
  for (const TextCase& c : kTexts) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(text_of(parse(c.text)), c.value);
  }
  // The end of the view ends the text, not a terminator.
  EXPECT_EQ(text_of(parse(std::string_view("12345").substr(0, 3))), "123");
}

TEST(DecimalToText, ThirtyTwoIntegerDigitsFitTheBuffer) {
  std::uint8_t digits[64];
  for (int i = 0; i < 64; ++i)
    digits[i] = 9;
  DecimalEntry value;
  decimal_from_constant(value, digits, 64, 32, 1);
  char buffer[kDecimalTextCapacity];
  const std::size_t length = decimal_to_text(value, buffer);
  EXPECT_EQ(length, 66U);
  EXPECT_EQ(std::string(buffer, length), "-" + std::string(32, '9') + "." + std::string(32, '9'));
}

struct RealCase {
  const char* name;
  double real;
  std::string value;
};

TEST(DecimalFromReal, KeepsFifteenCorrectlyRoundedDigits) {
  const RealCase cases[] = {
      {"RoundsTheSixteenthDigit", 123456789.123456789, "123456789.123457"},
      {"TwoToTheFiftyThird", 9007199254740992.0, "9007199254740990"},
      {"LargestPosition", 1e31, "1" + zeros(31)},
      {"TopDigitAboveTheRow", 1e32, "0"},
      {"SmallestPosition", 1e-32, "0." + zeros(31) + "1"},
      {"BelowTheRow", 1e-33, "0"},
      {"PartlyBelowTheRow", 1.25e-31, "0." + zeros(30) + "12"},
      {"HugeKeepsTheDigitsInsideTheRow", 1.2345678901234567e40, "12346" + zeros(26)},
      {"Zero", 0.0, "0"},
      {"NegativeZero", -0.0, "0"},
      {"NotANumber", std::numeric_limits<double>::quiet_NaN(), "0"},
      {"Infinity", std::numeric_limits<double>::infinity(), "0"},
      {"Largest", std::numeric_limits<double>::max(), "0"},
      {"Denormal", std::numeric_limits<double>::denorm_min(), "0"},
  };
  for (const RealCase& c : cases) {
    SCOPED_TRACE(c.name);
    DecimalEntry value;
    decimal_from_real(value, c.real);
    EXPECT_EQ(text_of(value), c.value);
  }
}

TEST(DecimalToReal, ScalesTheLeadingDigitsByExactPowers) {
  const RealCase cases[] = {
      {"Tenth", 0.1, "0.1"},
      {"SeventeenDigitsKeepSixteen", 12345678901234560.0, "12345678901234567"},
      {"SmallestPosition", 1e-32, "0." + zeros(31) + "1"},
      {"ThirtyOneIntegerDigits", 1e30, "1" + zeros(30)},
      {"Zero", 0.0, "-0.000"},
  };
  for (const RealCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_DOUBLE_EQ(decimal_to_real(parse(c.value)), c.real);
  }
  EXPECT_EQ(decimal_to_real(parse("0.1")), 0.1);  // one correctly rounded division
  EXPECT_FALSE(std::signbit(decimal_to_real(parse("-0"))));
}

struct WholeCase {
  const char* name;
  std::string value;
  std::int32_t as_long;
  std::uint32_t as_ulong;
};

TEST(DecimalToWhole, TruncatesAndWraps) {
  const WholeCase cases[] = {
      {"Wraps", "3000000000", -1294967296, 3000000000U},
      {"TruncatesTowardZero", "-2.7", -2, 2U},
      {"UlongDropsTheSign", "-5", -5, 5U},
      {"TwoToTheThirtyTwo", "4294967296", 0, 0U},
      {"WrapsAndTruncates", "4294967297.9", 1, 1U},
      {"TrailingZerosByMultiplication", "1200", 1200, 1200U},
      {"SmallestLong", "-2147483648", std::numeric_limits<std::int32_t>::min(), 2147483648U},
      {"OneAboveLargestLong", "2147483648", std::numeric_limits<std::int32_t>::min(), 2147483648U},
      {"Zero", "0", 0, 0U},
      {"LargestUlong", "4294967295", -1, 4294967295U},
      {"ThirtyOneDigits", "1" + zeros(30), 1073741824, 1073741824U},  // 10^30 mod 2^32
  };
  for (const WholeCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(decimal_to_long(parse(c.value)), c.as_long);
    EXPECT_EQ(decimal_to_ulong(parse(c.value)), c.as_ulong);
    DecimalEntry value;  // and back from the whole numbers, exactly
    decimal_from_long(value, c.as_long);
    EXPECT_EQ(text_of(value), std::to_string(c.as_long));
    decimal_from_ulong(value, c.as_ulong);
    EXPECT_EQ(text_of(value), std::to_string(c.as_ulong));
  }
}

TEST(DecimalFromConstant, PlacesDigitsLeastSignificantFirst) {
  const std::uint8_t digits[] = {4, 3, 2, 1};
  DecimalEntry value;
  decimal_from_constant(value, digits, 4, 2, 1);
  EXPECT_EQ(text_of(value), "-12.34");
  decimal_from_constant(value, digits, 4, 0, 0);
  EXPECT_EQ(text_of(value), "1234");
  decimal_from_constant(value, digits, 1, 0, 0);  // a one-digit constant
  EXPECT_EQ(text_of(value), "4");
  decimal_from_constant(value, digits, 4, 34, 0);  // two digits below the row
  EXPECT_EQ(text_of(value), "0." + zeros(30) + "12");
  decimal_from_constant(value, nullptr, 4, 2, 0);
  EXPECT_EQ(text_of(value), "0");
  decimal_from_constant(value, digits, 0, 0, 0);
  EXPECT_EQ(text_of(value), "0");
  const std::uint8_t bad[] = {13, 1};  // 13 reads as 3
  decimal_from_constant(value, bad, 2, 0, 0);
  EXPECT_EQ(text_of(value), "13");
}

using Bytes = std::vector<std::uint8_t>;

// Bytes as hex digits, two a byte: "F01234" is 0xF0 0x12 0x34; "EE" marks the guard byte.
std::string hex(const Bytes& bytes) {
  std::string text;
  for (const std::uint8_t byte : bytes) {
    text += "0123456789ABCDEF"[byte >> 4];
    text += "0123456789ABCDEF"[byte & 15];
  }
  return text;
}

struct PackedCase {
  const char* name;
  std::string value;
  int size;
  int places;
  std::string decimal;
  std::string pdecimal;
};

const PackedCase kPackedStores[] = {
    {"Negative", "-12.34", 3, 2, "F01234", "01234D"},
    {"Positive", "12.34", 3, 2, "001234", "01234F"},
    {"HighDigitsDropped", "12345", 3, 2, "034500", "34500F"},
    {"HalfCentRoundsUp", "0.005", 3, 2, "000001", "00001F"},
    {"NegativeZeroKeepsItsSign", "-0.004", 3, 2, "F00000", "00000D"},
    {"OneByte", "7", 1, 0, "07", "7F"},
    {"ThirtyOneDigits", "1234567890123456789012345678901", 16, 0,
     "01234567890123456789012345678901", "1234567890123456789012345678901F"},
    {"ThirtyTwoPlacesInSeventeenBytes", "-0.5", 17, 32, "F050" + zeros(30), "05" + zeros(31) + "D"},
    // Layouts beyond the row: places 40 puts every target position below 0; 2S - P = 38 puts the
    // top five positions above 63. Positions outside the row are written as zero.
    {"PlacesBeyondTheRow", "1.5", 17, 40, zeros(34), zeros(33) + "F"},
    {"TopBeyondTheRow", "12.34", 20, 2, zeros(36) + "1234", zeros(35) + "1234F"},
};

TEST(DecimalStorePacked, WritesSignAndDigitNibbles) {
  for (const PackedCase& c : kPackedStores) {
    SCOPED_TRACE(c.name);
    Bytes decimal(static_cast<std::size_t>(c.size) + 1, 0xEE);
    Bytes pdecimal(static_cast<std::size_t>(c.size) + 1, 0xEE);
    decimal_store_packed(parse(c.value), decimal.data(), PackedKind::Decimal, c.size, c.places);
    decimal_store_packed(parse(c.value), pdecimal.data(), PackedKind::Pdecimal, c.size, c.places);
    EXPECT_EQ(hex(decimal), c.decimal + "EE");  // nothing written past the variable
    EXPECT_EQ(hex(pdecimal), c.pdecimal + "EE");
  }
}

struct LoadCase {
  const char* name;
  Bytes bytes;
  PackedKind kind;
  int places;
  std::string value;
};

TEST(DecimalPacked, ReadsSignAndDigitsAndNothingWithoutAVariable) {
  const LoadCase cases[] = {
      {"Decimal", {0xF0, 0x12, 0x34}, PackedKind::Decimal, 2, "-12.34"},
      {"AnyNonZeroSignIsNegative", {0x80, 0x12, 0x34}, PackedKind::Decimal, 2, "-12.34"},
      {"Pdecimal", {0x01, 0x23, 0x4D}, PackedKind::Pdecimal, 2, "-12.34"},
      {"OnlyDIsNegative", {0x01, 0x23, 0x4C}, PackedKind::Pdecimal, 2, "12.34"},
      {"PdecimalZeroSignNibble", {0x01, 0x23, 0x40}, PackedKind::Pdecimal, 2, "12.34"},
      {"NonDigitNibbleReadsAsZero", {0x0A, 0x1B, 0x34}, PackedKind::Decimal, 2, "10.34"},
      {"ClearedHighest", {0x09, 0x99, 0x99}, PackedKind::Decimal, 2, "999.99"},
      {"ClearedLowest", {0x89, 0x99, 0x99}, PackedKind::Decimal, 2, "-999.99"},
      {"ClearedPdecimalZero", {0x00, 0x00, 0x0F}, PackedKind::Pdecimal, 2, "0"},
      {"ThirtyTwoPlaces", {0x05, 0x00}, PackedKind::Decimal, 32, "0." + zeros(29) + "5"},
      {"PlacesBeyondTheRow", {0x01, 0x23}, PackedKind::Decimal, 34, "0." + zeros(31) + "1"},
      {"AllPlacesFarBelowTheRow", {0x01, 0x23}, PackedKind::Decimal, 226, "0"},
      // 39 digits with 2 places reach position 68: the digit 7 there is dropped, 5 at 63 kept.
      {"TopBeyondTheRow",
       {0x07, 0, 0, 0x50, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x12, 0x34},
       PackedKind::Decimal,
       2,
       "5" + zeros(29) + "12.34"},
  };
  for (const LoadCase& c : cases) {
    SCOPED_TRACE(c.name);
    DecimalEntry value;
    decimal_load_packed(value, c.bytes.data(), c.kind, static_cast<int>(c.bytes.size()), c.places);
    EXPECT_EQ(text_of(value), c.value);
  }
  // Size zero and a null variable write nothing and read zero.
  std::uint8_t guard = 0xEE;
  decimal_store_packed(parse("5"), &guard, PackedKind::Decimal, 0, 0);
  decimal_store_packed(parse("5"), nullptr, PackedKind::Pdecimal, 3, 0);
  EXPECT_EQ(guard, 0xEE);
  const std::uint8_t byte = 0x99;
  DecimalEntry value = parse("5");
  decimal_load_packed(value, &byte, PackedKind::Decimal, 0, 0);
  EXPECT_EQ(text_of(value), "0");
  value = parse("5");
  decimal_load_packed(value, nullptr, PackedKind::Decimal, 3, 0);
  EXPECT_EQ(text_of(value), "0");
}

TEST(DecimalPacked, EveryOneByteValueRoundTrips) {
  // Small domain, exhaustively: every digit and sign of a one-byte DECIMAL and PDECIMAL.
  for (int digit = 0; digit <= 9; ++digit) {
    for (int negative = 0; negative <= 1; ++negative) {
      const std::uint8_t decimal = static_cast<std::uint8_t>((negative ? 0xF0 : 0x00) | digit);
      const std::uint8_t pdecimal =
          static_cast<std::uint8_t>((digit << 4) | (negative ? 0xD : 0xF));
      DecimalEntry value;
      decimal_load_packed(value, &decimal, PackedKind::Decimal, 1, 0);
      std::uint8_t stored = 0;
      decimal_store_packed(value, &stored, PackedKind::Pdecimal, 1, 0);
      EXPECT_EQ(stored, pdecimal) << digit << " " << negative;
      decimal_load_packed(value, &pdecimal, PackedKind::Pdecimal, 1, 0);
      decimal_store_packed(value, &stored, PackedKind::Decimal, 1, 0);
      EXPECT_EQ(stored, decimal) << digit << " " << negative;
    }
  }
}

struct ClearCase {
  const char* name;
  std::uint8_t type_code;
  std::int8_t fill;
  Bytes bytes;
};

TEST(DecimalClearPacked, FillsZeroHighestOrLowest) {
  const ClearCase cases[] = {
      {"DecimalZero", kDecimalTypeCode, 0, {0x00, 0x00, 0x00}},
      {"DecimalHighest", kDecimalTypeCode, 1, {0x09, 0x99, 0x99}},
      {"DecimalLowest", kDecimalTypeCode, -1, {0x89, 0x99, 0x99}},
      {"DecimalHighestAnyPositiveFill", kDecimalTypeCode, 127, {0x09, 0x99, 0x99}},
      {"DecimalLowestAnyNegativeFill", kDecimalTypeCode, -128, {0x89, 0x99, 0x99}},
      {"PdecimalZero", kPdecimalTypeCode, 0, {0x00, 0x00, 0x0F}},
      {"PdecimalHighest", kPdecimalTypeCode, 1, {0x99, 0x99, 0x9F}},
      {"PdecimalLowest", kPdecimalTypeCode, -1, {0x99, 0x99, 0x9D}},
      {"OtherTypeCodeUntouched", 12, 1, {0xEE, 0xEE, 0xEE}},
      {"DecimalOneByte", kDecimalTypeCode, 1, {0x09}},
      {"PdecimalOneByte", kPdecimalTypeCode, -1, {0x9D}},
      {"ZeroSizeWritesNothing", kDecimalTypeCode, 1, {}},
  };
  for (const ClearCase& c : cases) {
    SCOPED_TRACE(c.name);
    const auto size = static_cast<std::uint32_t>(c.bytes.size());  // the expected bytes give it
    Bytes bytes(c.bytes.size() + 1, 0xEE);
    decimal_clear_packed(bytes.data(), size, c.type_code, c.fill);
    EXPECT_EQ(bytes.back(), 0xEE);
    bytes.pop_back();
    EXPECT_EQ(bytes, c.bytes);
  }
}

// Scales within the exact powers 10^-15..10^15 take one rounding: the REAL is strtod's, and comes
// back unchanged. Drawn from the engine's raw output, the same on every host.
TEST(DecimalRealRoundTrip, FifteenDigitValuesComeBackExactly) {
  std::mt19937_64 engine(20261206);
  for (int i = 0; i < 5000; ++i) {
    std::uint64_t mantissa = 100000000000000ULL + engine() % 900000000000000ULL;
    if (mantissa % 10 == 0) ++mantissa;
    const int exponent = static_cast<int>(engine() % 31) - 15;
    const std::string digits = std::to_string(mantissa);
    const std::string text = digits + "e" + std::to_string(exponent);
    const double real = std::strtod(text.c_str(), nullptr);
    DecimalEntry value;
    decimal_from_real(value, real);
    DecimalEntry expected;
    decimal_from_text(expected, "0." + digits + "e" + std::to_string(exponent + 15));
    ASSERT_EQ(decimal_compare(value, expected), 0) << text;
    ASSERT_EQ(decimal_to_real(value), real) << text;
  }
}

// Past 10^15 the scale takes two steps, 10^16 first, and each rounds: 6088049522675 times 10^17
// comes out one unit in the last place above the REAL nearest to it.
TEST(DecimalRealRoundTrip, ScalesPastTheTableRoundTwice) {
  DecimalEntry value;
  decimal_from_text(value, "608804952267500000000000000000");
  EXPECT_EQ(decimal_to_real(value), 0x1.ebc9e9d05abe6p+98);
  EXPECT_EQ(std::strtod("6088049522675e17", nullptr), 0x1.ebc9e9d05abe5p+98);
}

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
  // 2 x 10^30 + 10^-30 has 61 digits: without its last, 0.1 / it = 5 x 10^-32 rounds up to
  // 10^-31; with it the quotient would round to zero.
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
  DecimalEntry value = parse("-1");  // an unsigned exponent beyond the signed range
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

// Tolerant REAL comparison, the tolerant conversions to whole numbers and safe division.
#include "numeric/maths/real_compare.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include <kestrel/maths.h>

#include <gtest/gtest.h>

namespace kes::numeric {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr float kNaNf = std::numeric_limits<float>::quiet_NaN();
constexpr float kInff = std::numeric_limits<float>::infinity();
constexpr std::int32_t kLongMin = std::numeric_limits<std::int32_t>::min();

// k units of 2^exponent, exact for the small k used here.
double units(int k, int exponent) { return std::ldexp(static_cast<double>(k), exponent); }
float unitsf(int k, int exponent) { return std::ldexp(static_cast<float>(k), exponent); }

struct DistinctCase {
  const char* name;
  double x;
  double y;
  bool distinct;
};
// Near 1.0 (field 1023) a difference of k * 2^-52 has field 1023 + floor(log2 k) - 52, which is
// within the margin while floor(log2 k) < 2, so 3 ulps are equal and 4 are distinct. Beside zero
// the field of 1.0 stands in: equal while |d| < 2^-50.
const DistinctCase kDistinctCases[] = {
    {"TenthsSumEqualsThreeTenths", 0.1 + 0.2, 0.3, false},
    {"ThreeUlpsAboveOne", 1.0 + units(3, -52), 1.0, false},
    {"FourUlpsAboveOne", 1.0 + units(4, -52), 1.0, true},
    {"NegativeFourUlps", -1.0, -1.0 - units(4, -52), true},
    {"NegativeThreeUlps", -1.0, -1.0 - units(3, -52), false},
    {"ZeroAndJustBelowTwoToMinus50", 0.0, std::nextafter(units(1, -50), 0.0), false},
    {"ZeroAndTwoToMinus50", 0.0, units(1, -50), true},
    {"TwoToMinus50AndZero", units(1, -50), 0.0, true},
    {"ZeroAndTwoToMinus51", 0.0, units(1, -51), false},
    {"SubnormalDifference", 5e-324, 0.0, false},
    {"ZeroAndNegativeZero", 0.0, -0.0, false},
    {"TinyNumbersFarApart", 1e-300, 2e-300, true},
    {"LargeTwoUlpsApart", 1e300, std::nextafter(std::nextafter(1e300, kInf), kInf), false},
    {"LargeBeyondMargin", 1e300, 1e300 * (1.0 + units(1, -40)), true},
    {"OppositeSigns", 1.0, -1.0, true},
    {"EqualInfinities", kInf, kInf, false},
    {"OppositeInfinities", kInf, -kInf, true},
    {"InfinityAndMaximum", kInf, std::numeric_limits<double>::max(), true},
    {"NaNAndItself", kNaN, kNaN, true},
    {"NaNAndOne", kNaN, 1.0, true},
    {"DifferenceOverflows", 1.7e308, -1.7e308, true},
};

TEST(RealDistinct, FollowsExponentFieldRule) {
  for (const DistinctCase& c : kDistinctCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(real_distinct(c.x, c.y), c.distinct);
    EXPECT_EQ(Kes$realdistinct(c.x, c.y), c.distinct ? 1 : 0);
  }
}

struct SrealDistinctCase {
  const char* name;
  float x;
  float y;
  bool distinct;
};
// SREAL: near 1.0f a difference of k * 2^-23 is within the margin of 22 only for k = 1; beside
// zero equal while |d| < 2^-22.
const SrealDistinctCase kSrealDistinctCases[] = {
    {"OneUlpAboveOne", 1.0f + unitsf(1, -23), 1.0f, false},
    {"TwoUlpsAboveOne", 1.0f + unitsf(2, -23), 1.0f, true},
    {"ZeroAndJustBelowTwoToMinus22", 0.0f, std::nextafter(unitsf(1, -22), 0.0f), false},
    {"ZeroAndTwoToMinus22", 0.0f, unitsf(1, -22), true},
    {"SubnormalDifference", 1e-45f, 0.0f, false},
    {"EqualInfinities", kInff, kInff, false},
    {"NaN", kNaNf, kNaNf, true},
    {"TenthAndTenthPlusMillionth", 0.1f, 0.100001f, true},
};

TEST(SrealDistinct, FollowsExponentFieldRule) {
  for (const SrealDistinctCase& c : kSrealDistinctCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(sreal_distinct(c.x, c.y), c.distinct);
  }
}

struct LongCase {
  const char* name;
  double value;
  std::int32_t expected;
};
// Between 2 and 4 the ulp is 2^-51 and the next number m = 3 shares the field 1024, so the value
// converts to 3 while 3 - value < 2^-49, that is up to 3 ulps below. Between 0.5 and 1 (ulp
// 2^-53) the field of m = 1 is one higher: up to 7 ulps below 1. Around 10^9 (field 1052, ulp
// 2^-23) the margin is 2^-21: 3 ulps.
const LongCase kLongCases[] = {
    {"AlmostThree", 2.9999999999999996, 3},
    {"NegativeTwoPointFive", -2.5, -2},
    {"ThreeUlpsBelowThree", 3.0 - units(3, -51), 3},
    {"FourUlpsBelowThree", 3.0 - units(4, -51), 2},
    {"NegativeThreeUlpsBelowThree", -(3.0 - units(3, -51)), -3},
    {"NegativeFourUlpsBelowThree", -(3.0 - units(4, -51)), -2},
    {"SevenUlpsBelowOne", 1.0 - units(7, -53), 1},
    {"EightUlpsBelowOne", 1.0 - units(8, -53), 0},
    {"NegativeSevenUlpsBelowOne", -(1.0 - units(7, -53)), -1},
    {"NegativeEightUlpsBelowOne", -(1.0 - units(8, -53)), 0},
    {"ThreeUlpsBelowBillionAndOne", 1000000001.0 - units(3, -23), 1000000001},
    {"FourUlpsBelowBillionAndOne", 1000000001.0 - units(4, -23), 1000000000},
    {"NegativeZero", -0.0, 0},
    {"Subnormal", 5e-324, 0},
    {"Maximum", 2147483647.0, 2147483647},
    {"MaximumAndAHalf", 2147483647.5, 2147483647},
    {"NextWouldLeaveRange", 2147483648.0 - units(1, -22), 2147483647},
    {"TwoToThe31", 2147483648.0, kLongMin},
    {"Minimum", -2147483648.0, kLongMin},
    {"MinimumAndAHalf", -2147483648.5, kLongMin},
    {"BelowMinimum", -2147483649.0, kLongMin},
    {"MinusOneBelowMinimumAlmost", -2147483647.0 - units(1, -22), -2147483647},
    {"Infinity", kInf, kLongMin},
    {"NaN", kNaN, kLongMin},
};

TEST(RealToLong, TruncatesAndForgivesRepresentationError) {
  for (const LongCase& c : kLongCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(real_to_long(c.value), c.expected);
    EXPECT_EQ(Kes$lroundd(c.value), c.expected);
  }
}

struct UlongCase {
  const char* name;
  double value;
  std::uint32_t expected;
};
// The unsigned forms always look one up from the 64-bit truncation and keep its low 32 bits.
const UlongCase kUlongCases[] = {
    {"AlmostThree", 2.9999999999999996, 3},
    {"FourUlpsBelowThree", 3.0 - units(4, -51), 2},
    {"NegativeHalf", -0.5, 0},
    {"Maximum", 4294967295.0, 4294967295u},
    {"AlmostTwoToThe32", 4294967296.0 - units(1, -20), 0},
    {"TwoToThe32WrapsToZero", 4294967296.0, 0},
    {"TwoToThe32PlusOne", 4294967297.0, 1},
    {"MinusOneWraps", -1.0, 0xFFFFFFFFu},
    {"NegativeAlmostThreeTruncates", -2.9999999999999996, 0xFFFFFFFEu},
    {"NegativeAlmostTwoTruncates", -(2.0 - units(1, -52)), 0xFFFFFFFFu},
    // 2^52 is whole: it stays, although 2^52 + 1 lies within the tolerance; low half 0.
    {"TwoToThe52StaysWhole", 4503599627370496.0, 0},
    // 2^63 - 1024: the low 32 bits are 2^32 - 1024.
    {"LargestBelowTwoToThe63", 9223372036854774784.0, 4294966272u},
    {"MinusTwoToThe63", -9223372036854775808.0, 0},
    {"BelowMinusTwoToThe63", -9223372036854777856.0, 0},
    {"TwoToThe63", 9223372036854775808.0, 0},
    {"Infinity", kInf, 0},
    {"NaN", kNaN, 0},
};

TEST(RealToUlong, KeepsLow32BitsOf64BitTruncation) {
  for (const UlongCase& c : kUlongCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(real_to_ulong(c.value), c.expected);
    EXPECT_EQ(Kes$uroundd(c.value), c.expected);
  }
}

struct SrealLongCase {
  const char* name;
  float value;
  std::int32_t expected_long;
  std::uint32_t expected_ulong;
};
// Between 2 and 4 the SREAL ulp is 2^-22 and the margin 2^-21: one ulp below 3 converts to 3.
const SrealLongCase kSrealLongCases[] = {
    {"OneUlpBelowThree", 3.0f - unitsf(1, -22), 3, 3},
    {"TwoUlpsBelowThree", 3.0f - unitsf(2, -22), 2, 2},
    {"NegativeOneUlpBelowThree", -(3.0f - unitsf(1, -22)), -3, 0xFFFFFFFEu},
    {"NegativeTwoPointFive", -2.5f, -2, 0xFFFFFFFEu},
    {"Zero", 0.0f, 0, 0},
    {"TwoToThe31", 2147483648.0f, kLongMin, 2147483648u},
    {"TenMillionStaysWhole", 10000000.0f, 10000000, 10000000u},
    {"HalfBelowTwoToThe23", 8388607.5f, 8388608, 8388608u},
    {"NegativeHalfBelowTwoToThe23", -8388607.5f, -8388608, 0xFF800001u},
    {"BelowTwoToThe31", 2147483520.0f, 2147483520, 2147483520u},
    {"TwoToThe32", 4294967296.0f, kLongMin, 0},
    {"Infinity", kInff, kLongMin, 0},
    {"NaN", kNaNf, kLongMin, 0},
};

TEST(SrealToWhole, ForgivesWithSrealTolerance) {
  for (const SrealLongCase& c : kSrealLongCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(sreal_to_long(c.value), c.expected_long);
    EXPECT_EQ(Kes$lroundf(c.value), c.expected_long);
    EXPECT_EQ(sreal_to_ulong(c.value), c.expected_ulong);
    EXPECT_EQ(Kes$uroundf(c.value), c.expected_ulong);
  }
}

struct DivideCase {
  const char* name;
  double a;
  double b;
  double quotient;
};
const DivideCase kDivideCases[] = {
    {"Ordinary", 6.0, 3.0, 2.0},
    {"TinyDivisorIsZero", 1.0, 1e-20, 0.0},
    {"JustBelowTwoToMinus50", 1.0, std::nextafter(units(1, -50), 0.0), 0.0},
    {"TwoToMinus50Divides", 1.0, units(1, -50), units(1, 50)},
    {"Zero", 1.0, 0.0, 0.0},
    {"NegativeZero", 1.0, -0.0, 0.0},
    {"InfiniteDividend", kInf, 2.0, kInf},
    {"InfiniteDivisor", 1.0, kInf, 0.0},
};

TEST(RealDivide, TreatsDivisorsWithinToleranceAsZero) {
  for (const DivideCase& c : kDivideCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(real_divide(c.a, c.b), c.quotient);
    EXPECT_EQ(Kes$divide(c.a, c.b), c.quotient);
  }
  EXPECT_TRUE(std::isnan(Kes$divide(1.0, kNaN)));
}

}  // namespace
}  // namespace kes::numeric

// The REAL built-ins: remainder, powers, ROUND, INT and the transcendental functions; BSHIFT.
#include "numeric/maths/maths.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <numbers>
#include <string>

#include <kestrel/maths.h>

#include <gtest/gtest.h>

#include "numeric/maths/bshift.h"

namespace kes::numeric {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr std::int32_t kLongMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kLongMax = std::numeric_limits<std::int32_t>::max();

struct BinaryCase {
  const char* name;
  double a;
  double b;
  double expected;
};

const BinaryCase kModulusCases[] = {
    {"Ordinary", 7.0, 3.0, 1.0},
    {"NegativeDividendKeepsSign", -7.0, 3.0, -1.0},
    {"NegativeDivisorIgnored", 7.0, -3.0, 1.0},
    {"ZeroDivisor", 7.0, 0.0, 0.0},
    {"NegativeZeroDivisor", 7.0, -0.0, 0.0},
    {"InfiniteDivisor", 7.0, kInf, 7.0},
};

TEST(RealModulus, KeepsSignOfDividend) {
  for (const BinaryCase& c : kModulusCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(real_modulus(c.a, c.b), c.expected);
    EXPECT_EQ(Kes$modulus(c.a, c.b), c.expected);
  }
  EXPECT_TRUE(std::isnan(Kes$modulus(kInf, 2.0)));
  EXPECT_TRUE(std::isnan(Kes$modulus(kNaN, 2.0)));
}

TEST(RealPower, RaisesToRealAndWholeExponents) {
  EXPECT_EQ(Kes$realpower(4.0, 0.5), 2.0);
  EXPECT_EQ(Kes$realpower(10.0, -2.0), 0.01);
  EXPECT_EQ(Kes$longpower(2.0, -2), 0.25);
  EXPECT_EQ(Kes$longpower(-2.0, 3), -8.0);
}

const BinaryCase kRoundCases[] = {
    {"HalfUp", 2.5, 1.0, 3.0},
    {"NegativeHalfAwayFromZero", -2.5, 1.0, -3.0},
    {"NegativeIncrementUnchanged", 1234.5, -1.0, 1234.5},
    {"ZeroIncrementUnchanged", 1234.5, 0.0, 1234.5},
    {"ZeroValue", 0.0, 0.01, 0.0},
    {"BelowHalf", 2.4999, 1.0, 2.0},
    {"SmallerThanHalfIncrement", 0.004, 0.01, 0.0},
    {"NaNIncrementUnchanged", 3.7, kNaN, 3.7},
    {"InfiniteValueUnchanged", kInf, 1.0, kInf},
    {"InfiniteIncrementUnchanged", 3.7, kInf, 3.7},
    {"HugeValueTinyIncrementUnchanged", 1e300, 1e-300, 1e300},
    {"SubnormalIncrementUnchanged", 3.7, 5e-324, 3.7},
};

TEST(RealRound, RoundsHalfAwayFromZeroAtIncrementPosition) {
  for (const BinaryCase& c : kRoundCases) {
    SCOPED_TRACE(c.name);
    EXPECT_DOUBLE_EQ(real_round(c.a, c.b), c.expected);
    EXPECT_DOUBLE_EQ(Kes$ROUND(c.a, c.b), c.expected);
  }
}

// 1234567.891234 rounded at each decimal position from 10^-6 to 10^6; increments 1, 5 and 9
// times the power all mean that position.
struct PositionCase {
  int exponent;
  double rounded;
};
const PositionCase kPositionCases[] = {
    {-6, 1234567.891234}, {-5, 1234567.89123}, {-4, 1234567.8912}, {-3, 1234567.891},
    {-2, 1234567.89},     {-1, 1234567.9},     {0, 1234568.0},     {1, 1234570.0},
    {2, 1234600.0},       {3, 1235000.0},      {4, 1230000.0},     {5, 1200000.0},
    {6, 1000000.0},
};

TEST(RealRound, EveryIncrementFromMillionthToMillion) {
  constexpr double kValue = 1234567.891234;
  const char* const kIncrementTexts[] = {"1e", "5e", "9e"};
  for (const PositionCase& c : kPositionCases) {
    for (const char* mantissa : kIncrementTexts) {
      const std::string text = std::string(mantissa) + std::to_string(c.exponent);
      const double increment = std::strtod(text.c_str(), nullptr);
      SCOPED_TRACE(text);
      EXPECT_DOUBLE_EQ(Kes$ROUND(kValue, increment), c.rounded);
      EXPECT_DOUBLE_EQ(Kes$ROUND(-kValue, increment), -c.rounded);
    }
  }
}

TEST(RealFunctions, GiveStandardValues) {
  EXPECT_EQ(Kes$INT(2.7), 2.0);
  EXPECT_EQ(Kes$INT(-2.7), -2.0);
  EXPECT_EQ(Kes$SQRT(16.0), 4.0);
  EXPECT_EQ(Kes$LOG10(1000.0), 3.0);
  EXPECT_DOUBLE_EQ(Kes$LOGE(std::numbers::e), 1.0);
  EXPECT_DOUBLE_EQ(Kes$SIN(std::numbers::pi / 6), 0.5);
  EXPECT_EQ(Kes$COS(0.0), 1.0);
  EXPECT_DOUBLE_EQ(Kes$TAN(std::numbers::pi / 4), 1.0);
  EXPECT_DOUBLE_EQ(Kes$ASIN(1.0), std::numbers::pi / 2);
  EXPECT_EQ(Kes$ACOS(1.0), 0.0);
  EXPECT_DOUBLE_EQ(Kes$ATAN(1.0), std::numbers::pi / 4);
}

struct ShiftCase {
  const char* name;
  std::int32_t value;
  std::int32_t count;
  std::int32_t expected;
};
const ShiftCase kShiftCases[] = {
    {"OneIntoSignBit", 1, 31, kLongMin},
    {"ThirtyTwoGivesZero", 1, 32, 0},
    {"MinusOneRightLogical", -1, -28, 15},
    {"ZeroCount", 12345, 0, 12345},
    {"LeftOne", 5, 1, 10},
    {"RightOne", 5, -1, 2},
    {"MinusOneRightOne", -1, -1, kLongMax},
    {"MinusOneRightThirtyOne", -1, -31, 1},
    {"MinusOneRightThirtyTwo", -1, -32, 0},
    {"SecondBitIntoSign", 0x40000000, 1, kLongMin},
    {"MinimumRightThirtyOne", kLongMin, -31, 1},
    {"MinimumLeftOne", kLongMin, 1, 0},
    {"HugeCount", -1, kLongMax, 0},
    {"HugeNegativeCount", -1, kLongMin, 0},
};

TEST(BitShift, ShiftsLeftOrLogicallyRight) {
  for (const ShiftCase& c : kShiftCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(bit_shift(c.value, c.count), c.expected);
    EXPECT_EQ(Kes$BSHIFT(c.value, c.count), c.expected);
  }
}

}  // namespace
}  // namespace kes::numeric

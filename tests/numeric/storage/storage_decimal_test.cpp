// REALs into and out of DECIMAL and PDECIMAL variables.
#include "numeric/storage/storage_decimal.h"

#include <array>
#include <cstdint>
#include <limits>

#include <kestrel/storage.h>

#include <gtest/gtest.h>

#include "numeric/decimal/decimal_stack.h"

namespace kes::numeric {
namespace {

using Bytes3 = std::array<std::uint8_t, 3>;

struct PackedCase {
  const char* name;
  double value;
  Bytes3 decimal;   // size 3, places 2
  Bytes3 pdecimal;  // size 3, places 2
};
// DECIMAL: sign nibble (F negative, 0 positive) then five digits; PDECIMAL: five digits then the
// sign nibble (D negative, F positive).
const PackedCase kPackedCases[] = {
    {"Negative", -12.34, {0xF0, 0x12, 0x34}, {0x01, 0x23, 0x4D}},
    {"Positive", 12.34, {0x00, 0x12, 0x34}, {0x01, 0x23, 0x4F}},
    {"HighDigitsDropped", 12345.0, {0x03, 0x45, 0x00}, {0x34, 0x50, 0x0F}},
    {"HalfCentRoundsUp", 0.005, {0x00, 0x00, 0x01}, {0x00, 0x00, 0x1F}},
    {"NegativeZeroAfterRounding", -0.004, {0xF0, 0x00, 0x00}, {0x00, 0x00, 0x0D}},
    {"HalfAwayFromZero", -0.125, {0xF0, 0x00, 0x13}, {0x00, 0x01, 0x3D}},
    {"Maximum", 999.99, {0x09, 0x99, 0x99}, {0x99, 0x99, 0x9F}},
    {"Zero", 0.0, {0x00, 0x00, 0x00}, {0x00, 0x00, 0x0F}},
    {"NaNStoresZero",
     std::numeric_limits<double>::quiet_NaN(),
     {0x00, 0x00, 0x00},
     {0x00, 0x00, 0x0F}},
    {"NegativeZeroIsPlainZero", -0.0, {0x00, 0x00, 0x00}, {0x00, 0x00, 0x0F}},
    {"SubnormalIsZero", 5e-324, {0x00, 0x00, 0x00}, {0x00, 0x00, 0x0F}},
    {"HugeDropsEveryDigit", 1e40, {0x00, 0x00, 0x00}, {0x00, 0x00, 0x0F}},
    {"InfinityStoresZero",
     std::numeric_limits<double>::infinity(),
     {0x00, 0x00, 0x00},
     {0x00, 0x00, 0x0F}},
};

TEST(StoreRealAsDecimal, RoundsAndPacks) {
  for (const PackedCase& c : kPackedCases) {
    SCOPED_TRACE(c.name);
    Bytes3 decimal{0xEE, 0xEE, 0xEE};
    Kes$storedec(decimal.data(), 3, 2, c.value);
    EXPECT_EQ(decimal, c.decimal);
    Bytes3 pdecimal{0xEE, 0xEE, 0xEE};
    Kes$pstoredec(pdecimal.data(), 3, 2, c.value);
    EXPECT_EQ(pdecimal, c.pdecimal);
  }
}

TEST(StoreRealAsDecimal, LeavesDecimalStackAsFound) {
  const int depth = decimal_depth();
  std::array<std::uint8_t, 8> bytes{};
  Kes$storedec(bytes.data(), 8, 4, 3.25);
  EXPECT_EQ(Kes$loaddec(bytes.data(), 8, 4), 3.25);
  EXPECT_EQ(decimal_depth(), depth);
}

TEST(StoreRealAsDecimal, NullOrEmptyFieldWritesNothing) {
  Kes$storedec(nullptr, 3, 2, 1.0);
  Kes$pstoredec(nullptr, 3, 2, 1.0);
  Bytes3 bytes{0xEE, 0xEE, 0xEE};
  Kes$storedec(bytes.data(), 0, 0, 1.0);
  EXPECT_EQ(bytes, (Bytes3{0xEE, 0xEE, 0xEE}));
  EXPECT_EQ(Kes$loaddec(nullptr, 3, 2), 0.0);
  EXPECT_EQ(Kes$ploaddec(nullptr, 3, 2), 0.0);
}

TEST(LoadRealFromDecimal, ReadsBothLayouts) {
  for (const PackedCase& c : {kPackedCases[0], kPackedCases[1]}) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Kes$loaddec(c.decimal.data(), 3, 2), c.value);
    EXPECT_EQ(Kes$ploaddec(c.pdecimal.data(), 3, 2), c.value);
  }
  EXPECT_EQ(Kes$ploaddec(kPackedCases[1].pdecimal.data(), 3, 0), 1234.0);  // no places
}

TEST(DecimalRoundTrip, FifteenDigitsSurvive) {
  const double kValues[] = {0.1, -0.1, 123456789012.345, -99999999999999.9, 1e20, 0.000001};
  for (double value : kValues) {
    SCOPED_TRACE(value);
    std::array<std::uint8_t, 16> bytes{};  // 31 digits
    Kes$storedec(bytes.data(), 16, 6, value);
    EXPECT_EQ(Kes$loaddec(bytes.data(), 16, 6), value);
    Kes$pstoredec(bytes.data(), 16, 6, value);
    EXPECT_EQ(Kes$ploaddec(bytes.data(), 16, 6), value);
  }
}

}  // namespace
}  // namespace kes::numeric

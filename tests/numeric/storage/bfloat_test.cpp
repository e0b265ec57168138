// REALs in stored fields: BFLOAT4 and BFLOAT8 (byte layouts, clamping, zero, round trips for every
// exponent), and DECIMAL and PDECIMAL variables.
#include "numeric/storage/bfloat.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>

#include <kestrel/storage.h>

#include <gtest/gtest.h>

#include "numeric/decimal/decimal_stack.h"
#include "numeric/storage/storage_decimal.h"

namespace kes::numeric {
namespace {

using Bytes4 = std::array<std::uint8_t, 4>;
using Bytes8 = std::array<std::uint8_t, 8>;

constexpr double kInf = std::numeric_limits<double>::infinity();

Bytes4 stored4(double value) {
  Bytes4 bytes;
  bytes.fill(0xEE);
  Kes$bstorefloat4(bytes.data(), value);
  return bytes;
}
Bytes8 stored8(double value) {
  Bytes8 bytes;
  bytes.fill(0xEE);
  Kes$bstorefloat(bytes.data(), value);
  return bytes;
}

struct Store4Case {
  const char* name;
  double value;
  Bytes4 bytes;
};
// Exponent byte = true exponent + 129; then the sign bit and the fraction below it. Normal values
// of every exponent store as the round trips below show; these rows are the edges.
const Store4Case kStore4Cases[] = {
    {"Zero", 0.0, {0x00, 0x00, 0x00, 0x00}},
    {"NegativeZero", -0.0, {0x00, 0x00, 0x00, 0x00}},
    // 0.1 = 1.6 x 2^-4; 1.6's fraction 1001 1001 ... cut after 23 bits is 4CCCCCh.
    {"TenthCut", 0.1, {0xCC, 0xCC, 0x4C, 0x7D}},
    // 2^-129 has exponent byte 0 and a zero fraction: all bytes zero.
    {"ExponentZero", std::ldexp(1.0, -129), {0x00, 0x00, 0x00, 0x00}},
    {"ExponentZeroWithFraction", std::ldexp(1.5, -129), {0x00, 0x00, 0x40, 0x00}},
    {"TooSmall", std::ldexp(1.0, -130), {0x00, 0x00, 0x00, 0x00}},
    {"Subnormal", 5e-324, {0x00, 0x00, 0x00, 0x00}},
    {"ClampedKeepsFraction", std::ldexp(1.5, 127), {0x00, 0x00, 0x40, 0xFF}},
    {"ClampedHuge", -std::ldexp(1.0, 1000), {0x00, 0x00, 0x80, 0xFF}},
    {"Infinity", kInf, {0x00, 0x00, 0x00, 0xFF}},
    {"NegativeInfinity", -kInf, {0x00, 0x00, 0x80, 0xFF}},
    {"QuietNaN", std::numeric_limits<double>::quiet_NaN(), {0x00, 0x00, 0x40, 0xFF}},
};

TEST(Bfloat4Store, WritesExponentSignAndCutFraction) {
  for (const Store4Case& c : kStore4Cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(stored4(c.value), c.bytes);
  }
}

struct Store8Case {
  const char* name;
  double value;
  Bytes8 bytes;
};
const Store8Case kStore8Cases[] = {
    {"Zero", 0.0, {0, 0, 0, 0, 0, 0, 0, 0}},
    {"NegativeZero", -0.0, {0, 0, 0, 0, 0, 0, 0, 0}},
    // 0.1's 52 fraction bits 999999999999Ah shifted up by 3: 4CCCCCCCCCCCCD0h.
    {"Tenth", 0.1, {0xD0, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0x4C, 0x7D}},
    {"TooSmall", std::ldexp(1.0, -130), {0, 0, 0, 0, 0, 0, 0, 0}},
    {"Infinity", kInf, {0, 0, 0, 0, 0, 0, 0x00, 0xFF}},
    {"ClampedHuge", std::ldexp(1.75, 500), {0, 0, 0, 0, 0, 0, 0x60, 0xFF}},
};

TEST(Bfloat8Store, WritesExponentSignAndFullFraction) {
  for (const Store8Case& c : kStore8Cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(stored8(c.value), c.bytes);
  }
}

TEST(BfloatLoad, ZeroBytesReadZeroAndClampedValuesTheLargestExponent) {
  const Bytes4 four = {0xFF, 0xFF, 0x00, 0x00};
  EXPECT_EQ(Kes$bloadfloat4(four.data()), 0.0);
  const Bytes8 eight = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00};
  EXPECT_EQ(Kes$bloadfloat(eight.data()), 0.0);
  EXPECT_EQ(Kes$bloadfloat(nullptr), 0.0);
  EXPECT_EQ(Kes$bloadfloat4(nullptr), 0.0);

  // 1e300 keeps its fraction and reads back scaled from 2^996 to 2^126.
  EXPECT_EQ(Kes$bloadfloat(stored8(1e300).data()), std::ldexp(1e300, 126 - 996));
  EXPECT_EQ(Kes$bloadfloat4(stored4(kInf).data()), std::ldexp(1.0, 126));
}

// Every exponent byte with both signs and a few fractions reads as (-1)^s x 1.f x 2^(e - 129)
// and stores back to the same bytes. Exponent 0 with sign 0 reads as zero while the fraction's top
// seven bits are zero. Four bytes hold 23 fraction bits, eight bytes 52 (shifted up by 3).
template <typename Bytes>
void every_exponent_and_sign(int fraction_bits, double (*load)(const void*),
                             Bytes (*store)(double)) {
  const int shift = fraction_bits == 23 ? 0 : 3;
  const std::uint64_t top = std::uint64_t{1} << (fraction_bits - 1);
  const std::uint64_t kFractions[] = {0, top, 2 * top - 1, 1, (2 * top - 1) / 3};
  for (std::uint64_t exponent = 0; exponent < 256; ++exponent) {
    for (std::uint64_t sign = 0; sign < 2; ++sign) {
      for (std::uint64_t fraction : kFractions) {
        SCOPED_TRACE(exponent * 1000 + sign * 100);
        const int width = static_cast<int>(sizeof(Bytes)) * 8;
        const std::uint64_t word =
            exponent << (width - 8) | sign << (width - 9) | fraction << shift;
        Bytes bytes;
        for (std::size_t index = 0; index < bytes.size(); ++index) {
          bytes[index] = static_cast<std::uint8_t>(word >> (8 * index));
        }
        const bool reads_zero =
            exponent == 0 && sign == 0 && (fraction >> (fraction_bits - 7)) == 0;
        const double magnitude =
            std::ldexp(1.0 + std::ldexp(static_cast<double>(fraction), -fraction_bits),
                       static_cast<int>(exponent) - 129);
        const double expected = reads_zero ? 0.0 : (sign != 0 ? -magnitude : magnitude);
        const double loaded = load(bytes.data());
        ASSERT_EQ(loaded, expected);
        if (!reads_zero) {
          ASSERT_EQ(store(loaded), bytes);
        }
      }
    }
  }
}

TEST(BfloatRoundTrip, EveryExponentAndSign) {
  every_exponent_and_sign<Bytes4>(23, Kes$bloadfloat4, stored4);
  every_exponent_and_sign<Bytes8>(52, Kes$bloadfloat, stored8);
}

TEST(BfloatStore, NullOrUnalignedDestination) {
  Kes$bstorefloat(nullptr, 1.0);
  Kes$bstorefloat4(nullptr, 1.0);
  EXPECT_EQ(stored4(2.0), (Bytes4{0x00, 0x00, 0x00, 0x82}));
  std::array<std::uint8_t, 17> buffer;
  buffer.fill(0xEE);
  Kes$bstorefloat(buffer.data() + 3, -1.0);
  Kes$bstorefloat4(buffer.data() + 12, -1.0);
  EXPECT_EQ(buffer[9], 0x80);
  EXPECT_EQ(buffer[10], 0x81);
  EXPECT_EQ(buffer[11], 0xEE);  // nothing written past either field
  EXPECT_EQ(buffer[16], 0xEE);
  EXPECT_EQ(Kes$bloadfloat(buffer.data() + 3), -1.0);
  EXPECT_EQ(Kes$bloadfloat4(buffer.data() + 12), -1.0);
}

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

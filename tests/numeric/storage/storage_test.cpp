// REALs and LONGs as texts: heap texts and their release, and texts through pictures (with the
// string picture a missing picture stands for); REALs in stored fields: BFLOAT4 and BFLOAT8 (byte
// layouts, clamping, zero, round trips for every exponent), DECIMAL and PDECIMAL variables.
#include "numeric/storage/storage.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <type_traits>

#include <kestrel/storage.h>
#include <kestrel/string_stack.h>

#include <gtest/gtest.h>

#include "numeric/storage/bfloat.h"
#include "numeric/storage/storage_decimal.h"
#include "numeric/storage/storage_picture.h"
#include "platform/core/heap.h"
#include "tests/support/allocation_counter.h"

namespace kes::numeric {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

struct RealTextCase {
  const char* name;
  double value;
  std::string_view text;
};
const RealTextCase kRealTextCases[] = {
    {"Zero", 0.0, "0"},
    {"NegativeZero", -0.0, "0"},
    {"TenthsSum", 0.1 + 0.2, "0.3"},
    {"Negative", -2.5, "-2.5"},
    {"TwoThirdsRounded", 2.0 / 3.0, "0.66666666666667"},
    {"FourteenDigits", 12345678901234.0, "12345678901234"},
    {"FifteenDigitsGoExponent", 123456789012346.0, "1.2345678901235E+14"},
    {"TenToThe14", 1e14, "1E+14"},
    {"TenToThe13", 1e13, "10000000000000"},
    {"TenThousandth", 0.0001, "0.0001"},
    {"HundredThousandth", 0.00001, "1E-05"},
    {"Huge", -1e300, "-1E+300"},
    {"Maximum", std::numeric_limits<double>::max(), "1.7976931348623E+308"},
    {"Subnormal", 5e-324, "4.9406564584125E-324"},
    {"Infinity", kInf, "INF"},
    {"NegativeInfinity", -kInf, "-INF"},
    {"NaN", std::numeric_limits<double>::quiet_NaN(), "NAN"},
};

TEST(RealText, GeneralNotationWithFourteenDigits) {
  for (const RealTextCase& c : kRealTextCases) {
    SCOPED_TRACE(c.name);
    char buffer[kRealTextCapacity];
    const std::size_t length = format_real_text(c.value, buffer);
    EXPECT_EQ(std::string_view(buffer, length), c.text);

    KesTextPair pair{nullptr, 99};
    Kes$realtostr(&pair, c.value);
    ASSERT_NE(pair.pointer, nullptr);
    EXPECT_EQ(std::string_view(pair.pointer, pair.length), c.text);
    Kes$freestr(&pair);
    EXPECT_EQ(pair.pointer, nullptr);
    EXPECT_EQ(pair.length, 0u);
  }
}

TEST(LongText, DecimalDigits) {
  struct LongTextCase {
    const char* name;
    std::int32_t value;
    std::string_view text;
  };
  const LongTextCase kCases[] = {
      {"Zero", 0, "0"},
      {"MinusOne", -1, "-1"},
      {"Maximum", 2147483647, "2147483647"},
      {"Minimum", std::numeric_limits<std::int32_t>::min(), "-2147483648"},
  };
  for (const LongTextCase& c : kCases) {
    SCOPED_TRACE(c.name);
    KesTextPair pair{nullptr, 0};
    Kes$longtostr(&pair, c.value);
    ASSERT_NE(pair.pointer, nullptr);
    EXPECT_EQ(std::string_view(pair.pointer, pair.length), c.text);
    Kes$freestr(&pair);
  }
}

TEST(HeapText, OneAllocationPerTextAFailedOneLeavesThePairEmpty) {
  KesTextPair pair{nullptr, 0};
  {
    test::AllocationCounter counter;
    Kes$realtostr(&pair, 3.25);
    EXPECT_EQ(counter.count(), 1u);
  }
  Kes$freestr(&pair);
  for (const bool real : {true, false}) {
    pair = {reinterpret_cast<char*>(&pair), 7};
    platform::heap_fail_nth(1);
    real ? Kes$realtostr(&pair, 3.25) : Kes$longtostr(&pair, 12);
    platform::heap_fail_nth(0);
    EXPECT_EQ(pair.pointer, nullptr);
    EXPECT_EQ(pair.length, 0u);
  }
  // Freeing an empty or missing pair is harmless.
  Kes$freestr(&pair);
  EXPECT_EQ(pair.pointer, nullptr);
  Kes$freestr(nullptr);
  Kes$realtostr(nullptr, 1.0);
  Kes$longtostr(nullptr, 1);
  // A pair filled by the string stack's loadstr is freed the same way.
  Kes$loadstr(&pair, "OWL", 3);
  ASSERT_NE(pair.pointer, nullptr);
  Kes$freestr(&pair);
  EXPECT_EQ(pair.pointer, nullptr);
  EXPECT_EQ(pair.length, 0u);
}

// A REAL (double) or LONG (int) stored through a picture into a field of `length` bytes.
template <typename Value>
std::string stored(std::uint32_t length, const char* picture, Value value) {
  std::string destination(length + 1, '#');
  if constexpr (std::is_same_v<Value, double>) {
    Kes$pictstorereal(destination.data(), length, picture, value);
  } else {
    Kes$pictstorelong(destination.data(), length, picture, value);
  }
  EXPECT_EQ(destination.back(), '#');  // nothing beyond the field
  destination.pop_back();
  return destination;
}

TEST(PictureStore, FormatsIntoFixedField) {
  EXPECT_EQ(stored(9, "@N9.2", 1234.5), " 1,234.50");
  EXPECT_EQ(stored(9, "@N9.2", 1234), " 1,234.00");
  EXPECT_EQ(stored(9, "@N9.2B", 0), "         ");
  EXPECT_EQ(stored(9, "@N9.2", -5.0), "     5.00");  // no sign position
  EXPECT_EQ(stored(12, "@N-9.2", -5.0), "    -5.00   ");
  Kes$pictstorereal(nullptr, 9, "@N9.2", 1.0);  // no destination: nothing taken
  Kes$pictstorelong(nullptr, 9, "@N9.2", 1);
  EXPECT_EQ(stored(3, "@N3", 7), "  7");
  // A REAL keeps every digit it holds: more than six places, and small exponents.
  EXPECT_EQ(stored(15, "@N15.8", 0.123456789), "     0.12345679");
  EXPECT_EQ(stored(12, "@E12.3", 1.5e-9), "  1.500E-009");
  EXPECT_EQ(stored(12, "@N-12.8", -0.00000025), " -0.00000025");
}

TEST(PictureStore, ValuesThatDoNotFitShowNoDigitsAndStayInsideTheField) {
  for (double value : {1e300, -1e300, 12345678.0}) {
    SCOPED_TRACE(value);
    const std::string shown = stored(9, "@N9.2", value);
    EXPECT_EQ(shown.find_first_of("0123456789"), std::string::npos);
    EXPECT_NE(shown.find('#'), std::string::npos);
  }
  EXPECT_EQ(stored(9, "@N9.2", 12345678).find_first_of("0123456789"), std::string::npos);
  for (double value :
       {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
    EXPECT_EQ(stored(9, "@N9.2", value).size(), 9u);  // the helper checks the byte after
  }
}

struct LoadCase {
  const char* name;
  std::string_view text;
  const char* picture;
  double real;
  std::int32_t whole;
};
const LoadCase kLoadCases[] = {
    {"GroupedThroughPicture", " 1,234.50", "@N9.2", 1234.5, 1234},
    {"ParenthesesNegative", "(12)", "@N(5)", -12.0, -12},
    {"NoPicturePassesText", "  12.75", nullptr, 12.75, 12},
    {"NoPictureNegative", "-42", nullptr, -42.0, -42},
    {"NoPictureDropsOtherCharacters", "3.5kg", nullptr, 3.5, 3},
    {"NoPictureKeepsOnlyNumberCharacters", "1 2a3", nullptr, 123.0, 123},
    {"NoPictureDropsParentheses", "(12)", nullptr, 12.0, 12},
    {"NoPictureNoNumber", "owl", nullptr, 0.0, 0},
    {"NoPictureEmpty", "", nullptr, 0.0, 0},
    {"LongSaturatesHigh", "99999999999", nullptr, 99999999999.0, 2147483647},
    {"LongSaturatesLow", "-99999999999", nullptr, -99999999999.0,
     std::numeric_limits<std::int32_t>::min()},
    {"Exponent", "1.5E3", nullptr, 1500.0, 1},
    {"ExponentOverflows", "1e999", nullptr, std::numeric_limits<double>::infinity(), 1},
    {"NaNTextHasNoNumber", "nan", nullptr, 0.0, 0},
};

TEST(PictureLoad, DeformatsThenReads) {
  for (const LoadCase& c : kLoadCases) {
    SCOPED_TRACE(c.name);
    const auto length = static_cast<std::uint32_t>(c.text.size());
    EXPECT_EQ(Kes$pictloadreal(c.text.data(), length, c.picture), c.real);
    EXPECT_EQ(Kes$pictloadlong(c.text.data(), length, c.picture), c.whole);
  }
}

TEST(PictureLoad, NoPictureReadsOnlyWithinTheStringPictureWidthAndNullReadsZero) {
  std::string text = "  7";
  text.append(400, ' ');
  EXPECT_EQ(Kes$pictloadlong(text.data(), static_cast<std::uint32_t>(text.size()), nullptr), 7);
  const std::string late = std::string(300, ' ') + "5";
  EXPECT_EQ(Kes$pictloadlong(late.data(), static_cast<std::uint32_t>(late.size()), nullptr), 0);
  EXPECT_EQ(Kes$pictloadreal(nullptr, 5, nullptr), 0.0);
  EXPECT_EQ(Kes$pictloadlong(nullptr, 5, "@N5"), 0);
}

using Bytes4 = std::array<std::uint8_t, 4>;
using Bytes8 = std::array<std::uint8_t, 8>;

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

TEST(StoreRealAsDecimal, RoundsAndPacksOrWritesNothing) {
  for (const PackedCase& c : kPackedCases) {
    SCOPED_TRACE(c.name);
    Bytes3 decimal{0xEE, 0xEE, 0xEE};
    Kes$storedec(decimal.data(), 3, 2, c.value);
    EXPECT_EQ(decimal, c.decimal);
    Bytes3 pdecimal{0xEE, 0xEE, 0xEE};
    Kes$pstoredec(pdecimal.data(), 3, 2, c.value);
    EXPECT_EQ(pdecimal, c.pdecimal);
  }
  // A missing or empty field: nothing written, zero read.
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

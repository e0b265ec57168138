// REALs and LONGs as texts: heap texts and their release, and texts through pictures (with the
// string picture a missing picture stands for).
#include "numeric/storage/storage.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include <kestrel/storage.h>
#include <kestrel/string_stack.h>

#include <gtest/gtest.h>

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

TEST(HeapText, OneAllocationPerTextAndAFailedOneLeavesThePairEmpty) {
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
}

TEST(HeapText, FreeingEmptyOrNullPairIsHarmless) {
  KesTextPair pair{nullptr, 0};
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

std::string stored_real(std::uint32_t length, const char* picture, double value) {
  std::string destination(length + 1, '#');
  Kes$pictstorereal(destination.data(), length, picture, value);
  EXPECT_EQ(destination.back(), '#');  // nothing beyond the field
  destination.pop_back();
  return destination;
}

std::string stored_long(std::uint32_t length, const char* picture, std::int32_t value) {
  std::string destination(length + 1, '#');
  Kes$pictstorelong(destination.data(), length, picture, value);
  EXPECT_EQ(destination.back(), '#');
  destination.pop_back();
  return destination;
}

TEST(PictureStore, FormatsIntoFixedField) {
  EXPECT_EQ(stored_real(9, "@N9.2", 1234.5), " 1,234.50");
  EXPECT_EQ(stored_long(9, "@N9.2", 1234), " 1,234.00");
  EXPECT_EQ(stored_long(9, "@N9.2B", 0), "         ");
  EXPECT_EQ(stored_real(9, "@N9.2", -5.0), "     5.00");  // no sign position
  EXPECT_EQ(stored_real(12, "@N-9.2", -5.0), "    -5.00   ");
  Kes$pictstorereal(nullptr, 9, "@N9.2", 1.0);  // no destination: nothing taken
  Kes$pictstorelong(nullptr, 9, "@N9.2", 1);
  EXPECT_EQ(stored_long(3, "@N3", 7), "  7");
}

// A REAL keeps every digit it holds: more than six places, and small exponents.
TEST(PictureStore, RealsKeepTheirDigits) {
  EXPECT_EQ(stored_real(15, "@N15.8", 0.123456789), "     0.12345679");
  EXPECT_EQ(stored_real(12, "@E12.3", 1.5e-9), "  1.500E-009");
  EXPECT_EQ(stored_real(12, "@N-12.8", -0.00000025), " -0.00000025");
}

TEST(PictureStore, ValuesThatDoNotFitShowNoDigitsAndStayInsideTheField) {
  for (double value : {1e300, -1e300, 12345678.0}) {
    SCOPED_TRACE(value);
    const std::string shown = stored_real(9, "@N9.2", value);
    EXPECT_EQ(shown.find_first_of("0123456789"), std::string::npos);
    EXPECT_NE(shown.find('#'), std::string::npos);
  }
  EXPECT_EQ(stored_long(9, "@N9.2", 12345678).find_first_of("0123456789"), std::string::npos);
  for (double value :
       {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
    EXPECT_EQ(stored_real(9, "@N9.2", value).size(), 9u);  // the helper checks the byte after
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

}  // namespace
}  // namespace kes::numeric

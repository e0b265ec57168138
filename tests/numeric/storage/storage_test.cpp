// Heap texts of REALs and LONGs, and their release.
#include "numeric/storage/storage.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <string_view>

#include <kestrel/storage.h>
#include <kestrel/string_stack.h>

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace kes::numeric

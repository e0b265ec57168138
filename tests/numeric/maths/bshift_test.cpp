// BSHIFT on LONGs.
#include "numeric/maths/bshift.h"

#include <cstdint>
#include <limits>

#include <kestrel/maths.h>

#include <gtest/gtest.h>

namespace kes::numeric {
namespace {

constexpr std::int32_t kLongMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kLongMax = std::numeric_limits<std::int32_t>::max();

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

// The local clock with its per-process offset, and the monotonic clock.
#include "platform/clock/clock.h"

#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "platform/clock/sleep.h"

namespace kes::platform {
namespace {

class PlatformClockTest : public testing::Test {
 protected:
  void SetUp() override { reset_local_time_offset(); }
  void TearDown() override {
    release_local_time();
    reset_local_time_offset();
  }
};

void expect_time(const LocalTime& actual, const LocalTime& expected) {
  const auto fields = [](const LocalTime& t) {
    return std::vector<int>{t.year, t.month, t.day, t.hour, t.minute, t.second, t.hundredths};
  };
  EXPECT_EQ(fields(actual), fields(expected));
}

struct SetDateCase {
  const char* name;
  std::int32_t year;
  unsigned month;
  unsigned day;
  bool accepted;
};
constexpr SetDateCase kSetDates[] = {
    {"LeapDay", 2024, 2, 29, true},      {"FirstDay", 1801, 1, 1, true},
    {"LastDay", 9999, 12, 31, true},     {"Feb29thInCommonYear", 2023, 2, 29, false},
    {"Feb29th1900", 1900, 2, 29, false}, {"Month0", 2024, 0, 1, false},
    {"Month13", 2024, 13, 1, false},     {"Day0", 2024, 1, 0, false},
    {"April31st", 2024, 4, 31, false},
};

// Each row fixes the time first: a refused date reads that fixed time back unchanged.
TEST_F(PlatformClockTest, SetLocalDateKeepsTimeOfDay) {
  for (const SetDateCase& c : kSetDates) {
    SCOPED_TRACE(c.name);
    reset_local_time_offset();
    fix_local_time({2000, 6, 15, 13, 45, 30, 50});
    EXPECT_EQ(set_local_date(c.year, c.month, c.day), c.accepted);
    if (c.accepted) {
      expect_time(local_time(), {c.year, static_cast<std::uint8_t>(c.month),
                                 static_cast<std::uint8_t>(c.day), 13, 45, 30, 50});
    } else {
      expect_time(local_time(), {2000, 6, 15, 13, 45, 30, 50});
    }
  }
}

TEST_F(PlatformClockTest, OffsetFollowsTheUnderlyingClock) {
  fix_local_time({2000, 6, 15, 23, 0, 0, 0});
  ASSERT_TRUE(set_local_date(2024, 12, 31));
  // An hour later on the host the shown date passes midnight into the new year.
  fix_local_time({2000, 6, 16, 0, 0, 0, 0});
  expect_time(local_time(), {2025, 1, 1, 0, 0, 0, 0});
}

TEST_F(PlatformClockTest, SetTimeOfDayKeepsDate) {
  fix_local_time({2024, 3, 1, 0, 0, 0, 0});
  ASSERT_TRUE(set_local_time_of_day(23, 59, 59, 99));
  expect_time(local_time(), {2024, 3, 1, 23, 59, 59, 99});
  ASSERT_TRUE(set_local_time_of_day(0, 0, 0, 0));
  expect_time(local_time(), {2024, 3, 1, 0, 0, 0, 0});
  EXPECT_FALSE(set_local_time_of_day(24, 0, 0, 0));
  EXPECT_FALSE(set_local_time_of_day(0, 60, 0, 0));
  EXPECT_FALSE(set_local_time_of_day(0, 0, 60, 0));
  EXPECT_FALSE(set_local_time_of_day(0, 0, 0, 100));
  expect_time(local_time(), {2024, 3, 1, 0, 0, 0, 0});
}

TEST_F(PlatformClockTest, HostTimeIsPlausibleAndOffsetMovesIt) {
  const LocalTime host = local_time();
  EXPECT_GE(host.year, 2020);
  EXPECT_GE(host.month, 1);
  EXPECT_LE(host.month, 12);
  EXPECT_LE(host.hour, 23);
  ASSERT_TRUE(set_local_date(1850, 7, 4));
  const LocalTime moved = local_time();
  EXPECT_EQ(moved.year, 1850);
  EXPECT_EQ(moved.month, 7);
  // The date can pass midnight between the two reads, never more.
  EXPECT_TRUE(moved.day == 4 || moved.day == 5);
  reset_local_time_offset();
  EXPECT_GE(local_time().year, 2020);
}

TEST(PlatformMonotonicClock, AdvancesWithSleep) {
  const std::int64_t before = monotonic_hundredths();
  EXPECT_GE(before, 0);
  sleep_milliseconds(50);
  const std::int64_t after = monotonic_hundredths();
  EXPECT_GE(after - before, 4);  // 50 ms is five ticks; the first may be partly gone
  EXPECT_LT(after - before, 100);
}

TEST(PlatformSleep, ZeroAndNegativeReturnAtOnce) {
  const std::int64_t before = monotonic_hundredths();
  sleep_milliseconds(0);
  sleep_milliseconds(-1);
  sleep_milliseconds(INT32_MIN);
  EXPECT_LE(monotonic_hundredths() - before, 50);  // no wait; slack for a busy host
}

}  // namespace
}  // namespace kes::platform

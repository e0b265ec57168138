// Time values, the local clock, SETCLOCK and DELAY.
#include <cstdint>
#include <limits>

#include <gtest/gtest.h>

#include "numeric/dates/date_calendar.h"
#include "platform/clock/clock.h"
#include "tests/support/processor_time.h"

namespace kes::numeric {
namespace {

constexpr std::int32_t kLongMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kLongMax = std::numeric_limits<std::int32_t>::max();

struct TimeCase {
  const char* name;
  TimeRecord time;
  std::int32_t value;
};
// Every valid record is checked below, value by value; these rows are the ends of the fields.
constexpr TimeCase kTimes[] = {
    {"AllZeroIsNoTime", {0, 0, 0, 0}, 0},
    {"OneHundredth", {0, 0, 0, 1}, 2},
    {"Hour24", {24, 0, 0, 0}, -1},
    {"Minute60", {0, 60, 0, 0}, -1},
    {"Second60", {0, 0, 60, 0}, -1},
    {"Hundredths100", {0, 0, 0, 100}, -1},
    {"AllFields255", {255, 255, 255, 255}, -1},
    {"Hundredths255", {12, 0, 0, 255}, -1},
};

TEST(SerialTimeFromRecord, Table) {
  for (const TimeCase& c : kTimes) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(time_from_record(c.time), c.value);
  }
}

TEST(SerialTimeToRecord, OutOfRangeZeroesRecord) {
  constexpr std::int32_t kOutside[] = {kLongMin, -1, 0, 8640001, kLongMax};
  for (std::int32_t value : kOutside) {
    SCOPED_TRACE(value);
    TimeRecord time{1, 2, 3, 4};
    EXPECT_FALSE(time_to_record(value, time));
    EXPECT_EQ(time.hour, 0);
    EXPECT_EQ(time.minute, 0);
    EXPECT_EQ(time.second, 0);
    EXPECT_EQ(time.hundredths, 0);
  }
}

// Every time value through its record, counting the hundredths by hand along the way.
TEST(SerialTimeToRecord, EveryValueInOrder) {
  TimeRecord expected{0, 0, 0, 0};
  int mismatches = 0;
  for (std::int32_t value = 1; value <= kLastTimeValue; ++value) {
    TimeRecord time{};
    const bool same = time_to_record(value, time) && time.hour == expected.hour &&
                      time.minute == expected.minute && time.second == expected.second &&
                      time.hundredths == expected.hundredths &&
                      // midnight's all-zero record reads back as "no time"
                      time_from_record(time) == (value == 1 ? 0 : value);
    if (!same && ++mismatches <= 5) ADD_FAILURE() << "value " << value;
    // Advance the odometer.
    if (++expected.hundredths == 100) {
      expected.hundredths = 0;
      if (++expected.second == 60) {
        expected.second = 0;
        if (++expected.minute == 60) {
          expected.minute = 0;
          ++expected.hour;
        }
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
  EXPECT_EQ(expected.hour, 24);
}

class SerialTimeClockTest : public testing::Test {
 protected:
  void SetUp() override {
    platform::reset_local_time_offset();
    platform::fix_local_time({2024, 1, 5, 10, 30, 15, 25});
  }
  void TearDown() override {
    platform::release_local_time();
    platform::reset_local_time_offset();
  }
};

TEST_F(SerialTimeClockTest, ClockReadsLocalTime) {
  EXPECT_EQ(clock_time_value(), 3781526);  // 10 h, 30 min, 15.25 s, plus one
  platform::fix_local_time({2024, 1, 5, 23, 59, 59, 99});
  EXPECT_EQ(clock_time_value(), 8640000);
  platform::fix_local_time({2024, 1, 5, 0, 0, 0, 0});  // exact midnight
  EXPECT_EQ(clock_time_value(), 0);
  platform::fix_local_time({2024, 1, 5, 0, 0, 0, 1});
  EXPECT_EQ(clock_time_value(), 2);
}

TEST_F(SerialTimeClockTest, SetClockTakesValidValuesAndKeepsDate) {
  for (std::int32_t value : {kLongMin, -1, 0, 8640001, kLongMax}) {
    SCOPED_TRACE(value);
    EXPECT_FALSE(set_clock(value));
    EXPECT_EQ(clock_time_value(), 3781526);
  }
  ASSERT_TRUE(set_today(4));
  for (std::int32_t value : {4320001, 2, 8640000}) {
    SCOPED_TRACE(value);
    ASSERT_TRUE(set_clock(value));
    EXPECT_EQ(clock_time_value(), value);
    EXPECT_EQ(today_serial(), 4);
  }
}

TEST(SerialTimeDelay, WaitsTheTicksWithoutSpinning) {
  const double processor_before = test::processor_seconds();
  const std::int64_t before = platform::monotonic_hundredths();
  delay(300);  // 30 hundredths
  const std::int64_t waited = platform::monotonic_hundredths() - before;
  const double processor_used = test::processor_seconds() - processor_before;
  EXPECT_GE(waited, 30);
  EXPECT_LT(waited, 200);          // generous: the machine may be busy
  EXPECT_LT(processor_used, 0.1);  // a busy wait would use about 0.3 s
}

TEST(SerialTimeDelay, ShortAndNegativeReturnAtOnce) {
  constexpr std::int32_t kImmediate[] = {kLongMin, -1000, 0, 9};
  for (std::int32_t milliseconds : kImmediate) {
    SCOPED_TRACE(milliseconds);
    const std::int64_t before = platform::monotonic_hundredths();
    delay(milliseconds);
    EXPECT_LE(platform::monotonic_hundredths() - before, 50);  // no wait; slack for a busy host
  }
}

}  // namespace
}  // namespace kes::numeric

// The date and time exports called as compiled code calls them.
#include <cstdint>
#include <cstring>
#include <string>

#include <kestrel/dates.h>

#include <gtest/gtest.h>

#include "numeric/dates/date_calendar.h"
#include "platform/clock/clock.h"
#include "runtime/stack/string_stack.h"

namespace {

namespace platform = kes::platform;

constexpr std::int32_t kJan5th2024 = 81457;

class DateExportsTest : public testing::Test {
 protected:
  void SetUp() override {
    platform::reset_local_time_offset();
    platform::fix_local_time({2024, 1, 5, 10, 30, 15, 25});
    kes::numeric::forget_current_year();
  }
  void TearDown() override {
    platform::release_local_time();
    platform::reset_local_time_offset();
    kes::numeric::forget_current_year();
  }
};

TEST_F(DateExportsTest, RecordsRoundTripAndLeavePaddingAlone) {
  // A record laid out by the program, followed by bytes that belong to something else.
  alignas(KesDateRecord) unsigned char storage[sizeof(KesDateRecord)];
  std::memset(storage, 0xAA, sizeof storage);
  auto* record = reinterpret_cast<KesDateRecord*>(storage);
  EXPECT_EQ(Kes$abs2date(kJan5th2024, record), 0);
  EXPECT_EQ(record->year, 2024);
  EXPECT_EQ(record->month, 1);
  EXPECT_EQ(record->day, 5);
  EXPECT_EQ(Kes$date2abs(record), kJan5th2024);
  EXPECT_EQ(Kes$abs2date(3, record), -1);
  EXPECT_EQ(record->year, 0);
  EXPECT_EQ(storage[6], 0xAA);
  EXPECT_EQ(storage[7], 0xAA);
  EXPECT_EQ(Kes$date2abs(record), -1);

  KesTimeRecord time{12, 0, 0, 0};
  EXPECT_EQ(Kes$time2abs(&time), 4320001);
  EXPECT_EQ(Kes$abs2time(8640000, &time), 0);
  EXPECT_EQ(time.hour, 23);
  EXPECT_EQ(time.hundredths, 99);
  EXPECT_EQ(Kes$abs2time(8640001, &time), -1);
  EXPECT_EQ(Kes$time2abs(&time), 0);  // zeroed: no time

  EXPECT_EQ(Kes$date2abs(nullptr), -1);
  EXPECT_EQ(Kes$abs2date(kJan5th2024, nullptr), -1);
  EXPECT_EQ(Kes$time2abs(nullptr), -1);
  EXPECT_EQ(Kes$abs2time(1, nullptr), -1);
}

TEST_F(DateExportsTest, BuiltinsAndRecordManagerLayouts) {
  EXPECT_EQ(Kes$DATE(13, 1, 2023), 81453);
  EXPECT_EQ(Kes$DATE(0, 1, 2024), -1);
  EXPECT_EQ(Kes$YEAR(kJan5th2024), 2024);
  EXPECT_EQ(Kes$MONTH(kJan5th2024), 1);
  EXPECT_EQ(Kes$DAY(kJan5th2024), 5);
  // Day 05h, month 01h, then the year 07E8h low byte first.
  EXPECT_EQ(Kes$storebtdate(kJan5th2024), 0x07E80105u);
  EXPECT_EQ(Kes$loadbtdate(0x07E80105u), kJan5th2024);
  EXPECT_EQ(Kes$storebttime(3781526), 0x0A1E0F19u);  // 10:30:15.25, hours in the high byte
  EXPECT_EQ(Kes$loadbttime(0x0A1E0F19u), 3781526);
}

TEST_F(DateExportsTest, TodayAndClockWithTheirSetters) {
  EXPECT_EQ(Kes$TODAY(), kJan5th2024);
  EXPECT_EQ(Kes$CLOCK(), 3781526);
  Kes$SETTODAY(36163);  // 1 January 1900
  Kes$SETCLOCK(4320001);
  Kes$SETTODAY(0);  // ignored
  Kes$SETCLOCK(0);
  EXPECT_EQ(Kes$TODAY(), 36163);
  EXPECT_EQ(Kes$CLOCK(), 4320001);
}

TEST_F(DateExportsTest, AgePushesItsText) {
  const int depth = kes::runtime::string_stack_depth();
  Kes$StackAGE(81453, 81498);  // 1 January to 15 February 2024
  EXPECT_EQ(std::string(kes::runtime::top_text()), "45 DAYS");
  kes::runtime::pop_discard();
  Kes$StackAGE(81453, -1);  // today is 5 January 2024
  EXPECT_EQ(std::string(kes::runtime::top_text()), "4 DAYS");
  kes::runtime::pop_discard();
  EXPECT_EQ(kes::runtime::string_stack_depth(), depth);
}

TEST_F(DateExportsTest, DelayReturnsForNegative) {
  const std::int64_t before = platform::monotonic_hundredths();
  Kes$DELAY(-1);
  Kes$DELAY(20);
  EXPECT_GE(platform::monotonic_hundredths() - before, 2);
}

}  // namespace

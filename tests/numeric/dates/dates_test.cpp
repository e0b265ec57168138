// Serial days and time values, DATE's roll-overs, the field accessors, two-digit years, the local
// date and clock, DELAY, AGE's texts, the record manager's four-byte fields and the exports
// compiled code calls.
#include <array>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include <kestrel/dates.h>

#include <gtest/gtest.h>

#include "numeric/dates/age.h"
#include "numeric/dates/date_calendar.h"
#include "numeric/dates/date_file_layout.h"
#include "platform/clock/clock.h"
#include "platform/core/heap.h"
#include "runtime/stack/string_stack.h"
#include "tests/support/processor_time.h"
#include "tests/support/stack_helpers.h"

namespace kes::numeric {
namespace {

constexpr std::int32_t kLongMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kLongMax = std::numeric_limits<std::int32_t>::max();

// Serials worked out by hand: 199 years of 365 days and 48 leap days lie between 1 January 1801
// (day 4) and 1 January 2000; 24 years with 6 leap days between 2000 and 2024.
constexpr std::int32_t kJan1st2000 = 72687;
constexpr std::int32_t kJan1st2023 = 81088;
constexpr std::int32_t kJan1st2024 = 81453;
constexpr std::int32_t kJan5th2024 = kJan1st2024 + 4;

// Fixes "now" and the cached current year for each test, and puts the host's clock back after.
class CalendarTest : public testing::Test {
 protected:
  void SetUp() override { fix_now(2024, 1, 5); }
  void TearDown() override {
    platform::release_local_time();
    platform::reset_local_time_offset();
    forget_current_year();
  }
  static void fix_now(std::int32_t year, std::uint8_t month, std::uint8_t day) {
    platform::reset_local_time_offset();
    platform::fix_local_time({year, month, day, 10, 30, 15, 25});
    forget_current_year();
  }
};

struct DateCase {
  const char* name;
  std::int32_t year;
  std::uint8_t month;
  std::uint8_t day;
  std::int32_t serial;
};
// Valid dates are all checked against the standard calendar below; these rows are the invalid
// ones and the two-digit years.
constexpr DateCase kDates[] = {
    {"Feb29th1900NotLeap", 1900, 2, 29, -1},
    {"Feb29th2100NotLeap", 2100, 2, 29, -1},
    {"Feb30th2024", 2024, 2, 30, -1},
    {"Feb29thOfTwoDigitLeapYear", 24, 2, 29, kJan1st2024 + 59},
    {"YearBeforeRange", 1800, 12, 31, -1},
    {"YearAfterRange", 10000, 1, 1, -1},
    {"MonthZero", 2024, 0, 1, -1},
    {"MonthThirteen", 2024, 13, 1, -1},
    {"DayZero", 2024, 1, 0, -1},
    {"April31st", 2024, 4, 31, -1},
    {"YearMaximum", kLongMax, 1, 1, -1},
    {"YearMinimum", kLongMin, 1, 1, -1},
    {"TwoDigitYearExpanded", 24, 1, 5, kJan1st2024 + 4},
    {"TwoDigitYear99IsLastCentury", 99, 12, 31, kJan1st2000 - 1},
};

TEST_F(CalendarTest, SerialFromDate) {
  for (const DateCase& c : kDates) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(serial_from_date(DateRecord{c.year, c.day, c.month}), c.serial);
  }
}

// Every serial in range against the standard library's calendar, an independent implementation:
// the split into fields, the field accessors, the way back and the stored four-byte field.
TEST_F(CalendarTest, EverySerialAgreesWithStandardCalendar) {
  using namespace std::chrono;
  const sys_days first_day = sys_days{year{1801} / January / 1};
  int mismatches = 0;
  for (std::int32_t serial = kFirstSerialDay; serial <= kLastSerialDay; ++serial) {
    const year_month_day expected{first_day + days{serial - kFirstSerialDay}};
    DateRecord date{};
    const bool split = date_from_serial(serial, date);
    const bool same = split && date.year == static_cast<int>(expected.year()) &&
                      date.month == static_cast<unsigned>(expected.month()) &&
                      date.day == static_cast<unsigned>(expected.day()) &&
                      serial_from_date(date) == serial && year_of_serial(serial) == date.year &&
                      month_of_serial(serial) == date.month && day_of_serial(serial) == date.day &&
                      load_file_date(store_file_date(serial)) == serial;
    if (!same && ++mismatches <= 5) ADD_FAILURE() << "serial " << serial;
  }
  EXPECT_EQ(mismatches, 0);
  EXPECT_EQ(static_cast<int>(year_month_day{first_day + days{kLastSerialDay - 4}}.year()), 9999);
}

TEST_F(CalendarTest, DateFromSerialOutOfRangeZeroesRecord) {
  constexpr std::int32_t kOutside[] = {kLongMin, -1, 0, 1, 3, 2994627, kLongMax};
  for (std::int32_t serial : kOutside) {
    SCOPED_TRACE(serial);
    DateRecord date{2024, 5, 1};
    EXPECT_FALSE(date_from_serial(serial, date));
    EXPECT_EQ(date.year, 0);
    EXPECT_EQ(date.month, 0);
    EXPECT_EQ(date.day, 0);
    EXPECT_EQ(year_of_serial(serial), 0);
    EXPECT_EQ(month_of_serial(serial), 0);
    EXPECT_EQ(day_of_serial(serial), 0);
  }
}

struct FieldsCase {
  const char* name;
  std::int32_t month;
  std::int32_t day;
  std::int32_t year;
  std::int32_t serial;
};
constexpr FieldsCase kDateCalls[] = {
    {"Feb30thRollsToMar2nd", 2, 30, 2023, kJan1st2023 + 31 + 28 + 1},
    {"Month13IsNextJanuary", 13, 1, 2023, kJan1st2024},
    {"Day0IsLastOfPreviousMonth", 1, 0, 2024, kJan1st2024 - 1},
    {"Day0OfMarchInLeapYear", 3, 0, 2024, kJan1st2024 + 59},
    {"NegativeDayRollsBack", 3, -27, 2024, kJan1st2024 + 32},
    {"Day367IsNextYear", 1, 367, 2024, kJan1st2024 + 366},
    {"Month0Invalid", 0, 1, 2024, -1},
    {"MonthMinimumInvalid", kLongMin, 1, 2024, -1},
    {"MonthMaximumYearTooLate", kLongMax, 1, 2024, -1},
    {"FirstDay", 1, 1, 1801, 4},
    {"DayBeforeFirstDay", 1, 0, 1801, -1},
    {"LastDay", 12, 31, 9999, 2994626},
    {"DayAfterLastDay", 12, 32, 9999, -1},
    {"YearAfterRange", 1, 1, 10000, -1},
    {"DayMaximum", 1, kLongMax, 2024, -1},
    {"DayMinimum", 1, kLongMin, 2024, -1},
    {"YearMaximum", 1, 1, kLongMax, -1},
    {"YearMinimum", 1, 1, kLongMin, -1},
    {"TwoDigitYear", 1, 1, 24, kJan1st2024},
    {"TwoDigitYearThenMonthRoll", 13, 1, 99, kJan1st2000},
};

TEST_F(CalendarTest, SerialFromFieldsRollsOver) {
  for (const FieldsCase& c : kDateCalls) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(serial_from_fields(c.month, c.day, c.year), c.serial);
  }
}

struct WindowCase {
  const char* name;
  std::int32_t current_year;
  int window;
  std::int32_t year;
  std::int32_t expanded;
};
constexpr WindowCase kWindows[] = {
    {"In2024Year44IsLastCentury", 2024, 80, 44, 1944},
    {"In2024Year43IsThisCentury", 2024, 80, 43, 2043},
    {"In2090Year10StaysBehind", 2090, 80, 10, 2010},
    {"In2090Year9GoesAhead", 2090, 80, 9, 2109},
    {"In2001Year21IsLastCentury", 2001, 80, 21, 1921},
    {"In1999Year19StaysBehind", 1999, 80, 19, 1919},
    {"In1999Year18GoesAhead", 1999, 80, 18, 2018},
    {"Window50Year74", 2024, 50, 74, 1974},
    {"Window50Year73", 2024, 50, 73, 2073},
    {"HundredNotExpanded", 2024, 80, 100, 100},
    {"FullYearNotExpanded", 2024, 80, 1850, 1850},
    {"NegativeYearCountsBackFromCentury", 2024, 80, -5, 1995},
    {"NegativeYearPastWindowGoesAhead", 2024, 80, -57, 2043},
    {"YearMinimumStaysInvalid", 2024, 80, kLongMin, kLongMin + 2100},
};

TEST_F(CalendarTest, TwoDigitYearsFollowCurrentYearFromClockOffset) {
  for (const WindowCase& c : kWindows) {
    SCOPED_TRACE(c.name);
    platform::release_local_time();
    platform::reset_local_time_offset();
    // "Today" moved through SETTODAY's offset, then the cache read afresh.
    ASSERT_TRUE(set_today(serial_from_fields(6, 15, c.current_year)));
    forget_current_year();
    EXPECT_EQ(expand_two_digit_year(c.year, c.window), c.expanded);
  }
}

TEST_F(CalendarTest, CurrentYearIsReadOnceAndKept) {
  EXPECT_EQ(expand_two_digit_year(44), 1944);  // reads 2024
  fix_now(2090, 1, 1);
  forget_current_year();
  EXPECT_EQ(expand_two_digit_year(9), 2109);  // reads 2090
  platform::fix_local_time({2024, 1, 1, 0, 0, 0, 0});
  ASSERT_EQ(today_serial(), kJan1st2024);
  // The cache still holds 2090 although "today" is in 2024 again.
  EXPECT_EQ(expand_two_digit_year(9), 2109);
}

TEST_F(CalendarTest, SetTodayTakesValidSerialsOnly) {
  EXPECT_EQ(today_serial(), kJan1st2024 + 4);
  constexpr std::int32_t kInvalid[] = {kLongMin, -1, 0, 3, 2994627, kLongMax};
  for (std::int32_t serial : kInvalid) {
    SCOPED_TRACE(serial);
    EXPECT_FALSE(set_today(serial));
    EXPECT_EQ(today_serial(), kJan1st2024 + 4);
  }
  ASSERT_TRUE(set_today(4));
  EXPECT_EQ(today_serial(), 4);
  EXPECT_EQ(clock_time_value(), 3781526);  // 10:30:15.25 goes on
  ASSERT_TRUE(set_today(2994626));
  EXPECT_EQ(today_serial(), 2994626);
  platform::fix_local_time({10000, 1, 1, 0, 0, 0, 0});
  EXPECT_EQ(today_serial(), 0);  // a clock beyond the calendar reads as no date
}

// Bytes as they lie in the file, first byte first.
constexpr std::uint32_t bytes(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3) {
  return std::uint32_t{b0} | std::uint32_t{b1} << 8 | std::uint32_t{b2} << 16 |
         std::uint32_t{b3} << 24;
}

struct StoreDateCase {
  const char* name;
  std::int32_t serial;
  std::uint32_t stored;
};
constexpr StoreDateCase kDateStores[] = {
    {"Jan5th2024", kJan5th2024, bytes(0x05, 0x01, 0xE8, 0x07)},
    {"FirstDay", 4, bytes(1, 1, 0x09, 0x07)},         // 1801 = 0709h
    {"LastDay", 2994626, bytes(31, 12, 0x0F, 0x27)},  // 9999 = 270Fh
    {"NoDate", 0, 0},
    {"BelowRange", 3, 0},
    {"AboveRange", 2994627, 0},
    {"Negative", std::numeric_limits<std::int32_t>::min(), 0},
};

TEST_F(CalendarTest, StoreDate) {
  for (const StoreDateCase& c : kDateStores) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(store_file_date(c.serial), c.stored);
  }
}

struct LoadDateCase {
  const char* name;
  std::uint32_t stored;
  std::int32_t serial;
};
constexpr LoadDateCase kDateLoads[] = {
    {"AllZeroIsNoDate", 0, 0},
    {"Year10000IsLastDay", bytes(1, 1, 0x10, 0x27), 2994626},
    {"YearFFFFIsLastDay", bytes(0, 0, 0xFF, 0xFF), 2994626},
    {"Month13RollsIntoNextYear", bytes(1, 13, 0xE7, 0x07), kJan5th2024 - 4},  // 13/1/2023
    {"Day0IsLastOfPreviousMonth", bytes(0, 1, 0xD0, 0x07), kJan1st2000 - 1},
    {"Day255RollsOver", bytes(255, 1, 0xD0, 0x07), kJan1st2000 + 254},
    {"Month0IsNoDate", bytes(1, 0, 0xE8, 0x07), 0},
    {"Year1800IsNoDate", bytes(1, 1, 0x08, 0x07), 0},
    {"TwoDigitYearExpanded", bytes(5, 1, 24, 0), kJan5th2024},
};

TEST_F(CalendarTest, LoadDate) {
  for (const LoadDateCase& c : kDateLoads) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(load_file_date(c.stored), c.serial);
  }
}

struct TimeLayoutCase {
  const char* name;
  std::int32_t value;
  std::uint32_t stored;
};
constexpr TimeLayoutCase kTimeStores[] = {
    {"Midnight", 1, 0},
    {"OneHundredth", 2, bytes(1, 0, 0, 0)},
    {"Noon", 4320001, bytes(0, 0, 0, 12)},
    {"LastHundredth", 8640000, bytes(99, 59, 59, 23)},
    {"TenThirtyFifteenQuarter", 3781526, bytes(25, 15, 30, 10)},
};

TEST(DateFileLayoutTime, StoreAndLoadOrGiveNoTime) {
  for (const TimeLayoutCase& c : kTimeStores) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(store_file_time(c.value), c.stored);
    // Midnight stores as four zero bytes, which read back as "no time".
    EXPECT_EQ(load_file_time(c.stored), c.value == 1 ? 0 : c.value);
  }
  // Invalid values and fields give no time.
  for (std::int32_t value : {std::numeric_limits<std::int32_t>::min(), -1, 0, 8640001}) {
    SCOPED_TRACE(value);
    EXPECT_EQ(store_file_time(value), 0u);
  }
  for (std::uint32_t stored : {bytes(255, 255, 255, 255), bytes(0, 0, 0, 24), bytes(0, 0, 60, 0),
                               bytes(0, 60, 0, 0), bytes(100, 0, 0, 0)}) {
    SCOPED_TRACE(stored);
    EXPECT_EQ(load_file_time(stored), 0);
  }
}

TEST_F(CalendarTest, RecordsRoundTripAndLeavePaddingAlone) {
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

TEST_F(CalendarTest, BuiltinsRecordManagerLayoutsTodayAndClock) {
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
  EXPECT_EQ(Kes$TODAY(), kJan5th2024);
  EXPECT_EQ(Kes$CLOCK(), 3781526);
  Kes$SETTODAY(36163);  // 1 January 1900
  Kes$SETCLOCK(4320001);
  Kes$SETTODAY(0);  // ignored
  Kes$SETCLOCK(0);
  EXPECT_EQ(Kes$TODAY(), 36163);
  EXPECT_EQ(Kes$CLOCK(), 4320001);
}

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

TEST(SerialTimeRecord, FieldEndsAndValuesOutOfRange) {
  for (const TimeCase& c : kTimes) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(time_from_record(c.time), c.value);
  }
  // Values out of range zero the record.
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

TEST_F(CalendarTest, ClockReadsLocalTimeAndSetClockKeepsTheDate) {
  EXPECT_EQ(clock_time_value(), 3781526);  // 10 h, 30 min, 15.25 s, plus one
  platform::fix_local_time({2024, 1, 5, 23, 59, 59, 99});
  EXPECT_EQ(clock_time_value(), 8640000);
  platform::fix_local_time({2024, 1, 5, 0, 0, 0, 0});  // exact midnight
  EXPECT_EQ(clock_time_value(), 0);
  platform::fix_local_time({2024, 1, 5, 0, 0, 0, 1});
  EXPECT_EQ(clock_time_value(), 2);
  fix_now(2024, 1, 5);  // SETCLOCK takes valid values and keeps the date
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

TEST(SerialTimeDelay, WaitsTheTicksWithoutSpinningOrNotAtAll) {
  const double processor_before = test::processor_seconds();
  const std::int64_t before = platform::monotonic_hundredths();
  Kes$DELAY(300);  // 30 hundredths
  const std::int64_t waited = platform::monotonic_hundredths() - before;
  const double processor_used = test::processor_seconds() - processor_before;
  EXPECT_GE(waited, 30);
  EXPECT_LT(waited, 200);          // generous: the machine may be busy
  EXPECT_LT(processor_used, 0.1);  // a busy wait would use about 0.3 s
  // Short and negative delays return at once (with slack for a busy host).
  for (std::int32_t milliseconds : {kLongMin, -1000, 0, 9}) {
    SCOPED_TRACE(milliseconds);
    const std::int64_t start = platform::monotonic_hundredths();
    Kes$DELAY(milliseconds);
    EXPECT_LE(platform::monotonic_hundredths() - start, 50);
  }
}

// The serial of a date, counted by the standard calendar from 1 January 1801 (day 4).
std::int32_t day(int y, unsigned m, unsigned d) {
  using namespace std::chrono;
  return static_cast<std::int32_t>(
             (sys_days{year{y} / m / d} - sys_days{year{1801} / 1 / 1}).count()) +
         4;
}

const std::string kStars(255, '*');

struct AgeCase {
  const char* name;
  std::int32_t birth;
  std::int32_t base;
  std::string_view text;
};
const AgeCase kAges[] = {
    {"SameDay", day(2024, 1, 1), day(2024, 1, 1), "0 DAYS"},
    {"SixtyDaysStillDays", day(2024, 1, 1), day(2024, 3, 1), "60 DAYS"},
    {"SixtyOneDaysAreMonths", day(2024, 1, 1), day(2024, 3, 2), "2 MOS"},
    {"MonthShortOfBirthDay", day(2024, 1, 31), day(2024, 4, 30), "2 MOS"},
    {"TwentyFourMonthsAndADay", day(2024, 1, 1), day(2026, 1, 2), "24 MOS"},
    {"TwentyFiveMonthsAreYears", day(2024, 1, 1), day(2026, 2, 1), "2 YRS"},
    {"TwentyFiveMonthsLessADay", day(2024, 3, 15), day(2026, 4, 14), "24 MOS"},
    {"MonthBeforeBirthMonth", day(2000, 6, 15), day(2024, 5, 20), "23 YRS"},
    {"DayBeforeBirthday", day(2000, 6, 15), day(2024, 6, 14), "23 YRS"},
    {"Birthday", day(2000, 6, 15), day(2024, 6, 15), "24 YRS"},
    {"WholeRange", 4, 2994626, "8198 YRS"},
    {"BirthAfterBaseTakenCenturyEarlier", day(2024, 6, 1), day(2024, 1, 1), "99 YRS"},
    {"CenturyEarlierDoesNotExist", day(2000, 2, 29), day(1999, 1, 1), kStars},
    {"CenturyEarlierBefore1801", day(1850, 6, 1), day(1820, 1, 1), kStars},
    {"StillAfterBase", day(2120, 1, 1), day(2000, 1, 1), kStars},
    {"BirthNoDate", 0, day(2024, 1, 1), kStars},
    {"BirthAboveRange", 2994627, day(2024, 1, 1), kStars},
    {"BaseNoDate", day(2024, 1, 1), 0, kStars},
    {"BaseBelowRange", day(2024, 1, 1), 3, kStars},
};

TEST(AgeText, Table) {
  for (const AgeCase& c : kAges) {
    SCOPED_TRACE(c.name);
    std::array<char, kAgeTextCapacity> text{};
    const std::size_t length = age_text(c.birth, c.base, text);
    EXPECT_EQ(std::string_view(text.data(), length), c.text);
  }
}

TEST_F(CalendarTest, AgePushesOwnedHeapTextOrEmptyWhenTheHeapFails) {
  Kes$StackAGE(81453, 81498);  // 1 January to 15 February 2024
  EXPECT_EQ(test::pop_top_text(), "45 DAYS");
  Kes$StackAGE(81453, -1);  // today is 5 January 2024
  EXPECT_EQ(test::pop_top_text(), "4 DAYS");
  push_age(day(2024, 1, 1), day(2026, 2, 1));
  ASSERT_EQ(runtime::string_stack_depth(), 1);
  EXPECT_EQ(runtime::entry_from_top(1).kind,
            static_cast<std::uint32_t>(runtime::EntryKind::TextOwned));
  EXPECT_EQ(test::pop_top_text(), "2 YRS");
  platform::heap_fail_nth(1);
  push_age(day(2024, 1, 1), day(2024, 2, 15));
  platform::heap_fail_nth(0);
  ASSERT_EQ(runtime::string_stack_depth(), 1);
  EXPECT_EQ(test::pop_top_text(), "");
}

}  // namespace
}  // namespace kes::numeric

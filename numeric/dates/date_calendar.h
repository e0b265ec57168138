// Serial day numbers and time values, and their conversions to and from calendar fields.
//
// State: the two-digit-year expansion caches the current year, process-wide by nature, at its
// first use (read once from the platform's local date, SETTODAY's offset included, then kept for
// the life of the process). The conversions themselves keep no state: month lengths come from a
// constant table and the leap rule, so concurrent conversions cannot disturb one another.
#pragma once

#include <cstdint>

namespace kes::numeric {

// Day 4 is 1 January 1801; day 2994626 is 31 December 9999; 0 means no date.
inline constexpr std::int32_t kFirstSerialDay = 4;
inline constexpr std::int32_t kLastSerialDay = 2994626;
// Hundredths of a second since midnight plus one; 0 means no time.
inline constexpr std::int32_t kLastTimeValue = 8640000;
// The default two-digit-year window.
inline constexpr int kDefaultCenturyWindow = 80;

// The split form of a date, fields in the order programs lay it out.
struct DateRecord {
  std::int32_t year;
  std::uint8_t day;    // [1, 31]
  std::uint8_t month;  // [1, 12]
};
static_assert(sizeof(DateRecord) == 8);

// The split form of a time.
struct TimeRecord {
  std::uint8_t hour;        // [0, 23]
  std::uint8_t minute;      // [0, 59]
  std::uint8_t second;      // [0, 59]
  std::uint8_t hundredths;  // [0, 99]
};
static_assert(sizeof(TimeRecord) == 4);

// Expands a year below 100 into the hundred years around the current year that `window`
// selects; other years are returned unchanged.
std::int32_t expand_two_digit_year(std::int32_t year, int window = kDefaultCenturyWindow) noexcept;

// The serial of a calendar date (two-digit years expanded with the default window), or -1
// when the date is not a valid day between 1801 and 9999. Defined below, inline: compiled
// programs convert dates in tight loops.
inline std::int32_t serial_from_date(const DateRecord& date) noexcept;

// DATE(month, day, year): months above 12 roll into later years and days roll over month ends
// (day 0 is the last day of the previous month); -1 when invalid or out of range.
std::int32_t serial_from_fields(std::int32_t month, std::int32_t day, std::int32_t year) noexcept;

// Splits a serial; false with the record zeroed when it lies outside 4 to 2994626. Defined
// below, inline.
inline bool date_from_serial(std::int32_t serial, DateRecord& date) noexcept;

// The time value of a time record: 0 when all fields are zero, -1 when a field is out of range.
std::int32_t time_from_record(const TimeRecord& time) noexcept;

// Splits a time value; false with the record zeroed when it lies outside 1 to 8640000.
bool time_to_record(std::int32_t value, TimeRecord& time) noexcept;

// The platform's local date and time of day (with the process's SETTODAY/SETCLOCK offset).
// today_serial is 0 if the host's year lies outside 1801 to 9999. clock_time_value is in
// [1, 8640000]: exactly midnight is 1, a real time and not "no time".
std::int32_t today_serial() noexcept;
std::int32_t clock_time_value() noexcept;

// YEAR, MONTH and DAY of a serial; 0 when the serial lies outside 4 to 2994626.
std::int32_t year_of_serial(std::int32_t serial) noexcept;
std::int32_t month_of_serial(std::int32_t serial) noexcept;
std::int32_t day_of_serial(std::int32_t serial) noexcept;

// SETTODAY: from now on the platform's local date (for this process only) is the serial's date,
// the time of day going on. False, changing nothing, for a serial outside 4 to 2994626.
bool set_today(std::int32_t serial) noexcept;

// SETCLOCK: from now on the platform's local time of day (for this process only) is `value`, the
// date staying. False, changing nothing, for a value outside 1 to 8640000.
bool set_clock(std::int32_t value) noexcept;

// DELAY: waits until a clock counting hundredths of a second has advanced by
// floor(milliseconds / 10) ticks, sleeping in short steps rather than spinning. Zero, negative
// and below-ten values return at once.
void delay(std::int32_t milliseconds) noexcept;

#ifdef KES_TESTING
// Forgets the cached current year, so that the next two-digit year reads it again.
void forget_current_year() noexcept;
#endif

// serial_from_date for what its fast path leaves: years below 100 (expanded), 29 February and
// invalid dates. Out of line, as it may read the cached current year.
std::int32_t serial_from_unusual_date(std::int32_t year, std::uint8_t month,
                                      std::uint8_t day) noexcept;

}  // namespace kes::numeric

// The inline definitions of the functions declared inline above.
#include "numeric/dates/date_calendar_inline.h"

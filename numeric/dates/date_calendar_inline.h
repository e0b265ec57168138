// The calendar's hot conversions between dates and serial days, inline.
#pragma once

#include "numeric/dates/date_calendar.h"

namespace kes::numeric {

// ---- Inline definitions of the hot conversions.

namespace date_detail {

inline constexpr std::int32_t kFirstYear = 1801;
inline constexpr std::int32_t kLastYear = 9999;

// Days from 1 March of year 0 (proleptic Gregorian) to the given date. Counting years from March
// puts the leap day last, so months need no leap correction: 1461 days in four years, less the
// leap days that centuries not divisible by 400 skip, and (979 m - 2919) / 32 days from 1 March
// to the first of month m (m in [3, 14]). Exact for years 1 to beyond 9999, months [1, 12].
constexpr std::uint32_t days_from_march_zero(std::uint32_t year, std::uint32_t month,
                                             std::uint32_t day) noexcept {
  const std::uint32_t before_march = month < 3 ? 1 : 0;
  const std::uint32_t shifted_year = year - before_march;
  const std::uint32_t shifted_month = month + 12 * before_march;  // [3, 14]
  const std::uint32_t century = shifted_year / 100;
  return 1461 * shifted_year / 4 - century + century / 4 + (979 * shifted_month - 2919) / 32 + day -
         1;
}

// Day 4 is 1 January 1801.
inline constexpr std::uint32_t kSerialShift = days_from_march_zero(1801, 1, 1) - 4;

constexpr bool is_leap_year(std::uint32_t year) noexcept {
  // A century year is a leap year when divisible by 400, i.e. (being divisible by 25) by 16.
  const std::uint32_t mask = year % 100 != 0 ? 3 : 15;
  return (year & mask) == 0;
}

// Days in each month by month number, February in a common year; 0 for the numbers that are
// not months, so that one comparison rejects a bad month and a bad day alike.
inline constexpr auto kMonthLength = [] {
  struct Table {
    std::uint8_t days[256];
  } table{};
  constexpr std::uint8_t kLengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  for (int month = 1; month <= 12; ++month) {
    table.days[month] = kLengths[month - 1];
  }
  return table;
}();

// True for every valid date of a year from 1801 to 9999 except 29 February.
constexpr bool usual_fields_valid(std::int32_t year, std::uint8_t month,
                                  std::uint8_t day) noexcept {
  const auto year_offset = static_cast<std::uint32_t>(year) - std::uint32_t{kFirstYear};
  // Day 0 wraps to a large number and fails the length test; so does every day of a month
  // number outside [1, 12], whose length is 0.
  return (year_offset <= std::uint32_t{kLastYear - kFirstYear}) &
         (std::uint32_t{day} - 1 < kMonthLength.days[month]);
}

// True when 1801 <= year <= 9999, 1 <= month <= 12 and 1 <= day <= the month's length.
constexpr bool fields_valid(std::int32_t year, std::uint8_t month, std::uint8_t day) noexcept {
  if (usual_fields_valid(year, month, day)) return true;
  return month == 2 && day == 29 && usual_fields_valid(year, 2, 28) &&
         is_leap_year(static_cast<std::uint32_t>(year));
}

// Days from 1 March to the first of each month of a March-based year (January and February
// counting as months 13 and 14 of the year before), by month number.
inline constexpr auto kDaysFromMarch = [] {
  struct Table {
    std::uint16_t days[13];
  } table{};
  for (std::uint32_t month = 1; month <= 12; ++month) {
    table.days[month] = static_cast<std::uint16_t>(days_from_march_zero(4, month, 1) -
                                                   days_from_march_zero(month < 3 ? 3 : 4, 3, 1));
  }
  return table;
}();
static_assert(kDaysFromMarch.days[3] == 0 && kDaysFromMarch.days[1] == 306);

// The serial of a date that fields_valid accepts; the same count as days_from_march_zero with
// the month's offset looked up.
constexpr std::int32_t serial_of_valid(std::int32_t year, std::uint32_t month,
                                       std::uint32_t day) noexcept {
  const std::uint32_t shifted_year = static_cast<std::uint32_t>(year) - (month < 3 ? 1 : 0);
  const std::uint32_t century = shifted_year / 100;
  return static_cast<std::int32_t>(1461 * shifted_year / 4 - century + century / 4 +
                                   kDaysFromMarch.days[month] + day - 1 - kSerialShift);
}
static_assert(serial_of_valid(1801, 1, 1) == 4);
static_assert(serial_of_valid(1900, 1, 1) == 36163);
static_assert(serial_of_valid(9999, 12, 31) == 2994626);

}  // namespace date_detail

inline std::int32_t serial_from_date(const DateRecord& date) noexcept {
  if (date_detail::usual_fields_valid(date.year, date.month, date.day)) [[likely]] {
    return date_detail::serial_of_valid(date.year, date.month, date.day);
  }
  return serial_from_unusual_date(date.year, date.month, date.day);
}

inline bool date_from_serial(std::int32_t serial, DateRecord& date) noexcept {
  // Unsigned arithmetic: any LONG may arrive, and below 4 wraps to a large number.
  if (static_cast<std::uint32_t>(serial) - std::uint32_t{kFirstSerialDay} >
      std::uint32_t{kLastSerialDay - kFirstSerialDay}) [[unlikely]] {
    date.year = 0;
    date.day = 0;
    date.month = 0;
    return false;
  }
  // Days since 1 March of year 0, split into centuries, years of the century and days of the
  // year by the Euclidean affine forms of Neri and Schneider: exact over this whole range, with
  // no table and no loop.
  const std::uint32_t days = static_cast<std::uint32_t>(serial) + date_detail::kSerialShift;
  const std::uint32_t century_days = 4 * days + 3;
  const std::uint32_t century = century_days / 146097;
  const std::uint32_t day_of_century = century_days % 146097 / 4;
  const std::uint64_t year_part = std::uint64_t{2939745} * (4 * day_of_century + 3);
  const auto year_of_century = static_cast<std::uint32_t>(year_part >> 32);
  const std::uint32_t day_of_year = static_cast<std::uint32_t>(year_part) / 2939745 / 4;
  const std::uint32_t month_part = 2141 * day_of_year + 197913;
  const std::uint32_t shifted_month = month_part >> 16;  // [3, 14], March-based
  const std::uint32_t day_of_month = (month_part & 0xFFFF) / 2141;
  const std::uint32_t january_on = day_of_year >= 306 ? 1 : 0;  // January and February
  date.year = static_cast<std::int32_t>(100 * century + year_of_century + january_on);
  date.month = static_cast<std::uint8_t>(shifted_month - 12 * january_on);
  date.day = static_cast<std::uint8_t>(day_of_month + 1);
  return true;
}

}  // namespace kes::numeric

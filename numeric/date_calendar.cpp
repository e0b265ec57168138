// Serial day numbers: the Gregorian calendar from 1 January 1801 (day 4) to 31 December 9999
// (day 2994626), two-digit years, and the local date through the platform clock.
#include "numeric/date_calendar.h"

#include <atomic>
#include <cstdint>
#include <limits>

#include "platform/clock.h"

namespace kes::numeric {
namespace {

constexpr std::int32_t kFirstYear = 1801;
constexpr std::int32_t kLastYear = 9999;

constexpr bool is_leap_year(std::uint32_t year) noexcept {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

// Days in each month, February in a common year.
constexpr std::uint8_t kMonthLength[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

// Days from 1 March of year 0 (on the proleptic Gregorian calendar) to the given date; counting
// years from March puts the leap day last, so no month correction is needed. Valid for years
// from 1 to well beyond 9999 and months [1, 12].
constexpr std::uint32_t days_from_march_zero(std::uint32_t year, std::uint32_t month,
                                             std::uint32_t day) noexcept {
  const std::uint32_t before_march = month < 3 ? 1 : 0;
  const std::uint32_t shifted_year = year - before_march;
  const std::uint32_t shifted_month = month + 12 * before_march;  // [3, 14]
  const std::uint32_t century = shifted_year / 100;
  // 1461 days in four years, less the skipped leap days of centuries not divisible by 400;
  // (979 * m - 2919) / 32 gives the days from 1 March to the first of month m.
  return 1461 * shifted_year / 4 - century + century / 4 + (979 * shifted_month - 2919) / 32 + day -
         1;
}

// Day 4 is 1 January 1801.
constexpr std::uint32_t kSerialShift = days_from_march_zero(1801, 1, 1) - 4;

constexpr std::int32_t serial_of_valid(std::int32_t year, std::uint32_t month,
                                       std::uint32_t day) noexcept {
  return static_cast<std::int32_t>(
      days_from_march_zero(static_cast<std::uint32_t>(year), month, day) - kSerialShift);
}
static_assert(serial_of_valid(1801, 1, 1) == 4);
static_assert(serial_of_valid(1900, 1, 1) == 36163);
static_assert(serial_of_valid(9999, 12, 31) == 2994626);
static_assert(serial_of_valid(1800, 12, 28) == 0);

constexpr bool fields_valid(std::int32_t year, std::uint32_t month, std::uint32_t day) noexcept {
  if (year < kFirstYear || year > kLastYear || month < 1 || month > 12 || day < 1) return false;
  const std::uint32_t length =
      kMonthLength[month - 1] +
      (month == 2 && is_leap_year(static_cast<std::uint32_t>(year)) ? 1u : 0u);
  return day <= length;
}

// The year of the platform's local date, read once; 0 until then.
std::atomic<std::int32_t> cached_current_year{0};

std::int32_t current_year() noexcept {
  std::int32_t year = cached_current_year.load(std::memory_order_relaxed);
  if (year == 0) {
    year = platform::local_time().year;
    if (year == 0) year = 2000;  // year 0 marks "not read"; no host reports it
    cached_current_year.store(year, std::memory_order_relaxed);
  }
  return year;
}

std::int32_t saturate(std::int64_t value) noexcept {
  if (value < std::numeric_limits<std::int32_t>::min()) {
    return std::numeric_limits<std::int32_t>::min();
  }
  if (value > std::numeric_limits<std::int32_t>::max()) {
    return std::numeric_limits<std::int32_t>::max();
  }
  return static_cast<std::int32_t>(value);
}

}  // namespace

std::int32_t expand_two_digit_year(std::int32_t year, int window) noexcept {
  if (year >= 100) return year;
  // 64-bit throughout: the year may be any negative LONG and the window any int.
  const std::int64_t now = current_year();
  const std::int64_t now_in_century = now % 100;
  const std::int64_t distance = now_in_century - year;
  std::int64_t expanded = now - now_in_century + year;
  if (distance <= std::int64_t{window} - 100) {
    expanded -= 100;
  } else if (distance > window) {
    expanded += 100;
  }
  return saturate(expanded);
}

std::int32_t serial_from_date(const DateRecord& date) noexcept {
  std::int32_t year = date.year;
  if (year < 100) year = expand_two_digit_year(year);
  if (!fields_valid(year, date.month, date.day)) return -1;
  return serial_of_valid(year, date.month, date.day);
}

std::int32_t serial_from_fields(std::int32_t month, std::int32_t day, std::int32_t year) noexcept {
  if (month <= 0) return -1;
  std::int64_t full_year = year < 100 ? expand_two_digit_year(year) : year;
  // Months past December roll into later years; done by division, as the month may be any LONG.
  full_year += (month - 1) / 12;
  const auto month_of_year = static_cast<std::uint32_t>((month - 1) % 12 + 1);
  if (full_year < kFirstYear || full_year > kLastYear) return -1;
  const std::int64_t serial =
      std::int64_t{serial_of_valid(static_cast<std::int32_t>(full_year), month_of_year, 1)} + day -
      1;
  if (serial < kFirstSerialDay || serial > kLastSerialDay) return -1;
  return static_cast<std::int32_t>(serial);
}

bool date_from_serial(std::int32_t serial, DateRecord& date) noexcept {
  if (serial < kFirstSerialDay || serial > kLastSerialDay) {
    date.year = 0;
    date.day = 0;
    date.month = 0;
    return false;
  }
  // Days since 1 March of year 0, split into centuries, years and days by the Euclidean affine
  // forms of Neri and Schneider (exact over this whole range, with no table and no loop).
  const std::uint32_t days = static_cast<std::uint32_t>(serial) + kSerialShift;
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

std::int32_t year_of_serial(std::int32_t serial) noexcept {
  DateRecord date{};
  date_from_serial(serial, date);
  return date.year;
}

std::int32_t month_of_serial(std::int32_t serial) noexcept {
  DateRecord date{};
  date_from_serial(serial, date);
  return date.month;
}

std::int32_t day_of_serial(std::int32_t serial) noexcept {
  DateRecord date{};
  date_from_serial(serial, date);
  return date.day;
}

std::int32_t today_serial() noexcept {
  const platform::LocalTime now = platform::local_time();
  if (!fields_valid(now.year, now.month, now.day)) return 0;
  return serial_of_valid(now.year, now.month, now.day);
}

bool set_today(std::int32_t serial) noexcept {
  DateRecord date{};
  if (!date_from_serial(serial, date)) return false;
  return platform::set_local_date(date.year, date.month, date.day);
}

#ifdef KES_TESTING
void forget_current_year() noexcept { cached_current_year.store(0, std::memory_order_relaxed); }
#endif

}  // namespace kes::numeric

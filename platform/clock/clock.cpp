// Local date and time from the host's real-time clock and time zone, moved by the process's
// offset; a monotonic clock for waits. The host's clocks are read through platform/clock_host.h.
#include "platform/clock/clock.h"

#include <atomic>
#include <cstdint>
#include <limits>

#include "platform/clock/clock_host.h"

namespace kes::platform {
namespace {

constexpr std::int64_t kHundredthsPerDay = 8'640'000;

// The local time as one count: hundredths of a second since 1 January 1970 on the local
// calendar (no time zone or daylight-saving shift is involved once the host's fields are read).
using LocalCount = std::int64_t;

constexpr std::int64_t floor_div(std::int64_t value, std::int64_t divisor) noexcept {
  const std::int64_t quotient = value / divisor;
  return (value % divisor < 0) ? quotient - 1 : quotient;
}

// Days from 1 January 1970 to the given proleptic Gregorian date; month in [1, 12].
constexpr std::int64_t days_from_civil(std::int64_t year, unsigned month, unsigned day) noexcept {
  year -= month <= 2 ? 1 : 0;
  const std::int64_t era = floor_div(year, 400);
  const std::int64_t year_of_era = year - era * 400;                              // [0, 399]
  const std::int64_t day_of_year = (153 * ((month + 9) % 12) + 2) / 5 + day - 1;  // [0, 365]
  const std::int64_t day_of_era =
      year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;  // [0, 146096]
  return era * 146097 + day_of_era - 719468;
}
static_assert(days_from_civil(1970, 1, 1) == 0);
static_assert(days_from_civil(2000, 3, 1) == 11017);

struct CivilDate {
  std::int64_t year;
  unsigned month;
  unsigned day;
};

constexpr CivilDate civil_from_days(std::int64_t days) noexcept {
  days += 719468;
  const std::int64_t era = floor_div(days, 146097);
  const std::int64_t day_of_era = days - era * 146097;  // [0, 146096]
  const std::int64_t year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const std::int64_t day_of_year =
      day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);  // [0, 365]
  const std::int64_t shifted_month = (5 * day_of_year + 2) / 153;              // [0, 11]
  const auto day = static_cast<unsigned>(day_of_year - (153 * shifted_month + 2) / 5 + 1);
  const auto month =
      static_cast<unsigned>(shifted_month < 10 ? shifted_month + 3 : shifted_month - 9);
  return {year_of_era + era * 400 + (month <= 2 ? 1 : 0), month, day};
}
static_assert(civil_from_days(11017).month == 3);
static_assert(civil_from_days(-1).year == 1969);

constexpr bool is_leap_year(std::int64_t year) noexcept {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

constexpr bool date_exists(std::int64_t year, unsigned month, unsigned day) noexcept {
  constexpr unsigned kMonthLength[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12 || day < 1) return false;
  const unsigned length = kMonthLength[month - 1] + (month == 2 && is_leap_year(year) ? 1 : 0);
  return day <= length;
}

constexpr std::int64_t time_of_day(unsigned hour, unsigned minute, unsigned second,
                                   unsigned hundredths) noexcept {
  return ((std::int64_t{hour} * 60 + minute) * 60 + second) * 100 + hundredths;
}

// Kestrel years stay within four digits; the host's clock and the offset are kept to a range
// where every count below fits comfortably.
constexpr std::int64_t kLowestYear = -100'000;
constexpr std::int64_t kHighestYear = 100'000;

std::atomic<LocalCount> local_offset{0};

#ifdef KES_TESTING
constexpr LocalCount kNotFixed = std::numeric_limits<LocalCount>::min();
std::atomic<LocalCount> fixed_now{kNotFixed};
#endif

LocalCount host_now() noexcept {
#ifdef KES_TESTING
  const LocalCount fixed = fixed_now.load(std::memory_order_relaxed);
  if (fixed != kNotFixed) return fixed;
#endif
  host::LocalFields fields{};
  if (!host::local_fields(fields)) return 0;
  return days_from_civil(fields.year, fields.month, fields.day) * kHundredthsPerDay +
         time_of_day(fields.hour, fields.minute, fields.second, fields.hundredths);
}

std::int64_t monotonic_nanoseconds() noexcept { return host::monotonic_nanoseconds(); }

const std::int64_t process_start_nanoseconds = monotonic_nanoseconds();

}  // namespace

LocalTime local_time() noexcept {
  LocalCount shown = host_now() + local_offset.load(std::memory_order_relaxed);
  const std::int64_t lowest = days_from_civil(kLowestYear, 1, 1) * kHundredthsPerDay;
  const std::int64_t highest = days_from_civil(kHighestYear, 1, 1) * kHundredthsPerDay;
  if (shown < lowest) shown = lowest;
  if (shown > highest) shown = highest;
  const std::int64_t days = floor_div(shown, kHundredthsPerDay);
  const std::int64_t rest = shown - days * kHundredthsPerDay;  // [0, 8639999]
  const CivilDate date = civil_from_days(days);
  LocalTime result{};
  result.year = static_cast<std::int32_t>(date.year);
  result.month = static_cast<std::uint8_t>(date.month);
  result.day = static_cast<std::uint8_t>(date.day);
  result.hour = static_cast<std::uint8_t>(rest / 360'000);
  result.minute = static_cast<std::uint8_t>(rest / 6'000 % 60);
  result.second = static_cast<std::uint8_t>(rest / 100 % 60);
  result.hundredths = static_cast<std::uint8_t>(rest % 100);
  return result;
}

bool set_local_date(std::int32_t year, unsigned month, unsigned day) noexcept {
  if (year < kLowestYear || year > kHighestYear || !date_exists(year, month, day)) return false;
  const LocalCount now = host_now();
  const LocalCount shown = now + local_offset.load(std::memory_order_relaxed);
  const std::int64_t time = shown - floor_div(shown, kHundredthsPerDay) * kHundredthsPerDay;
  local_offset.store(days_from_civil(year, month, day) * kHundredthsPerDay + time - now,
                     std::memory_order_relaxed);
  return true;
}

bool set_local_time_of_day(unsigned hour, unsigned minute, unsigned second,
                           unsigned hundredths) noexcept {
  if (hour > 23 || minute > 59 || second > 59 || hundredths > 99) return false;
  const LocalCount now = host_now();
  const LocalCount shown = now + local_offset.load(std::memory_order_relaxed);
  const std::int64_t day_start = floor_div(shown, kHundredthsPerDay) * kHundredthsPerDay;
  local_offset.store(day_start + time_of_day(hour, minute, second, hundredths) - now,
                     std::memory_order_relaxed);
  return true;
}

std::int64_t monotonic_hundredths() noexcept {
  return (monotonic_nanoseconds() - process_start_nanoseconds) / 10'000'000;
}

#ifdef KES_TESTING
void fix_local_time(const LocalTime& now) noexcept {
  const unsigned month = now.month < 1 ? 1u : (now.month > 12 ? 12u : now.month);
  const std::int64_t year = now.year < kLowestYear    ? kLowestYear
                            : now.year > kHighestYear ? kHighestYear
                                                      : now.year;
  fixed_now.store(days_from_civil(year, month, now.day) * kHundredthsPerDay +
                      time_of_day(now.hour, now.minute, now.second, now.hundredths),
                  std::memory_order_relaxed);
}

void release_local_time() noexcept { fixed_now.store(kNotFixed, std::memory_order_relaxed); }

void reset_local_time_offset() noexcept { local_offset.store(0, std::memory_order_relaxed); }
#endif

}  // namespace kes::platform

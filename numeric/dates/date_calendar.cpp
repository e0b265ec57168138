// Serial day numbers: the Gregorian calendar from 1 January 1801 (day 4) to 31 December 9999
// (day 2994626), two-digit years, and the local date through the platform clock.
#include "numeric/dates/date_calendar.h"

#include <atomic>
#include <cstdint>
#include <limits>

#include "platform/clock/clock.h"

namespace kes::numeric {
namespace {

using date_detail::fields_valid;
using date_detail::kFirstYear;
using date_detail::kLastYear;
using date_detail::serial_of_valid;

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

std::int32_t serial_from_unusual_date(std::int32_t year, std::uint8_t month,
                                      std::uint8_t day) noexcept {
  const std::int32_t full_year = year < 100 ? expand_two_digit_year(year) : year;
  if (!fields_valid(full_year, month, day)) return -1;
  return serial_of_valid(full_year, month, day);
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

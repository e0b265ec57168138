// Time values (hundredths of a second since midnight, plus one), the local clock and DELAY.
#include <algorithm>
#include <cstdint>

#include "numeric/dates/date_calendar.h"
#include "platform/clock/clock.h"
#include "platform/clock/sleep.h"

namespace kes::numeric {
namespace {

constexpr std::int32_t kHundredthsPerHour = 360'000;
constexpr std::int32_t kHundredthsPerMinute = 6'000;

// The longest single sleep of DELAY, in milliseconds: short steps keep the wait close to its
// target even when the host oversleeps a long request.
constexpr std::int64_t kLongestDelayStep = 50;

}  // namespace

std::int32_t time_from_record(const TimeRecord& time) noexcept {
  if (time.hour == 0 && time.minute == 0 && time.second == 0 && time.hundredths == 0) return 0;
  if (time.hour > 23 || time.minute > 59 || time.second > 59 || time.hundredths > 99) return -1;
  return time.hour * kHundredthsPerHour + time.minute * kHundredthsPerMinute + time.second * 100 +
         time.hundredths + 1;
}

bool time_to_record(std::int32_t value, TimeRecord& time) noexcept {
  if (value < 1 || value > kLastTimeValue) {
    time = TimeRecord{};
    return false;
  }
  const std::int32_t since_midnight = value - 1;
  time.hour = static_cast<std::uint8_t>(since_midnight / kHundredthsPerHour);
  time.minute = static_cast<std::uint8_t>(since_midnight / kHundredthsPerMinute % 60);
  time.second = static_cast<std::uint8_t>(since_midnight / 100 % 60);
  time.hundredths = static_cast<std::uint8_t>(since_midnight % 100);
  return true;
}

std::int32_t clock_time_value() noexcept {
  const platform::LocalTime now = platform::local_time();
  // Goes through the time record like every other time value, so exactly midnight reads as 0,
  // as programs have always seen it.
  const TimeRecord time{now.hour, now.minute, now.second, now.hundredths};
  return time_from_record(time);
}

bool set_clock(std::int32_t value) noexcept {
  TimeRecord time{};
  if (!time_to_record(value, time)) return false;
  return platform::set_local_time_of_day(time.hour, time.minute, time.second, time.hundredths);
}

void delay(std::int32_t milliseconds) noexcept {
  const std::int64_t ticks = milliseconds / 10;
  if (ticks <= 0) return;
  const std::int64_t target = platform::monotonic_hundredths() + ticks;
  for (std::int64_t now = platform::monotonic_hundredths(); now < target;
       now = platform::monotonic_hundredths()) {
    const std::int64_t step = std::min((target - now) * 10, kLongestDelayStep);
    platform::sleep_milliseconds(static_cast<std::int32_t>(step));
  }
}

}  // namespace kes::numeric

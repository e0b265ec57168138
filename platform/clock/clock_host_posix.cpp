// The host's clocks on POSIX: the real-time clock through the time zone, and CLOCK_MONOTONIC.
#include <time.h>

#include "platform/clock/clock_host.h"

namespace kes::platform::host {

bool local_fields(LocalFields& out) noexcept {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  const time_t seconds = now.tv_sec;
  tm fields{};
  if (localtime_r(&seconds, &fields) == nullptr && gmtime_r(&seconds, &fields) == nullptr) {
    return false;
  }
  out.year = std::int64_t{fields.tm_year} + 1900;
  out.month = static_cast<unsigned>(fields.tm_mon + 1);
  out.day = static_cast<unsigned>(fields.tm_mday);
  out.hour = static_cast<unsigned>(fields.tm_hour);
  out.minute = static_cast<unsigned>(fields.tm_min);
  out.second = fields.tm_sec > 59 ? 59u : static_cast<unsigned>(fields.tm_sec);
  out.hundredths = static_cast<unsigned>(now.tv_nsec / 10'000'000);
  return true;
}

std::int64_t monotonic_nanoseconds() noexcept {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return std::int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

}  // namespace kes::platform::host

// The host's local date and time as programs see it, and a monotonic clock for waits.
//
// State: the local-time offset (set through set_local_date and set_local_time_of_day) is
// process-wide by nature: every thread sees the same "today". The test hook's fixed time is
// process-wide as well. The host's own clock is never changed.
#pragma once

#include <cstdint>

namespace kes::platform {

// A local calendar date and time of day.
struct LocalTime {
  std::int32_t year;        // e.g. 2024
  std::uint8_t month;       // [1, 12]
  std::uint8_t day;         // [1, 31]
  std::uint8_t hour;        // [0, 23]
  std::uint8_t minute;      // [0, 59]
  std::uint8_t second;      // [0, 59]
  std::uint8_t hundredths;  // [0, 99]
};

// The local date and time: the host's local time (or the test's fixed time) moved by the
// process's offset. A leap second of the host reads as second 59.
LocalTime local_time() noexcept;

// Moves the process's offset so that local_time() reports this date from now on, the time of
// day going on as before. False, changing nothing, when the date does not exist.
bool set_local_date(std::int32_t year, unsigned month, unsigned day) noexcept;

// Moves the process's offset so that local_time() reports this time of day from now on, the
// date staying. False, changing nothing, when a field is out of range.
bool set_local_time_of_day(unsigned hour, unsigned minute, unsigned second,
                           unsigned hundredths) noexcept;

// Hundredths of a second since the process started, never going back (unaffected by changes
// of the local time).
std::int64_t monotonic_hundredths() noexcept;

#ifdef KES_TESTING
// Makes local_time() start from `now` instead of the host's clock (the offset still applies);
// the fixed time does not advance.
void fix_local_time(const LocalTime& now) noexcept;
// Returns to the host's clock.
void release_local_time() noexcept;
// Drops the offset set by set_local_date and set_local_time_of_day.
void reset_local_time_offset() noexcept;
#endif

}  // namespace kes::platform

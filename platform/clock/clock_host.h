// The host's own clocks, read for platform/clock.cpp: the local calendar fields now and a
// monotonic count. Each host build supplies its own implementation.
//
// State: none.
#pragma once

#include <cstdint>

namespace kes::platform::host {

// The host's local date and time of day now (a leap second reads as second 59).
struct LocalFields {
  std::int64_t year;
  unsigned month;       // [1, 12]
  unsigned day;         // [1, 31]
  unsigned hour;        // [0, 23]
  unsigned minute;      // [0, 59]
  unsigned second;      // [0, 59]
  unsigned hundredths;  // [0, 99]
};

// False when the host cannot tell the local time.
bool local_fields(LocalFields& out) noexcept;

// Nanoseconds from an arbitrary start, never going back.
std::int64_t monotonic_nanoseconds() noexcept;

}  // namespace kes::platform::host

// The record manager's four-byte date and time fields, as 32-bit little-endian values (byte 0
// is the low byte).
//
// State: none.
#pragma once

#include <cstdint>

namespace kes::numeric {

// Date: byte 0 day, byte 1 month, bytes 2-3 year. An invalid serial stores 0.
std::uint32_t store_file_date(std::int32_t serial) noexcept;

// The serial of a stored date: a year above 9999 reads as 31 December 9999; otherwise the fields
// go through DATE (two-digit years expanded, months and days rolling over). 0 when that gives no
// valid serial, so an all-zero field is "no date".
std::int32_t load_file_date(std::uint32_t stored) noexcept;

// Time: byte 0 hundredths, byte 1 seconds, byte 2 minutes, byte 3 hours. A value outside 1 to
// 8640000 stores 0.
std::uint32_t store_file_time(std::int32_t value) noexcept;

// The time value of a stored time; 0 when a field is out of range (an hour of 24 or more, a
// minute or second of 60 or more, hundredths of 100 or more) and for the all-zero field.
std::int32_t load_file_time(std::uint32_t stored) noexcept;

}  // namespace kes::numeric

// Packing serial dates and time values into the record manager's four-byte fields.
#include "numeric/dates/date_file_layout.h"

#include "numeric/dates/date_calendar.h"

namespace kes::numeric {
namespace {

constexpr std::uint32_t byte_at(std::uint32_t stored, int index) noexcept {
  return (stored >> (8 * index)) & 0xFF;
}

}  // namespace

std::uint32_t store_file_date(std::int32_t serial) noexcept {
  DateRecord date{};
  if (!date_from_serial(serial, date)) return 0;
  return std::uint32_t{date.day} | std::uint32_t{date.month} << 8 |
         static_cast<std::uint32_t>(date.year) << 16;
}

std::int32_t load_file_date(std::uint32_t stored) noexcept {
  const auto year = static_cast<std::int32_t>(stored >> 16);  // [0, 65535]
  if (year > 9999) return kLastSerialDay;
  const std::int32_t serial =
      serial_from_fields(static_cast<std::int32_t>(byte_at(stored, 1)),
                         static_cast<std::int32_t>(byte_at(stored, 0)), year);
  return serial < 0 ? 0 : serial;
}

std::uint32_t store_file_time(std::int32_t value) noexcept {
  TimeRecord time{};
  if (!time_to_record(value, time)) return 0;
  return std::uint32_t{time.hundredths} | std::uint32_t{time.second} << 8 |
         std::uint32_t{time.minute} << 16 | std::uint32_t{time.hour} << 24;
}

std::int32_t load_file_time(std::uint32_t stored) noexcept {
  const TimeRecord time{
      static_cast<std::uint8_t>(byte_at(stored, 3)), static_cast<std::uint8_t>(byte_at(stored, 2)),
      static_cast<std::uint8_t>(byte_at(stored, 1)), static_cast<std::uint8_t>(byte_at(stored, 0))};
  const std::int32_t value = time_from_record(time);
  return value < 0 ? 0 : value;
}

}  // namespace kes::numeric

// Date and time conversions of any LONGs and record bytes: every result is -1, 0 or inside its
// range, and valid values survive their round trips.
#include <string_view>

#include <kestrel/dates.h>

#include "numeric/dates/age.h"
#include "numeric/dates/date_calendar.h"
#include "tests/fuzz/support/fuzz_check.h"

namespace {

using kes::fuzz::check, kes::fuzz::read_long, kes::fuzz::read_word;

bool serial_in_range(std::int32_t serial) { return serial >= 4 && serial <= 2994626; }

void check_date(std::int32_t month, std::int32_t day, std::int32_t year) {
  const std::int32_t serial = Kes$DATE(month, day, year);
  check(serial == -1 || serial_in_range(serial));
  if (serial == -1) return;
  check(Kes$DATE(Kes$MONTH(serial), Kes$DAY(serial), Kes$YEAR(serial)) == serial);
  check(Kes$loadbtdate(Kes$storebtdate(serial)) == serial);
  KesDateRecord record{};
  check(Kes$abs2date(serial, &record) == 0);
  check(Kes$date2abs(&record) == serial);
}

void check_record(const std::uint8_t* bytes) {
  KesDateRecord record{};
  std::memcpy(&record.year, bytes, 4);
  record.day = bytes[4];
  record.month = bytes[5];
  const std::int32_t serial = Kes$date2abs(&record);
  check(serial == -1 || serial_in_range(serial));
  if (record.year >= 100 && serial != -1) {
    check(Kes$YEAR(serial) == record.year && Kes$MONTH(serial) == record.month &&
          Kes$DAY(serial) == record.day);
  }
  const std::int32_t loaded = Kes$loadbtdate(read_word(bytes));
  check(loaded == 0 || serial_in_range(loaded));
}

void check_time(const std::uint8_t* bytes) {
  const KesTimeRecord time{bytes[0], bytes[1], bytes[2], bytes[3]};
  const std::int32_t value = Kes$time2abs(&time);
  check(value >= -1 && value <= 8640000);
  if (value > 0) {
    KesTimeRecord split{};
    check(Kes$abs2time(value, &split) == 0);
    check(std::memcmp(&split, &time, sizeof time) == 0);
    check(Kes$loadbttime(Kes$storebttime(value)) == value);
  }
  const std::int32_t loaded = Kes$loadbttime(read_word(bytes));
  check(loaded >= 0 && loaded <= 8640000);
}

void check_age(std::int32_t birth, std::int32_t base) {
  char buffer[kes::numeric::kAgeTextCapacity];
  const std::size_t length = kes::numeric::age_text(birth, base, buffer);
  check(length >= 1 && length <= sizeof buffer);
  const std::string_view text(buffer, length);
  if (text.front() == '*') {
    check(length == 255 && text.find_first_not_of('*') == std::string_view::npos);
    return;
  }
  const std::size_t space = text.find(' ');
  check(space != std::string_view::npos && space >= 1);
  check(text.substr(0, space).find_first_not_of("0123456789") == std::string_view::npos);
  const std::string_view unit = text.substr(space);
  check(unit == " DAYS" || unit == " MOS" || unit == " YRS");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 4096) return 0;
  for (std::size_t offset = 0; offset + 16 <= size; offset += 16) {  // four LONGs per step
    const std::uint8_t* chunk = data + offset;
    const std::int32_t a = read_long(chunk);
    const std::int32_t b = read_long(chunk + 4);
    const std::int32_t c = read_long(chunk + 8);
    const std::int32_t d = read_long(chunk + 12);
    check_date(a, b, c);
    check_date(a & 0xFF, b & 0xFF, c & 0x3FFF);  // near the valid ranges as well
    check_record(chunk);
    check_time(chunk + 8);
    check_age(c, d);
    check_age(c % 3000000, d % 3000000);
    const std::int32_t expanded = kes::numeric::expand_two_digit_year(a, static_cast<int>(b));
    check(a < 100 || expanded == a);
  }
  return 0;
}

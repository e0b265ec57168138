// The exported date and time built-ins.
#include <kestrel/dates.h>

#include "numeric/dates/age.h"
#include "numeric/dates/date_calendar.h"
#include "numeric/dates/date_file_layout.h"

namespace num = kes::numeric;

namespace {

// Copies between the program's records and ours field by field: the program's record may end
// right after its last field, so its padding is never touched.
num::DateRecord date_from_program(const KesDateRecord& date) noexcept {
  return num::DateRecord{date.year, date.day, date.month};
}

void date_to_program(const num::DateRecord& date, KesDateRecord& destination) noexcept {
  destination.year = date.year;
  destination.day = date.day;
  destination.month = date.month;
}

num::TimeRecord time_from_program(const KesTimeRecord& time) noexcept {
  return num::TimeRecord{time.hour, time.minute, time.second, time.hundredths};
}

void time_to_program(const num::TimeRecord& time, KesTimeRecord& destination) noexcept {
  destination.hour = time.hour;
  destination.minute = time.minute;
  destination.second = time.second;
  destination.hundredths = time.hundredths;
}

}  // namespace

extern "C" int32_t Kes$date2abs(const KesDateRecord* date) noexcept {
  if (date == nullptr) return -1;
  return num::serial_from_date(date_from_program(*date));
}

extern "C" int32_t Kes$abs2date(int32_t serial, KesDateRecord* date) noexcept {
  if (date == nullptr) return -1;
  num::DateRecord split{};
  const bool valid = num::date_from_serial(serial, split);
  date_to_program(split, *date);
  return valid ? 0 : -1;
}

extern "C" int32_t Kes$DATE(int32_t month, int32_t day, int32_t year) noexcept {
  return num::serial_from_fields(month, day, year);
}

extern "C" int32_t Kes$YEAR(int32_t serial) noexcept { return num::year_of_serial(serial); }
extern "C" int32_t Kes$MONTH(int32_t serial) noexcept { return num::month_of_serial(serial); }
extern "C" int32_t Kes$DAY(int32_t serial) noexcept { return num::day_of_serial(serial); }

extern "C" int32_t Kes$TODAY(void) noexcept { return num::today_serial(); }
extern "C" void Kes$SETTODAY(int32_t serial) noexcept { num::set_today(serial); }

extern "C" int32_t Kes$time2abs(const KesTimeRecord* time) noexcept {
  if (time == nullptr) return -1;
  return num::time_from_record(time_from_program(*time));
}

extern "C" int32_t Kes$abs2time(int32_t value, KesTimeRecord* time) noexcept {
  if (time == nullptr) return -1;
  num::TimeRecord split{};
  const bool valid = num::time_to_record(value, split);
  time_to_program(split, *time);
  return valid ? 0 : -1;
}

extern "C" int32_t Kes$CLOCK(void) noexcept { return num::clock_time_value(); }
extern "C" void Kes$SETCLOCK(int32_t value) noexcept { num::set_clock(value); }
extern "C" void Kes$DELAY(int32_t milliseconds) noexcept { num::delay(milliseconds); }

extern "C" uint32_t Kes$storebtdate(int32_t serial) noexcept {
  return num::store_file_date(serial);
}
extern "C" int32_t Kes$loadbtdate(uint32_t stored) noexcept { return num::load_file_date(stored); }
extern "C" uint32_t Kes$storebttime(int32_t value) noexcept { return num::store_file_time(value); }
extern "C" int32_t Kes$loadbttime(uint32_t stored) noexcept { return num::load_file_time(stored); }

extern "C" void Kes$StackAGE(int32_t birth, int32_t base) noexcept { num::push_age(birth, base); }

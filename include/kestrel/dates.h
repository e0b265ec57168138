// Serial dates and times: DATE, YEAR, MONTH, DAY, TODAY, CLOCK, DELAY, AGE and the record
// manager's four-byte date and time layouts.
//
// A serial date is a LONG day number: day 4 is 1 January 1801, day 2994626 is 31 December 9999,
// 0 means no date. A time value is hundredths of a second since midnight plus one (1 to 8640000),
// 0 meaning no time.
#pragma once

#include <stddef.h>

#include <kestrel/abi.h>

// The split form of a date as programs lay it out. The library reads and writes the three
// fields only, never the padding after them.
typedef struct KesDateRecord {
  int32_t year;
  uint8_t day;    // [1, 31]
  uint8_t month;  // [1, 12]
} KesDateRecord;

// The split form of a time.
typedef struct KesTimeRecord {
  uint8_t hour;        // [0, 23]
  uint8_t minute;      // [0, 59]
  uint8_t second;      // [0, 59]
  uint8_t hundredths;  // [0, 99]
} KesTimeRecord;

#ifdef __cplusplus
static_assert(sizeof(KesDateRecord) == 8, "year, day, month, padding (8 bytes on 32-bit too)");
static_assert(offsetof(KesDateRecord, year) == 0, "year first");
static_assert(offsetof(KesDateRecord, day) == 4, "then the day");
static_assert(offsetof(KesDateRecord, month) == 5, "then the month");
static_assert(sizeof(KesTimeRecord) == 4, "four bytes");
static_assert(offsetof(KesTimeRecord, minute) == 1, "hour, minute");
static_assert(offsetof(KesTimeRecord, second) == 2, "then the second");
static_assert(offsetof(KesTimeRecord, hundredths) == 3, "then the hundredths");
#endif

// The serial of a date record (a year below 100 taken in the hundred years around the current
// year), or -1 when the date is invalid or the record pointer is null.
KES_API int32_t Kes$date2abs(const KesDateRecord* date) KES_NOEXCEPT;
// Splits a serial into `date`: 0, or -1 with the fields zeroed when the serial lies outside 4 to
// 2994626 (-1 and nothing written for a null record).
KES_API int32_t Kes$abs2date(int32_t serial, KesDateRecord* date) KES_NOEXCEPT;

// DATE(month, day, year): months above 12 roll into later years, days roll over month ends (day
// 0 is the last day of the previous month); -1 when the month is 0 or less or the result lies
// outside 4 to 2994626.
KES_API int32_t Kes$DATE(int32_t month, int32_t day, int32_t year) KES_NOEXCEPT;
// The year, month and day of a serial; 0 for an invalid serial.
KES_API int32_t Kes$YEAR(int32_t serial) KES_NOEXCEPT;
KES_API int32_t Kes$MONTH(int32_t serial) KES_NOEXCEPT;
KES_API int32_t Kes$DAY(int32_t serial) KES_NOEXCEPT;

// The serial of the local date.
KES_API int32_t Kes$TODAY(void) KES_NOEXCEPT;
// Makes the local date the serial's date for this program (the time of day goes on; the host's
// clock is not changed). An invalid serial changes nothing.
KES_API void Kes$SETTODAY(int32_t serial) KES_NOEXCEPT;

// The time value of a time record: 0 when all four fields are zero, -1 when a field is out of
// range or the pointer is null.
KES_API int32_t Kes$time2abs(const KesTimeRecord* time) KES_NOEXCEPT;
// Splits a time value into `time`: 0, or -1 with the fields zeroed when the value lies outside 1
// to 8640000 (-1 and nothing written for a null record).
KES_API int32_t Kes$abs2time(int32_t value, KesTimeRecord* time) KES_NOEXCEPT;

// The time value of the local time of day, 1 to 8640000.
KES_API int32_t Kes$CLOCK(void) KES_NOEXCEPT;
// Makes the local time of day `value` for this program (the date stays; the host's clock is not
// changed). A value outside 1 to 8640000 changes nothing.
KES_API void Kes$SETCLOCK(int32_t value) KES_NOEXCEPT;
// Waits until floor(milliseconds / 10) hundredths of a second have passed, without using the
// processor meanwhile. Below 10 returns at once.
KES_API void Kes$DELAY(int32_t milliseconds) KES_NOEXCEPT;

// The record manager's date: byte 0 day, byte 1 month, bytes 2-3 year (little-endian), read as
// a little-endian 32-bit value. Storing an invalid serial gives 0; loading gives 0 for a date
// that is not valid (a year above 9999 loads as 31 December 9999; months and days roll over as
// in DATE).
KES_API uint32_t Kes$storebtdate(int32_t serial) KES_NOEXCEPT;
KES_API int32_t Kes$loadbtdate(uint32_t stored) KES_NOEXCEPT;
// The record manager's time: byte 0 hundredths, byte 1 seconds, byte 2 minutes, byte 3 hours.
// Storing an invalid time value gives 0; loading gives 0 when a field is out of range.
KES_API uint32_t Kes$storebttime(int32_t value) KES_NOEXCEPT;
KES_API int32_t Kes$loadbttime(uint32_t stored) KES_NOEXCEPT;

// AGE(birth, base): pushes the age on the string stack as "<n> DAYS" below 61 days, "<n> MOS"
// up to 24 months, "<n> YRS" beyond; a base of -1 means today. 255 '*' characters when the birth
// date is after the base date even taken a century earlier, or either serial is invalid.
KES_API void Kes$StackAGE(int32_t birth, int32_t base) KES_NOEXCEPT;

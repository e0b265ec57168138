// The record manager's four-byte date and time fields.
#include "numeric/dates/date_file_layout.h"

#include <cstdint>
#include <limits>

#include <gtest/gtest.h>

#include "numeric/dates/date_calendar.h"
#include "platform/clock/clock.h"

namespace kes::numeric {
namespace {

constexpr std::int32_t kJan5th2024 = 81457;
constexpr std::int32_t kJan1st2000 = 72687;

// Bytes as they lie in the file, first byte first.
constexpr std::uint32_t bytes(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3) {
  return std::uint32_t{b0} | std::uint32_t{b1} << 8 | std::uint32_t{b2} << 16 |
         std::uint32_t{b3} << 24;
}

class DateFileLayoutTest : public testing::Test {
 protected:
  void SetUp() override {
    platform::reset_local_time_offset();
    platform::fix_local_time({2024, 1, 5, 12, 0, 0, 0});
    forget_current_year();
  }
  void TearDown() override {
    platform::release_local_time();
    forget_current_year();
  }
};

struct StoreDateCase {
  const char* name;
  std::int32_t serial;
  std::uint32_t stored;
};
constexpr StoreDateCase kDateStores[] = {
    {"Jan5th2024", kJan5th2024, bytes(0x05, 0x01, 0xE8, 0x07)},
    {"FirstDay", 4, bytes(1, 1, 0x09, 0x07)},         // 1801 = 0709h
    {"LastDay", 2994626, bytes(31, 12, 0x0F, 0x27)},  // 9999 = 270Fh
    {"NoDate", 0, 0},
    {"BelowRange", 3, 0},
    {"AboveRange", 2994627, 0},
    {"Negative", std::numeric_limits<std::int32_t>::min(), 0},
};

TEST_F(DateFileLayoutTest, StoreDate) {
  for (const StoreDateCase& c : kDateStores) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(store_file_date(c.serial), c.stored);
  }
}

struct LoadDateCase {
  const char* name;
  std::uint32_t stored;
  std::int32_t serial;
};
constexpr LoadDateCase kDateLoads[] = {
    {"AllZeroIsNoDate", 0, 0},
    {"Year10000IsLastDay", bytes(1, 1, 0x10, 0x27), 2994626},
    {"YearFFFFIsLastDay", bytes(0, 0, 0xFF, 0xFF), 2994626},
    {"Month13RollsIntoNextYear", bytes(1, 13, 0xE7, 0x07), kJan5th2024 - 4},  // 13/1/2023
    {"Day0IsLastOfPreviousMonth", bytes(0, 1, 0xD0, 0x07), kJan1st2000 - 1},
    {"Day255RollsOver", bytes(255, 1, 0xD0, 0x07), kJan1st2000 + 254},
    {"Month0IsNoDate", bytes(1, 0, 0xE8, 0x07), 0},
    {"Year1800IsNoDate", bytes(1, 1, 0x08, 0x07), 0},
    {"TwoDigitYearExpanded", bytes(5, 1, 24, 0), kJan5th2024},
};

// Valid fields load back as the store rows above show: every date survives store and load.
TEST_F(DateFileLayoutTest, LoadDate) {
  for (const LoadDateCase& c : kDateLoads) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(load_file_date(c.stored), c.serial);
  }
}

TEST_F(DateFileLayoutTest, EveryDateSurvivesStoreAndLoad) {
  int mismatches = 0;
  for (std::int32_t serial = kFirstSerialDay; serial <= kLastSerialDay; ++serial) {
    if (load_file_date(store_file_date(serial)) != serial && ++mismatches <= 5) {
      ADD_FAILURE() << "serial " << serial;
    }
  }
  EXPECT_EQ(mismatches, 0);
}

struct TimeLayoutCase {
  const char* name;
  std::int32_t value;
  std::uint32_t stored;
};
constexpr TimeLayoutCase kTimeStores[] = {
    {"Midnight", 1, 0},
    {"OneHundredth", 2, bytes(1, 0, 0, 0)},
    {"Noon", 4320001, bytes(0, 0, 0, 12)},
    {"LastHundredth", 8640000, bytes(99, 59, 59, 23)},
    {"TenThirtyFifteenQuarter", 3781526, bytes(25, 15, 30, 10)},
};

TEST(DateFileLayoutTime, StoreAndLoad) {
  for (const TimeLayoutCase& c : kTimeStores) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(store_file_time(c.value), c.stored);
    // Midnight stores as four zero bytes, which read back as "no time".
    EXPECT_EQ(load_file_time(c.stored), c.value == 1 ? 0 : c.value);
  }
}

TEST(DateFileLayoutTime, InvalidValuesAndFieldsGiveNoTime) {
  for (std::int32_t value : {std::numeric_limits<std::int32_t>::min(), -1, 0, 8640001}) {
    SCOPED_TRACE(value);
    EXPECT_EQ(store_file_time(value), 0u);
  }
  for (std::uint32_t stored : {bytes(255, 255, 255, 255), bytes(0, 0, 0, 24), bytes(0, 0, 60, 0),
                               bytes(0, 60, 0, 0), bytes(100, 0, 0, 0)}) {
    SCOPED_TRACE(stored);
    EXPECT_EQ(load_file_time(stored), 0);
  }
}

}  // namespace
}  // namespace kes::numeric

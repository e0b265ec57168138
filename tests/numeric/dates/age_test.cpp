// AGE's texts and their boundaries.
#include "numeric/dates/age.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "numeric/dates/date_calendar.h"
#include "platform/clock/clock.h"
#include "platform/core/heap.h"
#include "runtime/stack/string_stack.h"
#include "tests/support/stack_helpers.h"

namespace kes::numeric {
namespace {

// Serials worked out by hand from 1 January 2000 (72687) and 1 January 2024 (81453).
constexpr std::int32_t kJan1st2024 = 81453;
constexpr std::int32_t kFeb15th2024 = 81498;
constexpr std::int32_t kMar1st2024 = 81513;
constexpr std::int32_t kMar2nd2024 = 81514;
constexpr std::int32_t kJan31st2024 = 81483;
constexpr std::int32_t kApr30th2024 = 81573;
constexpr std::int32_t kMar15th2024 = 81527;
constexpr std::int32_t kJan1st2026 = 82184;
constexpr std::int32_t kJan2nd2026 = 82185;
constexpr std::int32_t kFeb1st2026 = 82215;
constexpr std::int32_t kApr14th2026 = 82287;
constexpr std::int32_t kApr15th2026 = 82288;
constexpr std::int32_t kJun15th2000 = 72853;
constexpr std::int32_t kMay20th2024 = 81593;
constexpr std::int32_t kJun14th2024 = 81618;
constexpr std::int32_t kJun15th2024 = 81619;
constexpr std::int32_t kJun1st2024 = 81605;
constexpr std::int32_t kFeb29th2000 = 72746;
constexpr std::int32_t kJan1st1999 = 72322;
constexpr std::int32_t kJun1st1850 = 18052;
constexpr std::int32_t kJan1st1820 = 6943;
constexpr std::int32_t kJan1st2120 = 116516;
constexpr std::int32_t kJan1st2000 = 72687;

const std::string kStars(255, '*');

struct AgeCase {
  const char* name;
  std::int32_t birth;
  std::int32_t base;
  std::string_view text;
};
const AgeCase kAges[] = {
    {"SameDay", kJan1st2024, kJan1st2024, "0 DAYS"},
    {"FortyFiveDays", kJan1st2024, kFeb15th2024, "45 DAYS"},
    {"SixtyDaysStillDays", kJan1st2024, kMar1st2024, "60 DAYS"},
    {"SixtyOneDaysAreMonths", kJan1st2024, kMar2nd2024, "2 MOS"},
    {"MonthShortOfBirthDay", kJan31st2024, kApr30th2024, "2 MOS"},
    {"TwentyFourMonths", kJan1st2024, kJan1st2026, "24 MOS"},
    {"TwentyFourMonthsAndADay", kJan1st2024, kJan2nd2026, "24 MOS"},
    {"TwentyFiveMonthsAreYears", kJan1st2024, kFeb1st2026, "2 YRS"},
    {"TwentyFiveMonthsLessADay", kMar15th2024, kApr14th2026, "24 MOS"},
    {"TwentyFiveMonthsExactly", kMar15th2024, kApr15th2026, "2 YRS"},
    {"MonthBeforeBirthMonth", kJun15th2000, kMay20th2024, "23 YRS"},
    {"DayBeforeBirthday", kJun15th2000, kJun14th2024, "23 YRS"},
    {"Birthday", kJun15th2000, kJun15th2024, "24 YRS"},
    {"WholeRange", 4, 2994626, "8198 YRS"},
    {"BirthAfterBaseTakenCenturyEarlier", kJun1st2024, kJan1st2024, "99 YRS"},
    {"CenturyEarlierDoesNotExist", kFeb29th2000, kJan1st1999, kStars},
    {"CenturyEarlierBefore1801", kJun1st1850, kJan1st1820, kStars},
    {"StillAfterBase", kJan1st2120, kJan1st2000, kStars},
    {"BirthNoDate", 0, kJan1st2024, kStars},
    {"BirthAboveRange", 2994627, kJan1st2024, kStars},
    {"BaseNoDate", kJan1st2024, 0, kStars},
    {"BaseBelowRange", kJan1st2024, 3, kStars},
};

TEST(AgeText, Table) {
  for (const AgeCase& c : kAges) {
    SCOPED_TRACE(c.name);
    std::array<char, kAgeTextCapacity> text{};
    const std::size_t length = age_text(c.birth, c.base, text);
    EXPECT_EQ(std::string_view(text.data(), length), c.text);
  }
}

class AgePushTest : public testing::Test {
 protected:
  void SetUp() override {
    platform::reset_local_time_offset();
    platform::fix_local_time({2024, 2, 15, 9, 0, 0, 0});
  }
  void TearDown() override {
    platform::heap_fail_nth(0);
    platform::release_local_time();
    test::drain_string_stack();
  }
};

using test::pop_top_text;

TEST_F(AgePushTest, PushesOwnedHeapText) {
  push_age(kJan1st2024, kFeb1st2026);
  ASSERT_EQ(runtime::string_stack_depth(), 1);
  EXPECT_EQ(runtime::entry_from_top(1).kind,
            static_cast<std::uint32_t>(runtime::EntryKind::TextOwned));
  EXPECT_EQ(pop_top_text(), "2 YRS");
  push_age(0, kJan1st2024);
  EXPECT_EQ(pop_top_text(), kStars);
}

TEST_F(AgePushTest, ExhaustedHeapPushesEmptyText) {
  platform::heap_fail_nth(1);
  push_age(kJan1st2024, kFeb15th2024);
  ASSERT_EQ(runtime::string_stack_depth(), 1);
  EXPECT_EQ(pop_top_text(), "");
}

}  // namespace
}  // namespace kes::numeric

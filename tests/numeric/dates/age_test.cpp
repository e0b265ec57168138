// AGE's texts and their boundaries.
#include "numeric/dates/age.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "platform/core/heap.h"
#include "runtime/stack/string_stack.h"
#include "tests/support/stack_helpers.h"

namespace kes::numeric {
namespace {

// The serial of a date, counted by the standard calendar from 1 January 1801 (day 4).
std::int32_t day(int y, unsigned m, unsigned d) {
  using namespace std::chrono;
  return static_cast<std::int32_t>(
             (sys_days{year{y} / m / d} - sys_days{year{1801} / 1 / 1}).count()) +
         4;
}

const std::string kStars(255, '*');

struct AgeCase {
  const char* name;
  std::int32_t birth;
  std::int32_t base;
  std::string_view text;
};
const AgeCase kAges[] = {
    {"SameDay", day(2024, 1, 1), day(2024, 1, 1), "0 DAYS"},
    {"SixtyDaysStillDays", day(2024, 1, 1), day(2024, 3, 1), "60 DAYS"},
    {"SixtyOneDaysAreMonths", day(2024, 1, 1), day(2024, 3, 2), "2 MOS"},
    {"MonthShortOfBirthDay", day(2024, 1, 31), day(2024, 4, 30), "2 MOS"},
    {"TwentyFourMonthsAndADay", day(2024, 1, 1), day(2026, 1, 2), "24 MOS"},
    {"TwentyFiveMonthsAreYears", day(2024, 1, 1), day(2026, 2, 1), "2 YRS"},
    {"TwentyFiveMonthsLessADay", day(2024, 3, 15), day(2026, 4, 14), "24 MOS"},
    {"MonthBeforeBirthMonth", day(2000, 6, 15), day(2024, 5, 20), "23 YRS"},
    {"DayBeforeBirthday", day(2000, 6, 15), day(2024, 6, 14), "23 YRS"},
    {"Birthday", day(2000, 6, 15), day(2024, 6, 15), "24 YRS"},
    {"WholeRange", 4, 2994626, "8198 YRS"},
    {"BirthAfterBaseTakenCenturyEarlier", day(2024, 6, 1), day(2024, 1, 1), "99 YRS"},
    {"CenturyEarlierDoesNotExist", day(2000, 2, 29), day(1999, 1, 1), kStars},
    {"CenturyEarlierBefore1801", day(1850, 6, 1), day(1820, 1, 1), kStars},
    {"StillAfterBase", day(2120, 1, 1), day(2000, 1, 1), kStars},
    {"BirthNoDate", 0, day(2024, 1, 1), kStars},
    {"BirthAboveRange", 2994627, day(2024, 1, 1), kStars},
    {"BaseNoDate", day(2024, 1, 1), 0, kStars},
    {"BaseBelowRange", day(2024, 1, 1), 3, kStars},
};

TEST(AgeText, Table) {
  for (const AgeCase& c : kAges) {
    SCOPED_TRACE(c.name);
    std::array<char, kAgeTextCapacity> text{};
    const std::size_t length = age_text(c.birth, c.base, text);
    EXPECT_EQ(std::string_view(text.data(), length), c.text);
  }
}

TEST(AgePush, PushesOwnedHeapTextOrEmptyWhenTheHeapFails) {
  push_age(day(2024, 1, 1), day(2026, 2, 1));
  ASSERT_EQ(runtime::string_stack_depth(), 1);
  EXPECT_EQ(runtime::entry_from_top(1).kind,
            static_cast<std::uint32_t>(runtime::EntryKind::TextOwned));
  EXPECT_EQ(test::pop_top_text(), "2 YRS");
  platform::heap_fail_nth(1);
  push_age(day(2024, 1, 1), day(2024, 2, 15));
  platform::heap_fail_nth(0);
  ASSERT_EQ(runtime::string_stack_depth(), 1);
  EXPECT_EQ(test::pop_top_text(), "");
}

}  // namespace
}  // namespace kes::numeric

// The built-in defaults of the locale texts and the message override table.
#include "numeric/locale/locale_texts.h"

#include <gtest/gtest.h>

#include "numeric/locale/locale_state.h"
#include "platform/core/heap.h"

namespace kes::numeric {
namespace {

class LocaleTextsDefaults : public testing::Test {
 protected:
  void SetUp() override { locale_state().reset(); }
  void TearDown() override { locale_state().reset(); }
};

struct MonthCase {
  int month;
  std::string_view name;
  std::string_view abbreviation;
};
constexpr MonthCase kMonths[] = {
    {1, "January", "Jan"},  {2, "February", "Feb"},  {3, "March", "Mar"},
    {4, "April", "Apr"},    {5, "May", "May"},       {6, "June", "Jun"},
    {7, "July", "Jul"},     {8, "August", "Aug"},    {9, "September", "Sep"},
    {10, "October", "Oct"}, {11, "November", "Nov"}, {12, "December", "Dec"},
};

TEST_F(LocaleTextsDefaults, MonthNamesAndAbbreviations) {
  for (const MonthCase& c : kMonths) {
    SCOPED_TRACE(c.month);
    EXPECT_EQ(month_name(c.month), c.name);
    EXPECT_EQ(month_abbreviation(c.month), c.abbreviation);
  }
  EXPECT_EQ(month_name(0), "");  // out of range
  EXPECT_EQ(month_name(13), "");
  EXPECT_EQ(month_abbreviation(-1), "");
}

TEST_F(LocaleTextsDefaults, AmPmAndRegionalSettings) {
  EXPECT_EQ(am_text(), "AM");
  EXPECT_EQ(pm_text(), "PM");
  const RegionalSettings& r = regional_settings();
  EXPECT_TRUE(r.twelve_hour_clock);
  EXPECT_TRUE(r.hour_leading_zero);
  EXPECT_EQ(r.time_separator, ":");
  EXPECT_EQ(r.am, "AM");
  EXPECT_EQ(r.pm, "PM");
  EXPECT_EQ(r.short_date, "MM/dd/yy");
  EXPECT_EQ(r.long_date, "ddd', 'MMMM' 'dd', 'yyyy");
}

TEST_F(LocaleTextsDefaults, MessageOverridesReplaceByNumber) {
  EXPECT_FALSE(message_override(2).has_value());
  ASSERT_TRUE(locale_state().messages.set(2, "Missing"));
  ASSERT_TRUE(locale_state().messages.set(5, ""));
  ASSERT_TRUE(locale_state().messages.set(2, "Gone"));
  EXPECT_EQ(message_override(2), "Gone");
  EXPECT_EQ(message_override(5), "");
  EXPECT_FALSE(message_override(3).has_value());
  EXPECT_EQ(locale_state().messages.size(), 2U);
}

TEST_F(LocaleTextsDefaults, MessageOverrideKeepsOldTextWhenTheHeapFails) {
  ASSERT_TRUE(locale_state().messages.set(2, "Old"));
  platform::heap_fail_nth(1);
  EXPECT_FALSE(locale_state().messages.set(2, "New"));
  EXPECT_EQ(message_override(2), "Old");
  platform::heap_fail_nth(1);
  EXPECT_FALSE(locale_state().messages.set(3, "Other"));
  EXPECT_FALSE(message_override(3).has_value());
  platform::heap_fail_nth(0);
}

TEST_F(LocaleTextsDefaults, GrowingTheTableFailsCleanly) {
  for (std::int32_t n = 0; n < 16; ++n)
    ASSERT_TRUE(locale_state().messages.set(n, "x"));
  platform::heap_fail_nth(2);  // the text copy succeeds, the table's growth fails
  EXPECT_FALSE(locale_state().messages.set(16, "y"));
  platform::heap_fail_nth(0);
  EXPECT_FALSE(message_override(16).has_value());
  EXPECT_EQ(locale_state().messages.size(), 16U);
  EXPECT_TRUE(locale_state().messages.set(16, "y"));
  EXPECT_EQ(message_override(16), "y");
}

}  // namespace
}  // namespace kes::numeric

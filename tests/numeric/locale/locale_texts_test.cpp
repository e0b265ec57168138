// The month texts' range and the message override table.
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

// The default names themselves are read back through the settings that replace some of them.
TEST_F(LocaleTextsDefaults, MonthsOutOfRangeAreEmpty) {
  EXPECT_EQ(month_name(12), "December");
  EXPECT_EQ(month_abbreviation(12), "Dec");
  EXPECT_EQ(month_name(0), "");
  EXPECT_EQ(month_name(13), "");
  EXPECT_EQ(month_abbreviation(-1), "");
  EXPECT_EQ(month_abbreviation(13), "");
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

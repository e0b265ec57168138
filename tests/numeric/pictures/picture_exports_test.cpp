// The picture exports as compiled code calls them: push, call, pop, and both stacks balanced.
#include <cstring>
#include <fstream>
#include <string>
#include <string_view>

#include <kestrel/collation.h>
#include <kestrel/pic_desc.h>
#include <kestrel/pictures.h>

#include <gtest/gtest.h>

#include "numeric/decimal/decimal_stack.h"
#include "numeric/locale/locale_settings.h"
#include "platform/core/heap.h"
#include "platform/launch/module_path.h"
#include "platform/profile/profile.h"
#include "runtime/stack/string_stack.h"
#include "tests/support/allocation_counter.h"
#include "tests/support/stack_helpers.h"

namespace kes::numeric {
namespace {

using test::pop_top_text;

std::string decimal_top_text() {
  char text[kDecimalTextCapacity];
  const std::size_t n = decimal_to_text(decimal_pop(), std::span<char, kDecimalTextCapacity>(text));
  return std::string(text, n);
}

class PictureExports : public testing::Test {
 protected:
  void SetUp() override {
    strings_ = runtime::string_stack_depth();
    decimals_ = decimal_depth();
  }
  void TearDown() override {
    EXPECT_EQ(runtime::string_stack_depth(), strings_);
    EXPECT_EQ(decimal_depth(), decimals_);
  }
  int strings_ = 0;
  int decimals_ = 0;
};

TEST_F(PictureExports, PushPictFormatsEachTypeOrPushesEmpty) {
  Kes$PushPictLong(1234, "@N9.2");
  EXPECT_EQ(pop_top_text(), " 1,234.00");
  Kes$PushPictReal("@N9.2", 1234.5);
  EXPECT_EQ(pop_top_text(), " 1,234.50");
  decimal_push_text("1234.5");
  Kes$PushPictDec("@N9.2");  // consumes the decimal
  EXPECT_EQ(pop_top_text(), " 1,234.50");
  // An invalid picture pushes the empty string.
  Kes$PushPictLong(5, "@N9.2x");
  EXPECT_EQ(pop_top_text(), "");
  Kes$PushPictReal("@S0", 5.0);
  EXPECT_EQ(pop_top_text(), "");
  decimal_push_long(5);
  Kes$PushPictDec("@X");  // the decimal is consumed all the same
  EXPECT_EQ(pop_top_text(), "");
}

TEST_F(PictureExports, WideResultsLiveOnTheHeapOrAreEmpty) {
  Kes$PushPictLong(42, "@N30");
  EXPECT_EQ(runtime::entry_from_top(1).kind, 1u);  // TextOwned
  EXPECT_EQ(pop_top_text(), std::string(28, ' ') + "42");
  Kes$PushPictLong(42, "@N20");
  EXPECT_EQ(runtime::entry_from_top(1).kind, 2u);  // TextInline
  EXPECT_EQ(pop_top_text(), std::string(18, ' ') + "42");
  platform::heap_fail_nth(1);  // a failed allocation leaves the empty string
  Kes$PushPictLong(42, "@N30");
  EXPECT_EQ(pop_top_text(), "");
  decimal_push_long(42);
  platform::heap_fail_nth(1);
  Kes$PushPictDec("@N30");
  platform::heap_fail_nth(0);
  EXPECT_EQ(pop_top_text(), "");
}

TEST_F(PictureExports, FormattingAllocatesNothing) {
  decimal_push_text("1234.5");
  {
    test::AllocationCounter counter;
    Kes$PushPictDec("@N12.2");
    EXPECT_EQ(counter.count(), 0u);
  }
  EXPECT_EQ(pop_top_text(), "    1,234.50");
  char field[10];
  test::AllocationCounter counter;
  PicDesc desc;
  desc.Init("@D6");
  desc.StoreReal(field, 10, 81457.0);
  EXPECT_EQ(counter.count(), 0u);
  EXPECT_EQ(std::string_view(field, 10), " 5/01/2024");
}

TEST_F(PictureExports, ReusesNoPictureWhoseTextChanged) {
  char picture[] = "@N9.2";
  Kes$PushPictLong(-5, picture);
  EXPECT_EQ(pop_top_text(), "     5.00");
  std::memcpy(picture, "@N-9.", 5);  // same buffer, another picture
  Kes$PushPictLong(-5, picture);
  EXPECT_EQ(pop_top_text(), "       -5");
  Kes$PushPictLong(-5, "@N-9.");
  EXPECT_EQ(pop_top_text(), "       -5");
  Kes$PushPictLong(-5, "@N-9.2");
  EXPECT_EQ(pop_top_text(), "    -5.00");
}

TEST_F(PictureExports, PopPictDeformats) {
  runtime::push_text(" 1,234.50");
  EXPECT_EQ(Kes$PopPictLong("@N9.2"), 1234);
  runtime::push_text("99999999999");
  EXPECT_EQ(Kes$PopPictLong("@N11"), 2147483647);
  runtime::push_text("  -1.25E-004");
  EXPECT_EQ(Kes$PopPictReal("@E12.2"), -0.000125);
  runtime::push_text("abc");
  EXPECT_EQ(Kes$PopPictReal("@S3"), 0.0);
}

TEST_F(PictureExports, DPushStringPAndStringStackPReadThroughThePicture) {
  const std::string_view typed = " 1,234.50";
  Kes$DPushStringP(typed.data(), static_cast<std::uint32_t>(typed.size()), "@N9.2");
  EXPECT_EQ(decimal_top_text(), "1234.5");
  const std::string_view plain = "  -12.5xyz";
  Kes$DPushStringP(plain.data(), static_cast<std::uint32_t>(plain.size()), nullptr);
  EXPECT_EQ(decimal_top_text(), "-12.5");
  Kes$DPushStringP(plain.data(), 0, nullptr);
  EXPECT_EQ(decimal_top_text(), "0");
  const std::string wide = std::string(290, ' ') + "7";  // beyond a string picture's 255
  Kes$DPushStringP(wide.data(), static_cast<std::uint32_t>(wide.size()), nullptr);
  EXPECT_EQ(decimal_top_text(), "0");
  Kes$DPushStringP(typed.data(), static_cast<std::uint32_t>(typed.size()), "@Q");
  EXPECT_EQ(decimal_top_text(), "0");
  runtime::push_text(" 5/01/2024");
  Kes$DPushStringStackP("@D6");
  EXPECT_EQ(decimal_top_text(), "81457");
  runtime::push_text("  (12.50)");
  Kes$DPushStringStackP("@N(9.2)");
  EXPECT_EQ(decimal_top_text(), "-12.5");
}

TEST_F(PictureExports, DPopPictStoresIntoAField) {
  char field[11];
  std::memset(field, '?', sizeof field);
  decimal_push_text("-12.5");
  Kes$DPopPict(field, 10, "@N-10.2");
  EXPECT_EQ(std::string_view(field, 11), "    -12.50?");
  decimal_push_text("1");
  Kes$DPopPict(field, 10, "@N9.2x");  // invalid: blank, and the decimal is still popped
  EXPECT_EQ(std::string_view(field, 11), "          ?");
  // No field at all, or an empty one: the value is consumed, nothing is written.
  for (const std::uint32_t length : {0u, 10u}) {
    decimal_push_text("-12.5");
    Kes$DPopPict(nullptr, length, "@N-10.2");
    decimal_push_text("7");
    Kes$DPopPict(nullptr, length, "@S5");
  }
  decimal_push_text("7");
  Kes$DPopPict(field, 0, "@N9.2");
  EXPECT_EQ(std::string_view(field, 11), "          ?");
}

TEST_F(PictureExports, PicDescPushDeformattedAndStorePict) {
  PicDesc desc;
  desc.Init("@T3");
  desc.PushDeformatted(" 1:05PM");
  EXPECT_EQ(pop_top_text(), "4710001");
  desc.PushDeformatted(nullptr);
  EXPECT_EQ(pop_top_text(), "");
  alignas(PicDesc) unsigned char buffer[sizeof(PicDesc)];
  EXPECT_EQ(Kes$storepict(buffer, "@N9.2"), 20);
  char field[9];
  reinterpret_cast<PicDesc*>(buffer)->StoreLong(field, 9, -5);
  EXPECT_EQ(std::string_view(field, 9), "     5.00");
  EXPECT_EQ(Kes$storepict(nullptr, "@N9.2"), 0);
}

// The machine's regional settings, read at start-up as a program meets them.
class PictureRegionalExports : public PictureExports {
 protected:
  void TearDown() override {
    reset_locale_for_testing();
    platform::set_system_profile_path_for_testing("");
    platform::set_module_path_for_testing("");
    PictureExports::TearDown();
  }
  static void start_with(const std::string& intl) {
    const std::string profile = testing::TempDir() + "kes_pictures_profile.ini";
    std::ofstream(profile, std::ios::binary) << "[intl]\n" << intl;
    platform::set_system_profile_path_for_testing(profile);
    platform::set_module_path_for_testing(testing::TempDir() + "kes_pictures_no_program");
    reset_locale_for_testing();
    Kes$isfinit();
  }
};

constexpr std::int32_t kJan5Of2024 = 81457;

struct ShortDateCase {
  const char* name;
  const char* format;      // the regional short date format
  std::string_view shown;  // 5 January 2024 through @D17
  std::string_view typed;  // a user's own typing of the same date
};
constexpr ShortDateCase kShortDates[] = {
    {"MonthFirst", "MM/dd/yy", "01/05/24", "1/5/24"},
    {"DayFirst", "dd.MM.yyyy", "05.01.2024", "5.1.2024"},
    {"IsoYearFirst", "yyyy-MM-dd", "2024-01-05", "2024-1-5"},
    {"TwoDigitYearFirst", "yy/MM/dd", "24/01/05", "24/1/5"},
    {"YearFirstWithoutLeadingZeros", "yyyy.M.d", "2024. 1. 5", "2024.1.5"},
};

TEST_F(PictureRegionalExports, LocaleShortDateFollowsTheRegionalOrder) {
  for (const ShortDateCase& c : kShortDates) {
    SCOPED_TRACE(c.name);
    start_with("sShortDate=" + std::string(c.format) + "\n");
    Kes$PushPictLong(kJan5Of2024, "@D17");
    EXPECT_EQ(pop_top_text(), c.shown);
    runtime::push_text(c.shown);
    EXPECT_EQ(Kes$PopPictLong("@D17"), kJan5Of2024);
    runtime::push_text(c.typed);
    EXPECT_EQ(Kes$PopPictLong("@D17"), kJan5Of2024);
  }
}

// The locale time pictures show the platform's own AM and PM texts; the others keep the
// library's.
TEST_F(PictureRegionalExports, LocaleTimeShowsThePlatformsAmPmTexts) {
  start_with("s1159=vm\ns2359=nm\n");
  constexpr std::int32_t kOneFivePm = 13 * 360000 + 5 * 6000 + 1;
  Kes$PushPictLong(kOneFivePm, "@T7");
  EXPECT_EQ(pop_top_text(), "01:05 nm");
  Kes$PushPictLong(kOneFivePm, "@T3");
  EXPECT_EQ(pop_top_text(), " 1:05PM");
}

}  // namespace
}  // namespace kes::numeric

// The exports called as compiled code calls them: operands pushed, results popped, the error
// state read afterwards.
#include <cstring>
#include <string>

#include <kestrel/collation.h>

#include <gtest/gtest.h>

#include "files/errors/error_state.h"
#include "numeric/locale/locale_settings.h"
#include "numeric/locale/locale_texts.h"
#include "platform/launch/module_path.h"
#include "platform/profile/profile.h"
#include "runtime/stack/string_stack.h"
#include "tests/support/stack_helpers.h"

namespace kes::numeric {
namespace {

class CollationExportsTest : public testing::Test {
 protected:
  void SetUp() override {
    reset_locale_for_testing();
    depth_ = runtime::string_stack_depth();
  }
  void TearDown() override {
    EXPECT_EQ(runtime::string_stack_depth(), depth_);  // every operand popped
    reset_locale_for_testing();
    files::clear_error();
  }
  int depth_ = 0;
};

// LOCALE(name, value) as compiled code calls it: the value pushed first, the name on top.
void call_locale(std::string_view name, std::string_view value, std::int32_t form = 0) {
  runtime::push_text(value);
  runtime::push_text(name);
  Kes$Locale(form);
}

TEST_F(CollationExportsTest, PaddedAndCountedComparisons) {
  EXPECT_EQ(Kes$comparestr("abc", 3, "abc  ", 5), 0);
  EXPECT_EQ(Kes$comparestr(nullptr, 5, "a", 1), ' ' - 'a');  // no text reads as empty
  EXPECT_EQ(Kes$isfcompare("abc", "abd", 2), 0);
  EXPECT_EQ(Kes$isficompare("a", "B", 1), -1);
  EXPECT_EQ(Kes$isfoemcompare("b", "a", 1), 1);
  EXPECT_EQ(Kes$isfcompare(nullptr, "a", 1), 0);
}

TEST_F(CollationExportsTest, LocaleFileThatCannotBeOpenedSetsErrorTwo) {
  call_locale(testing::TempDir() + "kes_exports_absent.env", "", 1);
  EXPECT_EQ(files::current_error(), files::ErrorCode::NoFile);
  call_locale("WINDOWS", "", 1);
  EXPECT_EQ(files::current_error(), files::ErrorCode::None);
  EXPECT_LT(Kes$comparestr("\xe1", 1, "b", 1), 0);
}

TEST_F(CollationExportsTest, MessageOverrides) {
  EXPECT_EQ(Kes$IsfGetMsg(2), nullptr);
  call_locale("KESMSG2", "Datei nicht gefunden");
  ASSERT_NE(Kes$IsfGetMsg(2), nullptr);
  EXPECT_STREQ(Kes$IsfGetMsg(2), "Datei nicht gefunden");
  call_locale("KESBUTTON", "Ja,Nein");
  EXPECT_STREQ(Kes$IsfGetMsg(32513), "Nein");
}

TEST_F(CollationExportsTest, CollationValCharCaseAndClasses) {
  runtime::push_text("\xff\xff\xff\xff");
  EXPECT_EQ(Kes$CollationVal(), -1);  // all four bytes 255
  Kes$CollationChar(16706);
  EXPECT_EQ(test::pop_top_text(), "BA");
  EXPECT_EQ(Kes$isftoupper('a'), 'A');
  EXPECT_EQ(Kes$isftolower('Q'), 'q');
  EXPECT_EQ(Kes$isftoupper(-1), -1);
  EXPECT_EQ(Kes$isftoupper(256 + 'a'), 256 + 'a');
  EXPECT_EQ(Kes$isfisupper('A'), 1);
  EXPECT_EQ(Kes$isfisupper('a'), 0);
  EXPECT_EQ(Kes$isfislower('a'), 1);
  EXPECT_EQ(Kes$isfislower('A'), 0);
  EXPECT_EQ(Kes$isfisalnum('1'), 1);
  EXPECT_EQ(Kes$isfisalpha(300), 0);
  char text[] = "MiXeD 9";
  Kes$isfupper(text, 5);
  EXPECT_STREQ(text, "MIXED 9");
  Kes$isflower(text, 3);
  EXPECT_STREQ(text, "mixED 9");
  Kes$isfupper(nullptr, 4);
}

struct StackTestCase {
  const char* name;
  std::string_view text;
  std::int32_t alpha;
  std::int32_t upper;
  std::int32_t lower;
};
constexpr StackTestCase kStackTests[] = {
    {"Upper", "Abc", 1, 1, 0}, {"Lower", "abc", 1, 0, 1},     {"Digit", "1a", 0, 0, 0},
    {"Empty", "", 0, 0, 0},    {"Accented", "\xe9", 0, 0, 0},  // no partner in the default tables
};

TEST_F(CollationExportsTest, ClassTestsOnTheStackTop) {
  for (const StackTestCase& c : kStackTests) {
    SCOPED_TRACE(c.name);
    runtime::push_text(c.text);
    EXPECT_EQ(Kes$IsAlpha(), c.alpha);
    runtime::push_text(c.text);
    EXPECT_EQ(Kes$IsUpper(), c.upper);
    runtime::push_text(c.text);
    EXPECT_EQ(Kes$IsLower(), c.lower);
  }
}

TEST_F(CollationExportsTest, CodePageDescriptors) {
  char text[] = "Caf\x82";
  KesTextDescriptor d{text, 4};
  Kes$OEMTOANSIdesc(&d);
  EXPECT_STREQ(text, "Caf\xe9");
  Kes$ANSITOOEMdesc(&d);
  EXPECT_STREQ(text, "Caf\x82");
  Kes$OEMTOANSIdesc(nullptr);
  KesTextDescriptor empty{nullptr, 10};
  Kes$ANSITOOEMdesc(&empty);
}

TEST_F(CollationExportsTest, SortForms) {
  call_locale("KESDIGRAPH", "\xdfss");
  char text[] = "a\xdfz";
  EXPECT_EQ(Kes$isfconvert(text, 3, 0), 4U);
  EXPECT_STREQ(text, "ass");
  char folded[] = "ab";
  EXPECT_EQ(Kes$isfxconvert(folded, 2, KES_SORT_IGNORE_CASE), 2U);
  EXPECT_STREQ(folded, "AB");
  KesCollationBlock block;
  Kes$AccessColSeqInfo(&block, 0);
  block.oem_weight['x'] = 1;
  Kes$AccessColSeqInfo(&block, 1);
  char oem[] = "x";
  EXPECT_EQ(Kes$isfoemconvert(oem, 1, 0), 1U);
  EXPECT_EQ(oem[0], 1);
  char chosen[] = "x";
  EXPECT_EQ(Kes$isfxconvert(chosen, 1, KES_SORT_OEM), 1U);
  EXPECT_EQ(chosen[0], 1);
  EXPECT_EQ(Kes$isfconvert(nullptr, 3, 0), 0U);
}

TEST_F(CollationExportsTest, TableBlockLayout) {
  call_locale("KESCOLSEQ", "ba");
  call_locale("KESDIGRAPH",
              "\xe6"
              "ae");
  unsigned char raw[1152];
  std::memset(raw, 0xEE, sizeof raw);
  Kes$AccessColSeqInfo(reinterpret_cast<KesCollationBlock*>(raw), 0);
  EXPECT_EQ(raw[0 + 'a'], 'b');    // ANSI weights
  EXPECT_EQ(raw[256 + 'b'], 'a');  // OEM weights
  EXPECT_EQ(raw[512 + 'A'], 'a');  // case partners
  EXPECT_EQ(raw[768 + 'a'], 2);    // classes
  EXPECT_EQ(raw[768 + '0'], 4);
  EXPECT_EQ(raw[1024], 0xE6);  // digraphs
  EXPECT_EQ(raw[1025], 'a');
  EXPECT_EQ(raw[1026], 'e');
  EXPECT_EQ(raw[1027], 0);
  EXPECT_EQ(raw[1028], 0);
  EXPECT_EQ(raw[1088], 0x91);  // the OEM copy: ae is 91h there
  EXPECT_EQ(raw[1151], 0);

  // Writing the block back: every table taken over.
  raw[0 + 'z'] = 1;
  raw[512 + 0xE9] = 0xC9;
  raw[768 + 0xE9] = 2;
  raw[1024] = 0;
  Kes$AccessColSeqInfo(reinterpret_cast<KesCollationBlock*>(raw), 7);
  EXPECT_EQ(Kes$comparestr("z", 1, "\x02", 1), -1);
  EXPECT_EQ(Kes$isftoupper(0xE9), 0xC9);
  EXPECT_NE(Kes$comparestr("\xe6", 1, "ae", 2), 0);  // digraphs gone
  Kes$AccessColSeqInfo(nullptr, 0);
}

TEST_F(CollationExportsTest, InitOnlyOnce) {
  platform::set_system_profile_path_for_testing(testing::TempDir() + "kes_exports_none.ini");
  platform::set_module_path_for_testing(testing::TempDir() + "kes_exports_program");
  Kes$isfinit();
  call_locale("KESMONTH", "X");
  Kes$isfinit();  // does nothing the second time
  EXPECT_EQ(month_name(1), "X");
  platform::set_system_profile_path_for_testing("");
  platform::set_module_path_for_testing("");
}

// LOCALE pops two operands in both forms; a stack holding fewer is a fatal error of the
// string stack, not a silent misreading.
TEST(CollationExportsDeathTest, LocaleWithTooFewOperandsIsFatal) {
  EXPECT_EXIT(
      {
        while (runtime::string_stack_depth() > 0)
          runtime::pop_discard();
        runtime::push_text("KESMONTH");
        Kes$Locale(0);
      },
      testing::ExitedWithCode(2), "Stack overflow");
}

}  // namespace
}  // namespace kes::numeric

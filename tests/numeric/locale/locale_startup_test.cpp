// Start-up from the regional settings and the program's settings file, LOCALE of a file, and the
// exports called as compiled code calls them: operands pushed, results popped, the error state
// read afterwards.
#include <cstring>
#include <fstream>
#include <string>

#include <kestrel/collation.h>
#include <kestrel/errors.h>

#include <gtest/gtest.h>

#include "files/errors/error_state.h"
#include "numeric/locale/collation_compare.h"
#include "numeric/locale/collation_tables.h"
#include "numeric/locale/locale_settings.h"
#include "numeric/locale/locale_state.h"
#include "numeric/locale/locale_texts.h"
#include "platform/launch/module_path.h"
#include "platform/profile/profile.h"
#include "runtime/stack/string_stack.h"
#include "tests/support/stack_helpers.h"

namespace kes::numeric {
namespace {

std::string temp_path(const std::string& name) { return testing::TempDir() + "kes_locale_" + name; }

std::string write_temp(const std::string& name, const std::string& text) {
  const std::string path = temp_path(name);
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

class LocaleStartupTest : public testing::Test {
 protected:
  void SetUp() override {
    reset_locale_for_testing();
    // No profile and no settings file unless a test writes them.
    platform::set_system_profile_path_for_testing(temp_path("no_profile.ini"));
    platform::set_module_path_for_testing(temp_path("no_program"));
    depth_ = runtime::string_stack_depth();
  }
  void TearDown() override {
    EXPECT_EQ(runtime::string_stack_depth(), depth_);  // every operand popped
    reset_locale_for_testing();
    platform::set_system_profile_path_for_testing("");
    platform::set_module_path_for_testing("");
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

struct PathCase {
  const char* name;
  std::string_view program;
  std::string_view settings;
};
constexpr PathCase kPaths[] = {
    {"Extension", "/opt/app/invoice.exe", "/opt/app/invoice.ENV"},
    {"NoExtension", "/opt/app/invoice", "/opt/app/invoice.ENV"},
    {"DotInDirectoryOnly", "/opt/app.d/invoice", "/opt/app.d/invoice.ENV"},
    {"LastDotCounts", "/opt/app/inv.oice.exe", "/opt/app/inv.oice.ENV"},
    {"BackslashPath", "C:\\APP.V2\\INV.EXE", "C:\\APP.V2\\INV.ENV"},
    {"NameIsAnExtension", "/opt/app/.profile", "/opt/app/.ENV"},
    {"BareName", "invoice.exe", "invoice.ENV"},
};

TEST_F(LocaleStartupTest, SettingsFileLiesBesideTheProgram) {
  for (const PathCase& c : kPaths) {
    SCOPED_TRACE(c.name);
    platform::set_module_path_for_testing(c.program);
    char out[64];
    const std::size_t n = program_settings_path(out, sizeof out);
    EXPECT_EQ(std::string_view(out, n), c.settings);
    // A buffer one byte short of the settings path gives nothing.
    EXPECT_EQ(program_settings_path(out, c.settings.size() - 1), 0U);
  }
}

TEST_F(LocaleStartupTest, DefaultsWithoutProfileOrSettingsFile) {
  files::post_error(files::ErrorCode::NoPath);
  initialize_locale();
  EXPECT_EQ(files::current_error(), files::ErrorCode::None);
  // The built-in defaults stay; their values are checked beside the locale texts.
  EXPECT_TRUE(regional_settings().twelve_hour_clock);
  EXPECT_EQ(regional_settings().short_date, "MM/dd/yy");
  EXPECT_EQ(month_name(1), "January");
  platform::set_system_profile_path_for_testing(  // non-numeric numbers keep the defaults too
      write_temp("profile_bad.ini", "[intl]\niTime=x\niTLzero=\n"));
  read_regional_settings();
  EXPECT_TRUE(regional_settings().twelve_hour_clock);
  EXPECT_TRUE(regional_settings().hour_leading_zero);
}

TEST_F(LocaleStartupTest, ReadsRegionalSettingsThenTheProgramsFileOnce) {
  platform::set_system_profile_path_for_testing(write_temp(
      "profile.ini",
      "[intl]\niTime=1\niTLzero=0\nsTime=.\ns1159=vorm\ns2359=nachm\nsShortDate=dd.MM.yyyy\n"
      "sLongDate=dddd, d. MMMM yyyy\n"));
  write_temp("program.ENV", "KESMONTH=Januar\r\nKESAMPM=WINDOWS\r\nKESMSG2=Fehlt\r\n");
  platform::set_module_path_for_testing(temp_path("program.exe"));
  collation_tables().ansi_weight['a'] = 'b';  // copied to the OEM table at start-up
  files::post_error(files::ErrorCode::NoFile);

  initialize_locale();
  const RegionalSettings& r = regional_settings();
  EXPECT_FALSE(r.twelve_hour_clock);
  EXPECT_FALSE(r.hour_leading_zero);
  EXPECT_EQ(r.time_separator, ".");
  EXPECT_EQ(r.am, "vorm");
  EXPECT_EQ(r.pm, "nachm");
  EXPECT_EQ(r.short_date, "dd.MM.yyyy");
  EXPECT_EQ(r.long_date, "dddd, d. MMMM yyyy");
  EXPECT_EQ(month_name(1), "Januar");
  EXPECT_EQ(am_text(), "vo");
  EXPECT_EQ(pm_text(), "na");
  EXPECT_EQ(message_override(2), "Fehlt");
  EXPECT_EQ(collation_tables().oem_weight['a'], 'b');
  EXPECT_EQ(files::current_error(), files::ErrorCode::None);

  write_temp("program.ENV", "KESMONTH=Jänner\r\n");
  initialize_locale();  // later calls do nothing
  EXPECT_EQ(month_name(1), "Januar");
}

TEST_F(LocaleStartupTest, LocaleWindowsSetsThreeSettings) {
  platform::set_system_profile_path_for_testing(
      write_temp("profile_windows.ini", "[intl]\ns1159=morning\ns2359=evening\n"));
  read_regional_settings();
  const char* names[] = {"WINDOWS", "windows", "Windows   "};
  for (const char* name : names) {
    SCOPED_TRACE(name);
    EXPECT_EQ(locale_file(name), files::ErrorCode::None);
    EXPECT_EQ(am_text(), "mo");
    EXPECT_EQ(pm_text(), "ev");
    EXPECT_LT(compare_padded("\xe1", "b"), 0);  // language order
    EXPECT_EQ(to_upper_char(0xE9), 0xC9);       // the platform's letters
  }
}

TEST_F(LocaleStartupTest, LocaleFileReadsAFileOrGivesErrorTwo) {
  const std::string path = write_temp("named.env", "KESMON=Jnr,Fbr\n");
  EXPECT_EQ(locale_file(path + "   "), files::ErrorCode::None);
  EXPECT_EQ(month_abbreviation(2), "Fbr");
  EXPECT_EQ(locale_file(temp_path("absent.env")), files::ErrorCode::NoFile);
  EXPECT_EQ(locale_file(""), files::ErrorCode::NoFile);
  EXPECT_EQ(locale_file("WINDOWZ"), files::ErrorCode::NoFile);  // WINDOWS's length, not its name
  EXPECT_EQ(locale_file(testing::TempDir()), files::ErrorCode::NoFile);  // a directory
}

TEST_F(LocaleStartupTest, HugeFileIsReadToTheEnd) {
  std::string text;
  text.reserve(6 << 20);
  while (text.size() < (6U << 20))
    text += "KESMSG1=" + std::string(2000, 'x') + "\r\n";
  text += "KESMONTH=Last";  // no final line end
  const std::string path = write_temp("huge.env", text);
  EXPECT_EQ(read_settings_file(path), files::ErrorCode::None);
  EXPECT_EQ(month_name(1), "Last");
  EXPECT_EQ(message_override(1)->size(), 396U);
}

// A file that never ends (a device that keeps producing bytes) is read only so far: LOCALE
// returns and reports it as a file it cannot read, as a program sees it through ERRORCODE().
TEST_F(LocaleStartupTest, FileThatNeverEndsIsUnreadable) {
  files::clear_error();
  call_locale("/dev/zero", "", 1);
  EXPECT_EQ(Kes$ErrCodeVal(), 2);
  call_locale("WINDOWS", "", 1);  // a LOCALE that succeeds clears it
  EXPECT_EQ(Kes$ErrCodeVal(), 0);
  EXPECT_EQ(read_settings_file("/dev/zero"), files::ErrorCode::NoFile);
}

struct LocaleSettingCase {
  const char* name;
  std::string_view setting;
  std::string_view value;
  std::string_view month;
};
constexpr LocaleSettingCase kLocaleSettings[] = {
    {"Plain", "KESMONTH", "Jan", "Jan"},
    {"NameSpacesDropped", " KES MONTH ", "Jan", "Jan"},
    {"TrailingBlanksDropped", "KESMONTH", "Jan   \t", "Jan"},
    {"ControlCharacterEndsName", std::string_view("KESMONTH\0X", 10), "Jan", "Jan"},
    {"UnknownName", "KESMONTHX", "Jan", "January"},
};

TEST_F(LocaleStartupTest, LocaleOfOneSetting) {
  for (const LocaleSettingCase& c : kLocaleSettings) {
    SCOPED_TRACE(c.name);
    reset_locale_for_testing();
    locale_setting(c.setting, c.value);
    EXPECT_EQ(month_name(1), c.month);
  }
  locale_setting("KESMSG9", std::string(400, 'm'));  // values are cut at 299
  EXPECT_EQ(message_override(9)->size(), 299U);
}

TEST_F(LocaleStartupTest, ComparisonsCollationValuesCaseAndClasses) {
  EXPECT_EQ(Kes$comparestr("abc", 3, "abc  ", 5), 0);
  EXPECT_EQ(Kes$comparestr(nullptr, 5, "a", 1), ' ' - 'a');  // no text reads as empty
  EXPECT_EQ(Kes$isfcompare("abc", "abd", 2), 0);
  EXPECT_EQ(Kes$isficompare("a", "B", 1), -1);
  EXPECT_EQ(Kes$isfoemcompare("b", "a", 1), 1);
  EXPECT_EQ(Kes$isfcompare(nullptr, "a", 1), 0);
  runtime::push_text("\xff\xff\xff\xff");  // collation values and characters, case, classes
  EXPECT_EQ(Kes$CollationVal(), -1);       // all four bytes 255
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

TEST_F(LocaleStartupTest, MessageOverridesSurviveASecondInit) {
  EXPECT_EQ(Kes$IsfGetMsg(2), nullptr);
  Kes$isfinit();
  call_locale("KESMSG2", "Datei nicht gefunden");
  ASSERT_NE(Kes$IsfGetMsg(2), nullptr);
  EXPECT_STREQ(Kes$IsfGetMsg(2), "Datei nicht gefunden");
  call_locale("KESBUTTON", "Ja,Nein");
  EXPECT_STREQ(Kes$IsfGetMsg(32513), "Nein");
  Kes$isfinit();  // does nothing the second time
  EXPECT_STREQ(Kes$IsfGetMsg(2), "Datei nicht gefunden");
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

TEST_F(LocaleStartupTest, ClassTestsOnTheStackTop) {
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

TEST_F(LocaleStartupTest, CodePageDescriptors) {
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

TEST_F(LocaleStartupTest, SortForms) {
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

TEST_F(LocaleStartupTest, TableBlockLayout) {
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

// LOCALE pops two operands in both forms; a stack holding fewer is a fatal error of the
// string stack, not a silent misreading.
TEST(LocaleExportsDeathTest, LocaleWithTooFewOperandsIsFatal) {
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

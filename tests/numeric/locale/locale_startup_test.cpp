// Start-up from the regional settings and the program's settings file, and LOCALE of a file.
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
  }
  void TearDown() override {
    reset_locale_for_testing();
    platform::set_system_profile_path_for_testing("");
    platform::set_module_path_for_testing("");
    files::clear_error();
  }
};

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

TEST_F(LocaleStartupTest, NonNumericRegionalNumbersKeepDefaults) {
  platform::set_system_profile_path_for_testing(
      write_temp("profile_bad.ini", "[intl]\niTime=x\niTLzero=\n"));
  initialize_locale();
  EXPECT_TRUE(regional_settings().twelve_hour_clock);
  EXPECT_TRUE(regional_settings().hour_leading_zero);
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
  runtime::push_text("");
  runtime::push_text("/dev/zero");
  Kes$Locale(1);
  EXPECT_EQ(Kes$ErrCodeVal(), 2);
  EXPECT_EQ(runtime::string_stack_depth(), 0);
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
}

TEST_F(LocaleStartupTest, LocaleValuesAreCutAt299) {
  locale_setting("KESMSG9", std::string(400, 'm'));
  EXPECT_EQ(message_override(9)->size(), 299U);
}

}  // namespace
}  // namespace kes::numeric

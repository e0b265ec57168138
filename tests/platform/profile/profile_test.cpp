// The system profile: its location and the reading of "key=value" lines by section.
#include "platform/profile/profile.h"

#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "platform/profile/regional.h"

namespace kes::platform {
namespace {

std::string write_temp(const std::string& name, const std::string& text) {
  const std::string path = testing::TempDir() + "kes_profile_" + name;
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

std::optional<std::string> read(const std::string& path, std::string_view section,
                                std::string_view key, std::size_t capacity = 64) {
  std::string out(capacity, '#');
  const std::optional<std::size_t> n = read_profile_string(path, section, key, out);
  if (!n) return std::nullopt;
  return out.substr(0, *n);
}

constexpr const char* kProfile =
    "; comment line\r\n"
    "[Windows]\r\n"
    "iTime=5\r\n"
    "[ intl ]\r\n"
    "  iTime = 1  \r\n"
    "sTime=.\r\n"
    "s1159=\"am \"\r\n"
    "sShortDate=dd/MM/yyyy\n"
    "Empty=\n"
    "; s2359=XX\n"
    "NoEquals\n"
    "[Other]\n"
    "sTime=-\n"
    "[INTL]\n"
    "sLongDate=dddd d MMMM yyyy";  // no final line end

struct ProfileCase {
  const char* name;
  std::string_view section;
  std::string_view key;
  std::optional<std::string> value;
};

TEST(ProfileRead, FindsKeysBySectionWithoutRegardToCase) {
  const std::string path = write_temp("keys.ini", kProfile);
  const ProfileCase cases[] = {
      {"BlanksAroundNamesAndValuesDropped", "intl", "iTime", "1"},
      {"OtherSectionNotMixedIn", "windows", "ITIME", "5"},
      {"QuotesRemoved", "Intl", "s1159", "am "},
      {"LineFeedOnly", "intl", "sShortDate", "dd/MM/yyyy"},
      {"EmptyValue", "intl", "Empty", ""},
      {"CommentedOut", "intl", "s2359", std::nullopt},
      {"SectionSeenTwice", "intl", "sLongDate", "dddd d MMMM yyyy"},
      {"SectionOfItsOwn", "other", "sTime", "-"},
      {"MissingSection", "none", "sTime", std::nullopt},
      {"LineWithoutEquals", "intl", "NoEquals", std::nullopt},
  };
  for (const ProfileCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(read(path, c.section, c.key), c.value);
  }
}

TEST(ProfileRead, CutsValuesToTheBuffer) {
  const std::string path = write_temp("cut.ini", "[intl]\nsLongDate=abcdefgh\n");
  EXPECT_EQ(read(path, "intl", "sLongDate", 3), "abc");
  EXPECT_EQ(read(path, "intl", "sLongDate", 0), "");
}

TEST(ProfileRead, MissingFileReadsNothing) {
  EXPECT_EQ(read(testing::TempDir() + "kes_profile_absent.ini", "intl", "iTime"), std::nullopt);
  EXPECT_EQ(read("", "intl", "iTime"), std::nullopt);
}

TEST(ProfileRead, OverlongLinesAreCut) {
  std::string text = "[intl]\nsTime=" + std::string(10000, 'x') + "\ns1159=AM\n";
  const std::string path = write_temp("long.ini", text);
  const std::optional<std::string> value = read(path, "intl", "sTime", 20000);
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(value->size(), 4095U - 6U);  // the line's first 4095 bytes, less "sTime="
  EXPECT_EQ(read(path, "intl", "s1159"), "AM");
}

TEST(ProfileLocation, TestsCanPointItElsewhere) {
  const std::string path = write_temp("regional.ini", "[intl]\ns2359=pm\n");
  set_system_profile_path_for_testing(path);
  char buffer[4096];
  const std::size_t n = system_profile_path(buffer);
  EXPECT_EQ(std::string(buffer, n), path);
  char value[8];
  const std::optional<std::size_t> m = read_regional_setting("s2359", value);
  ASSERT_TRUE(m.has_value());
  EXPECT_EQ(std::string(value, *m), "pm");
  EXPECT_FALSE(read_regional_setting("s1159", value).has_value());
  set_system_profile_path_for_testing("");
  EXPECT_GT(system_profile_path(buffer), 0U);
}

}  // namespace
}  // namespace kes::platform

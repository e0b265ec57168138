// GETINI and PUTINI called as compiled code calls them: operands pushed (the section last, on
// top), the export called, the result popped.
#include <optional>
#include <string>

#include <kestrel/ini.h>

#include <gtest/gtest.h>

#include "platform/profile.h"
#include "runtime/string_stack.h"
#include "tests/support/stack_helpers.h"
#include "tests/support/temp_folder.h"

namespace kes::services {
namespace {

std::string get_ini(std::string_view section, std::string_view entry, std::string_view fallback,
                    std::string_view file) {
  const int depth = runtime::string_stack_depth();
  runtime::push_text(file);
  runtime::push_text(fallback);
  runtime::push_text(entry);
  runtime::push_text(section);
  Kes$GETINI();
  std::string value = test::pop_top_text();
  EXPECT_EQ(runtime::string_stack_depth(), depth);
  return value;
}

void put_ini(std::string_view section, std::optional<std::string_view> entry,
             std::optional<std::string_view> value, std::string_view file) {
  const int depth = runtime::string_stack_depth();
  runtime::push_text(file);
  runtime::push_text(value.value_or("omitted"));
  runtime::push_text(entry.value_or("omitted"));
  runtime::push_text(section);
  Kes$PUTINI(entry ? 0 : 1, value ? 0 : 1);
  EXPECT_EQ(runtime::string_stack_depth(), depth);  // omitted operands popped too
}

const std::string kLong63 = std::string(63, 'S');

struct GetCase {
  const char* name;
  std::string_view file;  // a file of the folder; "" for the system profile
  std::string section;
  std::string entry;
  std::string fallback;
  std::string value;
};

TEST(IniGet, ReadsEntriesOrTheDefault) {
  test::TempFolder folder("ini_get");
  const std::string long_value(1500, 'v');
  folder.write("app.ini", "[Main]\r\nColor = Blue  \r\nBlank=\r\n[" + kLong63 +
                              "]\r\nLong=" + long_value + "\r\n[Last]\r\nEnd=final");
  folder.write("win.ini", "[Windows]\nLoad=clock\n");
  folder.write("binary.ini", std::string("\x00\xff\n[Main]\n\x01=\x02\nColor=Red\x00Green\n", 30));
  platform::set_system_profile_path_for_testing(folder.file("win.ini"));
  const GetCase cases[] = {
      {"Present", "app.ini", "main", "COLOR", "x", "Blue"},
      {"PresentButEmpty", "app.ini", "Main", "Blank", "x", ""},
      {"AbsentGivesDefaultClipped", "app.ini", "Main", "Size", "def   ", "def"},
      {"AbsentSection", "app.ini", "None", "Color", "d", "d"},
      {"MissingFile", "none.ini", "Main", "Color", "d", "d"},
      {"DirectoryIsNoFile", ".", "Main", "Color", "d", "d"},
      {"NoFinalLineEnd", "app.ini", "Last", "End", "d", "final"},
      {"SectionCutTo63", "app.ini", kLong63 + "XYZ", "Long", "d", long_value.substr(0, 1023)},
      {"DefaultCutTo1023", "app.ini", "Main", "Size", long_value, long_value.substr(0, 1023)},
      {"EntryCutTo63", "app.ini", "Main", "Color" + std::string(58, ' ') + "XX", "d", "Blue"},
      {"SystemProfile", "", "windows", "load", "d", "clock"},
      {"BinaryFileEndsAtZero", "binary.ini", "Main", "Color", "d", "Red"},
      {"NameWithEquals", "app.ini", "Main", "Color=Blue", "d", "d"},
  };
  for (const GetCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = c.file.empty() ? "" : folder.file(c.file);
    EXPECT_EQ(get_ini(c.section, c.entry, c.fallback, file), c.value);
  }
  platform::set_system_profile_path_for_testing("");
}

TEST(IniPut, WritesAndDeletesAndHonoursOmittedOperands) {
  test::TempFolder folder("ini_put");
  const std::string file = folder.write("app.ini", "; settings\n[Main]\nColor=Blue\nSize=3\n");
  put_ini("Main", "Color", "Red   ", file);  // trailing blanks removed
  put_ini("Other", "Name", "John Smith", file);
  EXPECT_EQ(get_ini("main", "color", "", file), "Red");
  EXPECT_EQ(folder.read("app.ini"),
            "; settings\n[Main]\nColor=Red\nSize=3\n\n[Other]\nName=John Smith\n");
  put_ini("Main", "Size", std::nullopt, file);
  EXPECT_EQ(get_ini("Main", "Size", "gone", file), "gone");
  EXPECT_EQ(get_ini("Main", "Color", "", file), "Red");
  put_ini("Other", std::nullopt, "ignored", file);
  EXPECT_EQ(get_ini("Other", "Name", "gone", file), "gone");
  EXPECT_EQ(folder.read("app.ini"), "; settings\n[Main]\nColor=Red\n\n");
  // Names the format cannot hold leave the file as it was.
  put_ini("Main", "A=B", "1", file);
  put_ini("Ma]in", "A", "1", file);
  EXPECT_EQ(folder.read("app.ini"), "; settings\n[Main]\nColor=Red\n\n");
}

TEST(IniPut, LongOperandsAreCutToTheirBuffers) {
  test::TempFolder folder("ini_cut");
  const std::string file = folder.file("cut.ini");
  put_ini(kLong63 + "ABC", std::string(70, 'e'), std::string(2000, 'v'), file);
  EXPECT_EQ(folder.read("cut.ini"),
            "[" + kLong63 + "]\r\n" + std::string(63, 'e') + "=" + std::string(1023, 'v') + "\r\n");
}

}  // namespace
}  // namespace kes::services

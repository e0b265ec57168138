// GETINI and PUTINI called as compiled code calls them: operands pushed (the section last, on
// top), the export called, the result popped.
#include <optional>
#include <string>

#include <kestrel/ini.h>

#include <gtest/gtest.h>

#include "platform/profile/profile.h"
#include "runtime/stack/string_stack.h"
#include "tests/support/stack_helpers.h"
#include "tests/support/temp_folder.h"

namespace kes::services {
namespace {

std::string get_ini(std::string_view section, std::string_view entry, std::string_view fallback,
                    std::string_view file) {
  for (std::string_view operand : {file, fallback, entry, section})
    runtime::push_text(operand);
  Kes$GETINI();
  return test::pop_top_text();
}

void put_ini(std::string_view section, std::optional<std::string_view> entry,
             std::optional<std::string_view> value, std::string_view file) {
  for (std::string_view operand : {file, value.value_or("x"), entry.value_or("x"), section})
    runtime::push_text(operand);
  Kes$PUTINI(entry ? 0 : 1, value ? 0 : 1);  // omitted operands are popped all the same
}

TEST(IniExports, ReadWriteAndDelete) {
  test::TempFolder folder("ini_exports");
  const int depth = runtime::string_stack_depth();
  const std::string s63(63, 'S'), v1500(1500, 'v');
  const std::string file = folder.write("app.ini", "; keep\n[Main]\nColor = Blue  \n[" + s63 +
                                                       "]\nLong=" + v1500 + "\n[End]\nLast=x");
  folder.write("bin.ini", std::string("\x00\xff\n[B]\nColor=Red\x00Green", 22));
  // Not named WIN.INI: Windows reads some sections of any file of that name from the registry.
  platform::set_system_profile_path_for_testing(
      folder.write("profile.ini", "[Windows]\nLoad=clock\n"));
  EXPECT_EQ(get_ini("main", "COLOR", "d", file), "Blue");
  EXPECT_EQ(get_ini("Main", "Size", "def   ", file), "def");  // the default, clipped
  EXPECT_EQ(get_ini("End", "Last", "d", file), "x");          // no final line end
  EXPECT_EQ(get_ini(s63 + "XYZ", "Long", "d", file), v1500.substr(0, 1023));
  EXPECT_EQ(get_ini("Main", "Size", v1500, file), v1500.substr(0, 1023));
  EXPECT_EQ(get_ini("windows", "load", "d", ""), "clock");  // the system profile
  EXPECT_EQ(get_ini("B", "Color", "d", folder.file("bin.ini")), "Red");
  EXPECT_EQ(get_ini("Main", "Color", "d", folder.file("none.ini")), "d");
  EXPECT_EQ(get_ini("Main", "Color", "d", folder.path()), "d");  // a folder is no file

  put_ini("Main", "Color", "Red   ", file);
  put_ini("Other", "Name", "John Smith", file);
  put_ini("Main", "A=B", "1", file);  // a name no line can hold: nothing written
  put_ini(s63, "Long", std::nullopt, file);
  put_ini("End", std::nullopt, "x", file);
  EXPECT_EQ(get_ini("Main", "Color", "d", file), "Red");
  EXPECT_EQ(get_ini("Other", "Name", "d", file), "John Smith");
  EXPECT_EQ(get_ini("Main", "A", "d", file), "d");
  EXPECT_EQ(get_ini(s63, "Long", "d", file), "d");
  EXPECT_EQ(get_ini("End", "Last", "d", file), "d");
  put_ini(s63 + "ABC", std::string(70, 'e'), v1500, folder.file("cut.ini"));
  EXPECT_EQ(get_ini(s63 + "XYZ", std::string(64, 'e'), "d", folder.file("cut.ini")),
            v1500.substr(0, 1023));  // both names cut to 63 bytes on the way in and out
#ifndef _WIN32
  // Our own writer changes only the lines it concerns; the Win32 profile calls write the lines
  // they touch in a form of their own ("Color=Red").
  EXPECT_EQ(folder.read("app.ini"),
            "; keep\n[Main]\nColor = Red\n[" + s63 + "]\n[Other]\nName=John Smith\n");
  EXPECT_EQ(folder.read("cut.ini"),
            "[" + s63 + "]\r\n" + std::string(63, 'e') + "=" + v1500.substr(0, 1023) + "\r\n");
#endif
  EXPECT_EQ(runtime::string_stack_depth(), depth);
  platform::set_system_profile_path_for_testing("");
}

}  // namespace
}  // namespace kes::services

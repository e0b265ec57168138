// GETINI and PUTINI called as compiled code calls them: operands pushed (the section last, on
// top), the export called, the result popped. GETINIGROUP and PUTINIGROUP over a group laid out
// as the compiler lays it out:
//
//   (unnamed) GROUP            27 bytes
//     Name    STRING(10)       offset 0
//     Count   LONG             offset 10
//     Rate    LONG, DIM(3)     offset 14
//     Sub     GROUP            offset 26
//       Flag  BYTE             offset 26
#include <cstring>
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

constexpr unsigned char kGroupType[] = {
    0x16, 0x00, 27,  0,   0,   0,   5,   0,  0,  0, 0, 0, 0, 0,  // the group, no name
    0x12, 0x02, 10,  'N', 'a', 'm', 'e', 0,                      // Name at 0
    0x06, 0x0A, 'C', 'o', 'u', 'n', 't', 0,  10,                 // Count at 10
    0x06, 0x1A, 'R', 'a', 't', 'e', 0,   14, 1,  3,              // Rate at 14, DIM(3)
    0x16, 0x0A, 1,   0,   0,   0,   1,   0,  0,  0, 0, 0, 0, 0, 'S', 'u', 'b', 0, 26,  // Sub at 26
    0x01, 0x02, 'F', 'l', 'a', 'g', 0,  // Flag at 0 in Sub
};

struct Group {
  char bytes[27];
  void set(std::string_view name, std::int32_t count, std::int32_t r1, std::int32_t r2,
           std::int32_t r3, std::uint8_t flag) {
    const std::int32_t longs[] = {count, r1, r2, r3};
    std::memset(bytes, ' ', 10);
    std::memcpy(bytes, name.data(), name.size());
    std::memcpy(bytes + 10, longs, sizeof longs);
    bytes[26] = static_cast<char>(flag);
  }
};

void push_section_and_file(std::string_view section, std::string_view file) {
  runtime::push_text(file);
  runtime::push_text(section);
}

TEST(IniGroups, WriteEveryFieldAndReadItBack) {
  test::TempFolder folder("ini_group");
  const std::string file = folder.file("group.ini");
  const int depth = runtime::string_stack_depth();
  Group group{};
  group.set("John", 42, 1, -2, 300, 7);
  push_section_and_file("Group", file);
  KES$PUTINIGROUP(group.bytes, sizeof group.bytes, kGroupType);
#ifndef _WIN32
  // The string goes out with its trailing blanks; the Win32 profile calls may drop them, and
  // every reader does.
  EXPECT_EQ(folder.read("group.ini"),
            "[Group]\r\nName=John      \r\nCount=42\r\nRate_1=1\r\nRate_2=-2\r\nRate_3=300\r\n"
            "Flag=7\r\n");
#endif

  Group read{};
  read.set("x", 9, 9, 9, 9, 9);
  push_section_and_file("GROUP", file);
  EXPECT_EQ(KES$GETINIGROUP(read.bytes, sizeof read.bytes, kGroupType), 1);
  EXPECT_EQ(std::memcmp(read.bytes, group.bytes, sizeof group.bytes), 0);

  // No entry, or only empty ones: every field from the empty text, strings blank and numbers 0.
  const std::string other =
      folder.write("other.ini", "[Empty]\nName=\nCount=\n[Long]\nName=" + std::string(1500, 'n'));
  push_section_and_file("Empty", other);
  EXPECT_EQ(KES$GETINIGROUP(read.bytes, sizeof read.bytes, kGroupType), 0);
  Group cleared{};
  cleared.set("", 0, 0, 0, 0, 0);
  EXPECT_EQ(std::memcmp(read.bytes, cleared.bytes, sizeof read.bytes), 0);
  push_section_and_file("Long", other);
  EXPECT_EQ(KES$GETINIGROUP(read.bytes, sizeof read.bytes, kGroupType), 1);
  EXPECT_EQ(std::string(read.bytes, 10), std::string(10, 'n'));
  EXPECT_EQ(runtime::string_stack_depth(), depth);
}

}  // namespace
}  // namespace kes::services

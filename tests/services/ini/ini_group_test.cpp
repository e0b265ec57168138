// GETINIGROUP and PUTINIGROUP over a group laid out as the compiler lays it out:
//
//   (unnamed) GROUP            27 bytes
//     Name    STRING(10)       offset 0
//     Count   LONG             offset 10
//     Rate    LONG, DIM(3)     offset 14
//     Sub     GROUP            offset 26
//       Flag  BYTE             offset 26
#include <cstring>
#include <string>

#include <kestrel/ini.h>

#include <gtest/gtest.h>

#include "runtime/stack/string_stack.h"
#include "tests/support/temp_folder.h"

namespace kes::services {
namespace {

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

// Wildcard names as Windows searches match them; directory searches on POSIX hosts: order,
// attributes, sizes and local write times.
#include <filesystem>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <gtest/gtest.h>

#include "platform/dirs/dirs.h"
#include "tests/support/temp_folder.h"

namespace kes::platform {
namespace {

struct MatchCase {
  const char* name;
  std::string_view pattern;
  std::string_view file;
  bool matches;
};

TEST(NameMatches, FollowsTheWindowsWildcards) {
  const MatchCase cases[] = {
      {"StarDotStarTakesNamesWithoutDot", "*.*", "README", true},
      {"ExtensionWithoutRegardToCase", "*.TXT", "notes.txt", true},
      {"QuestionIsOneCharacter", "a?c", "ABC", true},
      {"TrailingDotTakesNoExtension", "*.", "README", true},
      {"TrailingDotRefusesExtension", "*.", "a.txt", false},
      {"StarsBacktrack", "a*b*c", "aXbYbZc", true},
      {"StarsCannotSkipTheEnd", "a*b*c", "abcb", false},
      {"LiteralIsWhole", "Make", "Makefile", false},
  };
  for (const MatchCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(name_matches(c.pattern, c.file), c.matches);
  }
}

#ifndef _WIN32
struct Expected {
  std::string name;
  std::uint32_t attributes;
  std::uint64_t size;
};

TEST(DirectorySearch, ListsNamesInOrderWithTheirAttributes) {
  test::TempFolder folder("dirs_search");
  folder.write("b.txt", "12345");
  folder.write("A.TXT", "");
  folder.write(".hidden", "x");
  const std::string read_only = folder.write("ro.txt", "ro");
  ::chmod(read_only.c_str(), 0444);
  std::filesystem::create_directory(folder.file("sub"));
  ASSERT_EQ(::mkfifo(folder.file("pipe").c_str(), 0644), 0);
  std::filesystem::create_symlink(folder.file("nowhere"), folder.file("zlink"));
  folder.set_written("b.txt", 2024, 3, 5, 10, 15, 7);

  const Expected expected[] = {
      {".", 0x10, 0},
      {"..", 0x10, 0},
      {".hidden", 0x22, 1},
      {"A.TXT", 0x20, 0},
      {"b.txt", 0x20, 5},
      {"pipe", 0x04, 0},
      {"ro.txt", 0x21, 2},
      {"sub", 0x10, 0},
      {"zlink", 0x04, folder.file("nowhere").size()},  // the link itself
  };
  DirectorySearch search;
  std::size_t index = 0;
  for (bool found = search.first(folder.path() + "/*"); found; found = search.next(), ++index) {
    ASSERT_LT(index, std::size(expected));
    const FoundFile& file = search.file();
    SCOPED_TRACE(file.name);
    EXPECT_EQ(file.name, expected[index].name);
    EXPECT_EQ(file.short_name, "");
    EXPECT_EQ(file.attributes, expected[index].attributes);
    if ((file.attributes & 0x10) == 0) {
      EXPECT_EQ(file.size, expected[index].size);
    }
    if (file.name == "b.txt") {
      const FileTime& t = file.written;
      EXPECT_EQ(std::vector<int>({t.year, t.month, t.day, t.hour, t.minute, t.second}),
                std::vector<int>({2024, 3, 5, 10, 15, 7}));
    }
  }
  EXPECT_EQ(index, std::size(expected));
  EXPECT_TRUE(search.first(folder.path() + "/*.txt"));
  EXPECT_EQ(search.file().name, "A.TXT");
  EXPECT_FALSE(search.first(folder.path() + "/*.none"));
  EXPECT_FALSE(search.first(folder.path() + "/"));
  EXPECT_FALSE(search.first(folder.file("missing") + "/*"));
}
#endif

}  // namespace
}  // namespace kes::platform

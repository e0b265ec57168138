// Both lists over real folders: records, single matches, and a folder of 100,000 files.
#include <ctime>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "services/command/directory_list.h"
#include "tests/support/temp_folder.h"

namespace kes::services {
namespace {

template <typename Record>
std::vector<Record> listed(std::size_t (*list)(std::string_view, std::uint8_t, RecordSink, void*),
                           const std::string& pattern, std::uint8_t requested) {
  std::vector<Record> records;
  const std::size_t count = list(
      pattern, requested,
      [](void* context, const void* record, std::size_t size) {
        EXPECT_EQ(size, sizeof(Record));
        static_cast<std::vector<Record>*>(context)->push_back(*static_cast<const Record*>(record));
      },
      &records);
  EXPECT_EQ(count, records.size());
  return records;
}

void set_written(const std::string& path, int hour, int minute, int second) {
  std::tm local{};
  local.tm_year = 2024 - 1900;
  local.tm_mon = 2;
  local.tm_mday = 5;
  local.tm_hour = hour;
  local.tm_min = minute;
  local.tm_sec = second;
  local.tm_isdst = -1;
  const timespec times[2] = {{std::mktime(&local), 0}, {std::mktime(&local), 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

TEST(DirectoryLists, RecordTheFilesOfAFolder) {
  test::TempFolder folder("dirlist_records");
  set_written(folder.write("averylongfilename.text", "12345"), 10, 15, 7);
  folder.write(".hidden", "");
  ::mkdir(folder.file("sub").c_str(), 0755);

  const auto dos = listed<KesDirectoryRecord>(list_directory, folder.path() + "/*.*", 0);
  ASSERT_EQ(dos.size(), 1U);
  EXPECT_EQ(std::string(dos[0].name, 13), "averylongfil ");
  EXPECT_EQ(dos[0].date, 81517);    // 5 March 2024
  EXPECT_EQ(dos[0].time, 3690601);  // 10:15:06
  EXPECT_EQ(dos[0].size, 5);
  EXPECT_EQ(dos[0].attributes, 0x20);

  const auto lfn = listed<KesLongDirectoryRecord>(list_long_directory, folder.path() + "/*", 0);
  ASSERT_EQ(lfn.size(), 1U);
  EXPECT_EQ(std::string(lfn[0].name, 22), "averylongfilename.text");
  EXPECT_EQ(lfn[0].name[22], ' ');
  EXPECT_EQ(std::string(lfn[0].short_name, 13), "averylongfile");
  EXPECT_EQ(lfn[0].time, 3690701);  // 10:15:07

  // Directories asked for: ".", "..", "sub" and the file; the hidden file needs hidden too.
  EXPECT_EQ(listed<KesDirectoryRecord>(list_directory, folder.path() + "/*", 0x10).size(), 4U);
  EXPECT_EQ(listed<KesDirectoryRecord>(list_directory, folder.path() + "/*", 0x12).size(), 5U);
  EXPECT_EQ(listed<KesLongDirectoryRecord>(list_long_directory, folder.path() + "/*", 0x10).size(),
            4U);
  EXPECT_TRUE(listed<KesDirectoryRecord>(list_directory, folder.path() + "/*.none", 0x37).empty());
  EXPECT_TRUE(listed<KesDirectoryRecord>(list_directory, folder.file("no") + "/*", 0).empty());
}

TEST(DirectoryLists, ANameWithoutWildcardsFindsOneFileInTheDosList) {
  test::TempFolder folder("dirlist_single");
  folder.write("NOTES.TXT", "");
  folder.write("notes.txt", "");
  EXPECT_EQ(listed<KesDirectoryRecord>(list_directory, folder.file("Notes.Txt"), 0).size(), 1U);
  EXPECT_EQ(listed<KesLongDirectoryRecord>(list_long_directory, folder.file("Notes.Txt"), 0).size(),
            2U);
}

TEST(DirectoryLists, AFolderOfAHundredThousandFiles) {
  test::TempFolder folder("dirlist_many");
  constexpr int kFiles = 100000;
  for (int n = 0; n < kFiles; ++n) {
    const int fd = ::open(folder.file("f" + std::to_string(n)).c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);
  }
  std::size_t count = 0;
  const RecordSink counter = [](void* context, const void*, std::size_t) {
    ++*static_cast<std::size_t*>(context);
  };
  EXPECT_EQ(list_long_directory(folder.path() + "/f*", 0, counter, &count), 100000U);
  EXPECT_EQ(count, 100000U);
  EXPECT_EQ(list_directory(folder.path() + "/F9999?", 0, counter, &count), 10U);  // f99990..99999
}

}  // namespace
}  // namespace kes::services

// DIRECTORY and LFNDIRECTORY filling queues from real folders, as compiled code calls them.
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include <kestrel/command.h>
#include <kestrel/queues.h>

#include <gtest/gtest.h>

#include "runtime/stack/string_stack.h"
#include "tests/support/temp_folder.h"

namespace kes::services {
namespace {

struct Queue {
  explicit Queue(std::uint32_t size)
      : buffer(size, '#'), descriptor{buffer.data(), nullptr, nullptr, size} {}
  ~Queue() { Kes$FREEqueue(&descriptor); }
  std::int32_t list(void (*lister)(KesQueueDescriptor*, std::uint8_t), const std::string& pattern,
                    std::uint8_t attributes) {
    runtime::push_text(pattern);
    lister(&descriptor, attributes);
    return Kes$RECORDSqueue(&descriptor);
  }
  template <typename Record>
  Record entry(std::int32_t position) {
    Kes$GETqueueptr(&descriptor, position);
    Record record;
    std::memcpy(&record, buffer.data(), sizeof record);
    return record;
  }
  std::string buffer;
  KesQueueDescriptor descriptor;
};

TEST(DirectoryExports, ListFilesIntoQueues) {
  test::TempFolder folder("dirqueue");
  const std::string file = folder.write("averylongfilename.text", "12345");
  std::tm local{};
  local.tm_year = 124, local.tm_mon = 2, local.tm_mday = 5, local.tm_isdst = -1;
  local.tm_hour = 10, local.tm_min = 15, local.tm_sec = 7;
  const timespec times[2] = {{std::mktime(&local), 0}, {std::mktime(&local), 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
  folder.write(".hidden", "");
  ::mkdir(folder.file("sub").c_str(), 0755);
  const int depth = runtime::string_stack_depth();

  Queue dos(sizeof(KesDirectoryRecord));
  ASSERT_EQ(dos.list(Kes$DIRECTORY, folder.path() + "/*.*  ", 0), 1);
  const auto record = dos.entry<KesDirectoryRecord>(1);
  EXPECT_EQ(std::string(record.name, 13), "averylongfil ");
  EXPECT_EQ(std::int32_t{record.date}, 81517);    // 5 March 2024
  EXPECT_EQ(std::int32_t{record.time}, 3690601);  // 10:15:06
  EXPECT_EQ(std::int32_t{record.size}, 5);
  EXPECT_EQ(std::uint8_t{record.attributes}, 0x20);
  EXPECT_EQ(dos.list(Kes$DIRECTORY, folder.path() + "/*.none", 0x37), 1);  // left as it was
  EXPECT_EQ(dos.list(Kes$DIRECTORY, folder.path() + "/*", 0x10), 5);       // ".", "..", sub: added
  EXPECT_EQ(dos.list(Kes$DIRECTORY, folder.path() + "/*", 0x12), 10);      // and .hidden

  Queue lfn(sizeof(KesLongDirectoryRecord));
  ASSERT_EQ(lfn.list(Kes$LFNDIRECTORY, folder.path() + "/*", 0), 1);
  const auto long_record = lfn.entry<KesLongDirectoryRecord>(1);
  EXPECT_EQ(std::string(long_record.name, 23), "averylongfilename.text ");
  EXPECT_EQ(std::string(long_record.short_name, 13), "averylongfile");
  EXPECT_EQ(std::int32_t{long_record.time}, 3690701);  // 10:15:07
  EXPECT_EQ(lfn.list(Kes$LFNDIRECTORY, folder.path() + "/*", 0x10), 5);
  runtime::push_text("*");
  Kes$LFNDIRECTORY(nullptr, 0);  // no queue: the pattern is still popped
  EXPECT_EQ(runtime::string_stack_depth(), depth);
}

TEST(DirectoryExports, ANameWithoutWildcardsGivesOneFileInTheDosList) {
  test::TempFolder folder("dirqueue_single");
  folder.write("NOTES.TXT", "");
  folder.write("notes.txt", "");
  EXPECT_EQ(Queue(26).list(Kes$DIRECTORY, folder.file("Notes.Txt"), 0), 1);
  EXPECT_EQ(Queue(282).list(Kes$LFNDIRECTORY, folder.file("Notes.Txt"), 0), 2);
}

TEST(DirectoryExports, AFolderOfAHundredThousandFiles) {
  // In memory where the host has such a folder: the files are made faster there.
  const bool shm = std::filesystem::is_directory("/dev/shm");
  test::TempFolder folder("dirqueue_many",
                          shm ? "/dev/shm" : std::filesystem::temp_directory_path());
  const std::string first = folder.write("f0", "");
  for (int n = 1; n < 100000; ++n)  // links to one file: one call each
    ASSERT_EQ(::link(first.c_str(), folder.file("f" + std::to_string(n)).c_str()), 0);
  EXPECT_EQ(Queue(282).list(Kes$LFNDIRECTORY, folder.path() + "/f*", 0), 100000);
  EXPECT_EQ(Queue(26).list(Kes$DIRECTORY, folder.path() + "/F9999?", 0), 10);
}

}  // namespace
}  // namespace kes::services

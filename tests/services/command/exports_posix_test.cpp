// DIRECTORY and LFNDIRECTORY filling queues from real folders, and SETPATH, SHORTPATH and
// LONGPATH, as compiled code calls them.
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include <kestrel/command.h>
#include <kestrel/errors.h>
#include <kestrel/queues.h>
#include <kestrel/types.h>

#include <gtest/gtest.h>

#include "files/errors/error_state.h"
#include "platform/core/heap.h"
#include "runtime/stack/string_stack.h"
#include "tests/support/stack_helpers.h"
#include "tests/support/temp_folder.h"

namespace kes::services {
namespace {

enum class List { Dos, Long };

// A queue of directory records declared as a program declares it: its type descriptor built
// field by field, names of its own.
struct Queue {
  explicit Queue(List kind) {
    type.StartGroup("DirQ");
    if (kind == List::Long) type.AddField(KesTypeString, 256, "LongName", 0, nullptr, nullptr);
    type.AddField(KesTypeString, 13, "Name", 0, nullptr, nullptr);
    for (const char* name : {"Date", "Time", "Size"})
      type.AddSimple(KesTypeLong, name, nullptr);
    type.AddSimple(KesTypeByte, "Attrib", nullptr);
    EXPECT_TRUE(type.EndDeclaration());
    buffer.assign(type.structure_size(), '#');
    descriptor = {buffer.data(), type.stream(), nullptr, type.structure_size()};
  }
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
  class_descriptor type;
  std::string buffer;
  KesQueueDescriptor descriptor{};
};

TEST(DirectoryExports, ListedRecordsSortByTheQueuesOwnFields) {
  test::TempFolder folder("dirqueue_sorted");
  folder.write("b.txt", "123456789012");
  folder.write("a.txt", "12345");
  folder.write("c.txt", "123");
  Queue dos(List::Dos);
  ASSERT_EQ(dos.list(Kes$DIRECTORY, folder.path() + "/*.txt", 0), 3);
  runtime::push_text("-Size");
  Kes$SORTqueueskey(&dos.descriptor);
  std::string order;
  for (std::int32_t position = 1; position <= 3; ++position)
    order += dos.entry<KesDirectoryRecord>(position).name[0];
  EXPECT_EQ(order, "bac");
  Queue lfn(List::Long);
  ASSERT_EQ(lfn.list(Kes$LFNDIRECTORY, folder.path() + "/*", 0), 3);
  lfn.buffer.replace(0, 5, "c.txt");
  runtime::push_text("longname");
  Kes$GETqueueskey(&lfn.descriptor);
  EXPECT_EQ(Kes$ERRCODE, 0);
  const auto found = lfn.entry<KesLongDirectoryRecord>(Kes$POINTERqueue(&lfn.descriptor));
  EXPECT_EQ(std::int32_t{found.size}, 3);
}

TEST(DirectoryExports, AFailedAddEndsTheListWithItsError) {
  test::TempFolder folder("dirqueue_failed");
  folder.write("a.txt", "");
  folder.write("b.txt", "");
  Kes$seterror(2);
  runtime::push_text(folder.path() + "/*.none");
  Kes$DIRECTORY(nullptr, 0);
  EXPECT_EQ(Kes$ERRCODE, 2);  // nothing listed: left as it was
  runtime::push_text(folder.path() + "/*.txt");
  Kes$DIRECTORY(nullptr, 0);
  EXPECT_EQ(Kes$ERRCODE, 7);
  Queue lfn(List::Long);
  // The queue cannot be made: the first allocation that fails the statement reports 8.
  for (std::size_t n = 1; n <= 16 && Kes$ERRCODE != 8; ++n) {
    runtime::push_text(folder.path() + "/*.txt");
    platform::heap_fail_nth(n);
    Kes$LFNDIRECTORY(&lfn.descriptor, 0);
    platform::heap_fail_nth(0);
    if (Kes$ERRCODE == 0) Kes$FREEqueue(&lfn.descriptor);
  }
  EXPECT_EQ(Kes$ERRCODE, 8);
  EXPECT_EQ(lfn.list(Kes$LFNDIRECTORY, folder.path() + "/*.txt", 0), 2);
  EXPECT_EQ(Kes$ERRCODE, 0);
}

TEST(DirectoryExports, ListFilesIntoQueues) {
  test::TempFolder folder("dirqueue");
  folder.write("averylongfilename.text", "12345");
  folder.set_written("averylongfilename.text", 2024, 3, 5, 10, 15, 7);
  folder.write(".hidden", "");
  ::mkdir(folder.file("sub").c_str(), 0755);
  const int depth = runtime::string_stack_depth();

  Queue dos(List::Dos);
  EXPECT_EQ(dos.descriptor.record_size, sizeof(KesDirectoryRecord));  // as a program declares it
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

  Queue lfn(List::Long);
  EXPECT_EQ(lfn.descriptor.record_size, sizeof(KesLongDirectoryRecord));
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
  EXPECT_EQ(Queue(List::Dos).list(Kes$DIRECTORY, folder.file("Notes.Txt"), 0), 1);
  EXPECT_EQ(Queue(List::Long).list(Kes$LFNDIRECTORY, folder.file("Notes.Txt"), 0), 2);
}

TEST(DirectoryExports, AFolderOfAHundredThousandFiles) {
  // In memory where the host has such a folder: the files are made faster there.
  const bool shm = std::filesystem::is_directory("/dev/shm");
  test::TempFolder folder("dirqueue_many",
                          shm ? "/dev/shm" : std::filesystem::temp_directory_path());
  const std::string first = folder.write("f0", "");
  for (int n = 1; n < 100000; ++n)  // links to one file: one call each
    ASSERT_EQ(::link(first.c_str(), folder.file("f" + std::to_string(n)).c_str()), 0);
  EXPECT_EQ(Queue(List::Long).list(Kes$LFNDIRECTORY, folder.path() + "/f*", 0), 100000);
  EXPECT_EQ(Queue(List::Dos).list(Kes$DIRECTORY, folder.path() + "/F9999?", 0), 10);
}

std::string call(void (*export_function)(), std::string_view path) {
  runtime::push_text(path);
  export_function();
  return test::pop_top_text();
}

TEST(PathExports, SetPathReportsPathNotFound) {
  test::TempFolder folder("paths_set");
  const std::filesystem::path before = std::filesystem::current_path();
  runtime::push_text(folder.path() + "   ");  // trailing blanks removed
  Kes$SETPATH();
  EXPECT_EQ(files::current_error(), files::ErrorCode::None);
  EXPECT_EQ(std::filesystem::current_path(), std::filesystem::canonical(folder.path()));
  runtime::push_text(folder.file("missing"));
  Kes$SETPATH();
  EXPECT_EQ(files::current_error(), files::ErrorCode::NoPath);
  EXPECT_EQ(files::error_text(), "Path Not Found");
  EXPECT_EQ(std::filesystem::current_path(), std::filesystem::canonical(folder.path()));
  std::filesystem::current_path(before);
  files::clear_error();
}

TEST(PathExports, ShortAndLongForms) {
  test::TempFolder folder("paths_forms");
  folder.write("a.txt", "");
  const std::string current = std::filesystem::current_path().string();
  files::post_error(files::ErrorCode::NoFile);
  EXPECT_EQ(call(Kes$SHORTPATH, folder.file("a.txt")), folder.file("a.txt"));
  EXPECT_EQ(files::current_error(), files::ErrorCode::None);  // cleared
  EXPECT_EQ(call(Kes$SHORTPATH, folder.file("b.txt")), "");
  EXPECT_EQ(call(Kes$SHORTPATH, ""), current);
  EXPECT_EQ(call(Kes$LONGPATH, ""), current);
  EXPECT_EQ(call(Kes$LONGPATH, "x/../y/./z  "), current + "/y/z");
  EXPECT_EQ(call(Kes$LONGPATH, "/x/../../y//z/"), "/y/z");  // never above the root
  EXPECT_EQ(call(Kes$LONGPATH, "/.."), "/");
  const std::string longest = "/" + std::string(259, 'p');  // paths are cut to 260 characters
  EXPECT_EQ(call(Kes$LONGPATH, longest + "q"), longest);
  EXPECT_EQ(call(Kes$LONGPATH, folder.path() + "/./a.txt"), folder.file("a.txt"));
}

}  // namespace
}  // namespace kes::services

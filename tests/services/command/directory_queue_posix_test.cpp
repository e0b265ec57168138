// DIRECTORY and LFNDIRECTORY filling a queue as compiled code calls them.
#include <string>
#include <vector>

#include <kestrel/command.h>
#include <kestrel/queues.h>

#include <gtest/gtest.h>

#include "runtime/string_stack.h"
#include "tests/support/temp_folder.h"

namespace kes::services {
namespace {

struct Queue {
  explicit Queue(std::uint32_t size)
      : buffer(size, '#'), descriptor{buffer.data(), nullptr, nullptr, size} {}
  ~Queue() { Kes$FREEqueue(&descriptor); }
  std::string entry(std::int32_t position) {
    Kes$GETqueueptr(&descriptor, position);
    return buffer;
  }
  std::string buffer;
  KesQueueDescriptor descriptor;
};

TEST(DirectoryExports, AppendRecordsToTheQueue) {
  test::TempFolder folder("dirqueue");
  folder.write("a.txt", "1");
  folder.write("b.txt", "22");
  const int depth = runtime::string_stack_depth();
  Queue dos(sizeof(KesDirectoryRecord));
  runtime::push_text(folder.path() + "/*.txt  ");
  Kes$DIRECTORY(&dos.descriptor, 0);
  runtime::push_text(folder.path() + "/*.txt");
  Kes$DIRECTORY(&dos.descriptor, 0);  // the queue is not emptied first
  runtime::push_text(folder.path() + "/*.none");
  Kes$DIRECTORY(&dos.descriptor, 0);
  ASSERT_EQ(Kes$RECORDSqueue(&dos.descriptor), 4);
  EXPECT_EQ(dos.entry(1).substr(0, 13), "a.txt        ");
  EXPECT_EQ(dos.entry(4).substr(0, 13), "b.txt        ");
  EXPECT_EQ(dos.entry(4)[21], 2);  // the size's low byte

  Queue lfn(sizeof(KesLongDirectoryRecord));
  runtime::push_text(folder.path() + "/b*");
  Kes$LFNDIRECTORY(&lfn.descriptor, 0x10);
  ASSERT_EQ(Kes$RECORDSqueue(&lfn.descriptor), 1);
  EXPECT_EQ(lfn.entry(1).substr(0, 6), "b.txt ");
  EXPECT_EQ(lfn.entry(1).substr(256, 6), "b.txt ");

  runtime::push_text("*");
  Kes$LFNDIRECTORY(nullptr, 0);  // no queue: the pattern is still popped
  EXPECT_EQ(runtime::string_stack_depth(), depth);
}

}  // namespace
}  // namespace kes::services

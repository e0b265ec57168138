// Starting real programs on a POSIX host.
#include <string_view>

#include <gtest/gtest.h>

#include "platform/launch.h"

namespace kes::platform {
namespace {

StartResult start(std::string_view line) {
  CommandArguments arguments;
  EXPECT_TRUE(arguments.split(line));
  return start_program(arguments);
}

TEST(StartProgram, WaitsForTheExitCode) {
  StartResult started = start("sh -c \"exit 3\"");
  ASSERT_EQ(started.error, OsError::None);
  EXPECT_EQ(wait_for_program(started.process), 3);
}

TEST(StartProgram, PassesArgumentsWithoutAShell) {
  // The semicolon is an argument, not a command separator: test compares "a;" with "a;".
  StartResult started = start("test \"a;\" = a;");
  ASSERT_EQ(started.error, OsError::None);
  EXPECT_EQ(wait_for_program(started.process), 0);
}

TEST(StartProgram, SignalledProgramGivesSignalPlus128) {
  StartResult started = start("sh -c \"kill -9 $$\"");
  ASSERT_EQ(started.error, OsError::None);
  EXPECT_EQ(wait_for_program(started.process), 128 + 9);
}

TEST(StartProgram, MissingProgramIsFileNotFound) {
  EXPECT_EQ(start("no-such-program-kestrel-test").error, OsError::FileNotFound);
  EXPECT_EQ(start("/no/such/dir/prog").error, OsError::FileNotFound);
}

TEST(StartProgram, EmptyCommandIsInvalidParameter) {
  EXPECT_EQ(start("").error, OsError::InvalidParameter);
  EXPECT_EQ(start("\"\" a").error, OsError::InvalidParameter);
}

TEST(StartProgram, ReleasedProgramIsNotWaitedFor) {
  StartResult started = start("true");
  ASSERT_EQ(started.error, OsError::None);
  release_program(started.process);
  EXPECT_EQ(wait_for_program(-1), std::nullopt);
  EXPECT_EQ(wait_for_program(0), std::nullopt);
}

}  // namespace
}  // namespace kes::platform

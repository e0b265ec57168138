// Starting real programs on Windows through the command interpreter.
#include <string_view>

#include <gtest/gtest.h>

#include "platform/launch/launch.h"

namespace kes::platform {
namespace {

StartResult start(std::string_view line) {
  CommandArguments arguments;
  EXPECT_TRUE(arguments.split(line));
  return start_program(arguments);
}

TEST(StartProgramWin32, WaitsForTheExitCode) {
  StartResult started = start("cmd.exe /c exit 3");
  ASSERT_EQ(started.error, OsError::None);
  EXPECT_EQ(wait_for_program(started.process), 3);
  // Waited for once: the identifier names no program any more.
  EXPECT_EQ(wait_for_program(started.process), std::nullopt);
}

TEST(StartProgramWin32, ExitCodesAboveAByteStayWhole) {
  StartResult started = start("cmd.exe /c exit 300");
  ASSERT_EQ(started.error, OsError::None);
  EXPECT_EQ(wait_for_program(started.process), 300);
}

TEST(StartProgramWin32, QuotedArgumentReachesTheProgramWhole) {
  // The interpreter runs its one argument "exit 4" as a command only when it arrives whole.
  StartResult started = start("cmd.exe /c \"exit 4\"");
  ASSERT_EQ(started.error, OsError::None);
  EXPECT_EQ(wait_for_program(started.process), 4);
}

TEST(StartProgramWin32, MissingProgramIsFileNotFound) {
  EXPECT_EQ(start("no-such-program-kestrel-test").error, OsError::FileNotFound);
  const OsError in_missing_directory = start("C:\\no\\such\\dir\\prog.exe").error;
  EXPECT_TRUE(in_missing_directory == OsError::FileNotFound ||
              in_missing_directory == OsError::PathNotFound);
}

TEST(StartProgramWin32, EmptyCommandIsInvalidParameter) {
  EXPECT_EQ(start("").error, OsError::InvalidParameter);
  EXPECT_EQ(start("\"\" a").error, OsError::InvalidParameter);
}

TEST(StartProgramWin32, ReleasedProgramIsNotWaitedFor) {
  StartResult started = start("cmd.exe /c exit 0");
  ASSERT_EQ(started.error, OsError::None);
  release_program(started.process);
  EXPECT_EQ(wait_for_program(started.process), std::nullopt);
  EXPECT_EQ(wait_for_program(-1), std::nullopt);
  EXPECT_EQ(wait_for_program(0), std::nullopt);
}

}  // namespace
}  // namespace kes::platform

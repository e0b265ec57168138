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

struct ExitCase {
  const char* name;
  std::string_view line;
  int exit_code;
};
constexpr ExitCase kExits[] = {
    {"WaitsForTheExitCode", "cmd.exe /c exit 3", 3},
    {"ExitCodesAboveAByteStayWhole", "cmd.exe /c exit 300", 300},
    // The interpreter runs its one argument "exit 4" as a command only when it arrives whole.
    {"QuotedArgumentReachesTheProgramWhole", "cmd.exe /c \"exit 4\"", 4},
};

TEST(StartProgramWin32, WaitsForTheExitCode) {
  for (const ExitCase& c : kExits) {
    SCOPED_TRACE(c.name);
    StartResult started = start(c.line);
    ASSERT_EQ(started.error, OsError::None);
    EXPECT_EQ(wait_for_program(started.process), c.exit_code);
    // Waited for once: the identifier names no program any more.
    EXPECT_EQ(wait_for_program(started.process), std::nullopt);
  }
}

TEST(StartProgramWin32, ProgramsThatCannotStart) {
  EXPECT_EQ(start("no-such-program-kestrel-test").error, OsError::FileNotFound);
  const OsError in_missing_directory = start("C:\\no\\such\\dir\\prog.exe").error;
  EXPECT_TRUE(in_missing_directory == OsError::FileNotFound ||
              in_missing_directory == OsError::PathNotFound);
  EXPECT_EQ(start("").error, OsError::InvalidParameter);  // an empty command
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

// Starting real programs: without a shell on POSIX, through the command interpreter on Windows.
#include <string_view>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <gtest/gtest.h>

#include "platform/launch/launch.h"
#include "tests/support/temp_folder.h"

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
#ifdef _WIN32
    {"WaitsForTheExitCode", "cmd.exe /c exit 3", 3},
    {"ExitCodesAboveAByteStayWhole", "cmd.exe /c exit 300", 300},
    // The interpreter runs its one argument "exit 4" as a command only when it arrives whole.
    {"QuotedArgumentReachesTheProgramWhole", "cmd.exe /c \"exit 4\"", 4},
#else
    {"WaitsForTheExitCode", "sh -c \"exit 3\"", 3},
    // The semicolon is an argument, not a command separator: test compares "a;" with "a;".
    {"PassesArgumentsWithoutAShell", "test \"a;\" = a;", 0},
    {"SignalledProgramGivesSignalPlus128", "sh -c \"kill -9 $$\"", 128 + 9},
#endif
};

TEST(StartProgram, WaitsForTheExitCode) {
  for (const ExitCase& c : kExits) {
    SCOPED_TRACE(c.name);
    StartResult started = start(c.line);
    ASSERT_EQ(started.error, OsError::None);
    EXPECT_EQ(wait_for_program(started.process), c.exit_code);
#ifdef _WIN32
    // Waited for once: the identifier names no program any more.
    EXPECT_EQ(wait_for_program(started.process), std::nullopt);
#endif
  }
}

TEST(StartProgram, ProgramsThatCannotStart) {
  EXPECT_EQ(start("no-such-program-kestrel-test").error, OsError::FileNotFound);
#ifdef _WIN32
  const OsError in_missing_directory = start("C:\\no\\such\\dir\\prog.exe").error;
  EXPECT_TRUE(in_missing_directory == OsError::FileNotFound ||
              in_missing_directory == OsError::PathNotFound);
#else
  EXPECT_EQ(start("/no/such/dir/prog").error, OsError::FileNotFound);
#endif
  EXPECT_EQ(start("").error, OsError::InvalidParameter);  // an empty command
  EXPECT_EQ(start("\"\" a").error, OsError::InvalidParameter);
}

#ifndef _WIN32
struct FileCase {
  const char* name;
  const char* content;
  ::mode_t mode;
  OsError error;
};
constexpr FileCase kFilesThatCannotRun[] = {
    // Not handed to a shell, although a shell could read it.
    {"TextMarkedRunnableIsNoProgram", "exit 0\n", 0755, OsError::BadFormat},
    {"ProgramWithoutRunPermission", "#!/bin/sh\nexit 0\n", 0644, OsError::AccessDenied},
};

TEST(StartProgram, FilesThatCannotRun) {
  test::TempFolder folder("launch");
  for (const FileCase& c : kFilesThatCannotRun) {
    SCOPED_TRACE(c.name);
    const std::string file = folder.write(c.name, c.content);
    ASSERT_EQ(::chmod(file.c_str(), c.mode), 0);
    EXPECT_EQ(start(file).error, c.error);
  }
}
#endif

TEST(StartProgram, ReleasedProgramIsNotWaitedFor) {
#ifdef _WIN32
  StartResult started = start("cmd.exe /c exit 0");
#else
  StartResult started = start("true");
#endif
  ASSERT_EQ(started.error, OsError::None);
  release_program(started.process);
#ifdef _WIN32
  EXPECT_EQ(wait_for_program(started.process), std::nullopt);
#endif
  EXPECT_EQ(wait_for_program(-1), std::nullopt);
  EXPECT_EQ(wait_for_program(0), std::nullopt);
}

}  // namespace
}  // namespace kes::platform

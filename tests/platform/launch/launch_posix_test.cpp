// Starting real programs on a POSIX host.
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

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
    {"WaitsForTheExitCode", "sh -c \"exit 3\"", 3},
    // The semicolon is an argument, not a command separator: test compares "a;" with "a;".
    {"PassesArgumentsWithoutAShell", "test \"a;\" = a;", 0},
    {"SignalledProgramGivesSignalPlus128", "sh -c \"kill -9 $$\"", 128 + 9},
};

TEST(StartProgram, WaitsForTheExitCode) {
  for (const ExitCase& c : kExits) {
    SCOPED_TRACE(c.name);
    StartResult started = start(c.line);
    ASSERT_EQ(started.error, OsError::None);
    EXPECT_EQ(wait_for_program(started.process), c.exit_code);
  }
}

TEST(StartProgram, ProgramsThatCannotStart) {
  EXPECT_EQ(start("no-such-program-kestrel-test").error, OsError::FileNotFound);
  EXPECT_EQ(start("/no/such/dir/prog").error, OsError::FileNotFound);
  EXPECT_EQ(start("").error, OsError::InvalidParameter);  // an empty command
  EXPECT_EQ(start("\"\" a").error, OsError::InvalidParameter);
}

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
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("kes-launch-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  for (const FileCase& c : kFilesThatCannotRun) {
    SCOPED_TRACE(c.name);
    const std::filesystem::path file = folder / c.name;
    std::ofstream(file) << c.content;
    ASSERT_EQ(::chmod(file.c_str(), c.mode), 0);
    EXPECT_EQ(start(file.string()).error, c.error);
  }
  std::filesystem::remove_all(folder);
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

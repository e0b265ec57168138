// Command-line splitting by the Windows rules, and starting real programs: without a shell on
// POSIX, through the command interpreter on Windows.
#include <string>
#include <string_view>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <gtest/gtest.h>

#include "platform/core/heap.h"
#include "platform/launch/launch.h"
#include "tests/support/temp_folder.h"

namespace kes::platform {
namespace {

struct SplitCase {
  const char* name;
  std::string_view line;
  std::vector<std::string> arguments;
};

// Each row by hand from the rules: blanks separate; 2n backslashes + quote -> n backslashes and
// a delimiter; 2n+1 -> n backslashes and a literal quote; the program name takes no escapes.
const SplitCase kSplits[] = {
    {"Empty", "", {}},
    {"OnlyBlanks", " \t ", {}},
    {"ProgramAlone", "prog", {"prog"}},
    {"LeadingAndTrailingBlanks", "  prog  a  ", {"prog", "a"}},
    {"TabsSeparate", "prog\ta\tb", {"prog", "a", "b"}},
    {"QuotedProgramKeepsBlanks", "\"my prog\" x", {"my prog", "x"}},
    {"QuotedProgramKeepsBackslashes", "\"C:\\dir\\\" x", {"C:\\dir\\", "x"}},
    {"UnquotedProgramKeepsBackslashQuote", "a\\\"b c", {"a\\\"b", "c"}},
    {"QuotedArgumentKeepsBlanks", "p \"a b\" c", {"p", "a b", "c"}},
    {"EmptyQuotedArgument", "p \"\" c", {"p", "", "c"}},
    {"QuotesInsideWord", "p a\"b c\"d", {"p", "ab cd"}},
    {"BackslashesAlonePlain", "p a\\\\b", {"p", "a\\\\b"}},
    {"OneBackslashQuoteIsLiteralQuote", "p a\\\"b", {"p", "a\"b"}},
    {"TwoBackslashesQuoteOpensQuote", "p a\\\\\"b c\"", {"p", "a\\b c"}},
    {"ThreeBackslashesQuote", "p a\\\\\\\"b", {"p", "a\\\"b"}},
    {"TrailingBackslashesPlain", "p a\\\\", {"p", "a\\\\"}},
    {"DoubledQuoteInsideQuotes", "p \"a\"\"b\"", {"p", "a\"b"}},
    {"UnclosedQuoteRunsToEnd", "p \"a b", {"p", "a b"}},
    {"UnclosedQuotedProgram", "\"my prog", {"my prog"}},
    {"ZeroByteEndsTheLine", std::string_view("p a\0b c", 7), {"p", "a"}},
};

TEST(CommandArgumentsSplit, FollowsTheWindowsRules) {
  for (const SplitCase& c : kSplits) {
    SCOPED_TRACE(c.name);
    CommandArguments arguments;
    ASSERT_TRUE(arguments.split(c.line));
    ASSERT_EQ(arguments.count(), c.arguments.size());
    for (std::size_t i = 0; i < c.arguments.size(); ++i) {
      EXPECT_EQ(arguments.argument(i), c.arguments[i]) << i;
    }
    EXPECT_EQ(arguments.vector()[c.arguments.size()], nullptr);
  }
}

TEST(CommandArgumentsSplit, ReportsExhaustedHeap) {
  CommandArguments arguments;
  heap_fail_nth(1);
  EXPECT_FALSE(arguments.split("prog a"));
  EXPECT_EQ(arguments.count(), 0u);
  heap_fail_nth(2);
  EXPECT_FALSE(arguments.split("prog a"));
  EXPECT_EQ(arguments.count(), 0u);
  heap_fail_nth(0);
  EXPECT_TRUE(arguments.split("prog a"));
  EXPECT_EQ(arguments.count(), 2u);
}

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

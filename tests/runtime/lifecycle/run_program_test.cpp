// RUN and RUNCODE with real programs.
#include "runtime/lifecycle/run_program.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "files/errors/error_state.h"
#include "runtime/fatal/hooks.h"
#include "tests/runtime/lifecycle/lifecycle_test_support.h"

namespace kes::runtime {
namespace {

using RunProgramTest = test::LifecycleTest;

// Programs every host has: one that ends with exit code 42, one that succeeds.
#ifdef _WIN32
constexpr std::string_view kExits42 = "cmd /c exit 42";
constexpr std::string_view kSucceeds = "cmd /c exit 0";
#else
constexpr std::string_view kExits42 = "sh -c \"exit 42\"";
constexpr std::string_view kSucceeds = "true";
#endif

void run(std::string_view command, std::int32_t wait) {
  push_text(command);
  Kes$RUN(wait);
}

TEST_F(RunProgramTest, WaitingGivesTheExitCode) {
  files::post_error(files::ErrorCode::NoFile);
  run(kExits42, 1);
  EXPECT_EQ(Kes$RUNCODE(), 42);
  EXPECT_EQ(Kes$ERRCODE, 0);  // RUN clears the error state
  EXPECT_EQ(string_stack_depth(), 0);
  run(kSucceeds, 1);
  EXPECT_EQ(Kes$RUNCODE(), 0);
  run(kExits42, 0);
  EXPECT_EQ(Kes$RUNCODE(), 0);  // without waiting the code is zero
  EXPECT_EQ(Kes$ERRCODE, 0);
}

TEST_F(RunProgramTest, ProgramThatCannotStartGivesMinusFour) {
  run("no-such-program-kestrel-test arg", 1);
  EXPECT_EQ(Kes$RUNCODE(), -4);
  EXPECT_EQ(Kes$ERRCODE, 2);
  EXPECT_EQ(files::error_text(), "File Not Found");
  EXPECT_EQ(Kes$DOSerror, 2);
  run("no-such-program-kestrel-test", 0);
  EXPECT_EQ(Kes$RUNCODE(), -4);
  EXPECT_EQ(Kes$ERRCODE, 2);
  Kes$RUN(1);  // nothing on the stack at all
  EXPECT_EQ(Kes$RUNCODE(), -4);
  run("   ", 1);
  EXPECT_EQ(Kes$RUNCODE(), -4);
  EXPECT_EQ(Kes$ERRCODE, 87);
}

TEST_F(RunProgramTest, WaitingLeavesTheRuntimeLock) {
  static std::vector<std::string> lock_steps;
  library_hooks().release_runtime_lock = [] { lock_steps.push_back("release"); };
  library_hooks().retake_runtime_lock = [] { lock_steps.push_back("retake"); };
  run(kSucceeds, 0);
  run("no-such-program-kestrel-test", 1);
  run(kSucceeds, 1);
  EXPECT_EQ(lock_steps, (std::vector<std::string>{"release", "retake"}));
}

}  // namespace
}  // namespace kes::runtime

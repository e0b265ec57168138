// Fatal run-time errors: texts, the box, the hook, the end of the process, the traps.
#include "runtime/fatal/fatal.h"

#include <csignal>
#include <cstdio>
#include <cxxabi.h>
#include <string>

#include <gtest/gtest.h>

#include "files/errors/error_state.h"
#include "runtime/fatal/hooks.h"
#include "tests/runtime/lifecycle/lifecycle_test_support.h"

namespace kes::runtime {
namespace {

using FatalTest = test::LifecycleTest;
using FatalDeathTest = test::LifecycleTest;

struct TrapCase {
  const char* name;
  void (*trap)();
  std::int32_t number;
  const char* box;  // as written to standard error by the headless box
};

const TrapCase kTraps[] = {
    {"Stack", _e_stack, 401, "Runtime error: Stack overflow\nDo you want to GPF\\?"},
    {"NilPointer", _e_nil_ptr, 402, "Runtime error: Null pointer de-reference\nDo you want"},
    {"Overflow", _e_overflow, 404, "Runtime error: Arithmetic Overflow\nDo you want"},
    {"Range", _e_range, 405, "Runtime error: Variable out of range\nDo you want"},
    {"NoReturn", _e_no_return, 406, "Runtime error: No return value from function\nDo you"},
    {"NoCase", _e_no_case, 407, "Runtime error: No matching Case Label\nDo you want"},
    {"Index", _e_index, 409, "Runtime error: Index out of range\nDo you want"},
};

TEST_F(FatalDeathTest, EachTrapEndsWithItsMessage) {
  for (const TrapCase& c : kTraps) {
    SCOPED_TRACE(c.name);
    EXPECT_EXIT(
        {
          set_library_active_for_testing(true);
          c.trap();
          std::_Exit(1);  // not reached
        },
        testing::ExitedWithCode(2), c.box);
  }
}

TEST_F(FatalTest, TrapsPostTheirNumberAndReturnWhenClosedDown) {
  for (const TrapCase& c : kTraps) {
    SCOPED_TRACE(c.name);
    c.trap();  // the library is not active: the box is shown and the trap returns
    EXPECT_EQ(Kes$ERRCODE, c.number);
  }
  EXPECT_EQ(platform::shown_message_box_count(), std::size(kTraps));
  EXPECT_TRUE(halting());
}

TEST_F(FatalTest, BoxShowsNumberTextAndExtra) {
  Kes$rterr(409, "array Totals");
  platform::RecordedMessageBox box = platform::last_message_box();
  EXPECT_EQ(box.caption, "Runtime error");
  EXPECT_EQ(box.text, "Index out of range : array Totals\nDo you want to GPF?");
  EXPECT_EQ(box.buttons, platform::MessageBoxButtons::YesNo);
  EXPECT_EQ(box.default_button, 1);
  EXPECT_EQ(box.icon, platform::MessageBoxIcon::Stop);
  EXPECT_EQ(box.answer, platform::MessageBoxAnswer::No);
  EXPECT_EQ(Kes$ERRCODE, 409);
}

TEST_F(FatalTest, BoxTextOfEachNumberAndExtra) {
  const std::string huge(100000, 'x');
  const struct {
    const char* name;
    std::int32_t number;
    const char* extra;
    std::string text;  // before "\nDo you want to GPF?"
  } cases[] = {
      {"NumberZeroShowsOnlyTheExtraText", 0, "memory block free'd twice",
       "memory block free'd twice"},
      {"NumberZeroWithoutTextIsUnknownError", 0, nullptr, "Unknown Error"},
      {"EmptyExtraTextStillGetsTheSeparator", 404, "", "Arithmetic Overflow : "},
      {"UnknownNumberUsesTheUnknownText", 450, nullptr, "Unknown Error Posted : 450"},
      // "Stack overflow : " is 17 characters; the text holds 1023 before the question.
      {"HugeExtraTextIsCut", 401, huge.c_str(), "Stack overflow : " + std::string(1006, 'x')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Kes$ERRCODE = 35;
    Kes$rterr(c.number, c.extra);
    EXPECT_EQ(platform::last_message_box().text, c.text + "\nDo you want to GPF?");
    EXPECT_EQ(Kes$ERRCODE, c.number == 0 ? 35 : c.number);  // number 0 posts nothing
  }
}

TEST_F(FatalTest, RunsTheFinalShutdownWhenClosedDown) {
  static int shutdowns = 0;
  shutdowns = 0;
  Kes$SHUTDOWN([] { ++shutdowns; });
  Kes$rterr(405, nullptr);
  Kes$rterr(405, nullptr);
  EXPECT_EQ(shutdowns, 1);
}

std::int32_t hook_number = 0;
std::string hook_text;

TEST_F(FatalTest, HookIsNotCalledWhenClosedDown) {
  hook_number = 0;
  set_program_hook(ProgramHook::FatalError, [](std::int32_t n) { hook_number = n; });
  int depth = string_stack_depth();
  Kes$rterr(401, nullptr);
  EXPECT_EQ(hook_number, 0);
  EXPECT_EQ(platform::shown_message_box_count(), 0u);  // neither hook nor box
  EXPECT_EQ(string_stack_depth(), depth);
}

TEST_F(FatalDeathTest, HookGetsNumberAndTextThenTheProgramEnds) {
  EXPECT_EXIT(
      {
        set_library_active_for_testing(true);
        set_program_hook(ProgramHook::FatalError, [](std::int32_t n) {
          std::string text = test::pop_string();
          std::fprintf(stderr, "hook %d [%s] boxes %zu\n", static_cast<int>(n), text.c_str(),
                       platform::shown_message_box_count());
        });
        Kes$rterr(407, "CASE Choice");
        std::_Exit(1);
      },
      testing::ExitedWithCode(2), "hook 407 \\[No matching Case Label : CASE Choice\\] boxes 0");
}

TEST_F(FatalDeathTest, ReportInsideTheHookEndsAtOnce) {
  EXPECT_EXIT(
      {
        set_library_active_for_testing(true);
        Kes$atexit([] { std::_Exit(1); });  // the nested report does not run the exit path
        set_program_hook(ProgramHook::FatalError, [](std::int32_t) { Kes$rterr(402, nullptr); });
        Kes$rterr(401, nullptr);
        std::_Exit(1);
      },
      testing::ExitedWithCode(2), "");
}

TEST_F(FatalDeathTest, ActiveLibraryExitsThroughTheExitProcedures) {
  EXPECT_EXIT(
      {
        set_library_active_for_testing(true);
        Kes$atexit([] { std::fputs("cleanup\n", stderr); });
        Kes$rterr(404, nullptr);
        std::_Exit(1);
      },
      testing::ExitedWithCode(2), "Arithmetic Overflow\nDo you want to GPF\\?\ncleanup");
}

TEST_F(FatalDeathTest, FatalEndsEvenWhenClosedDown) {
  EXPECT_EXIT(fatal(RuntimeError::StackOverflow), testing::ExitedWithCode(kFatalExitCode),
              "Runtime error: Stack overflow\nDo you want to GPF");
  EXPECT_EXIT(fatal(RuntimeError::InternalAssertion, "bad node"),
              testing::ExitedWithCode(kFatalExitCode), "Internal error 01 : bad node");
}

TEST_F(FatalDeathTest, StringStackUnderflowTakesTheStackTrapPath) {
  EXPECT_EXIT(
      {
        set_library_active_for_testing(true);
        pop_discard();  // the stack is empty
        std::_Exit(1);
      },
      testing::ExitedWithCode(2), "Runtime error: Stack overflow\nDo you want to GPF");
}

// A break with no debugger attached ends the program: by the trap signal on POSIX hosts, with
// abort's exit code 3 on Windows.
#ifdef _WIN32
const testing::ExitedWithCode kEndedByBreak(3);
#else
const testing::KilledBySignal kEndedByBreak(SIGTRAP);
#endif

TEST_F(FatalDeathTest, YesBreaksIntoTheDebugger) {
  EXPECT_EXIT(
      {
        const platform::MessageBoxAnswer yes[] = {platform::MessageBoxAnswer::Yes};
        platform::set_message_box_answers(yes);
        Kes$rterr(401, nullptr);
        std::_Exit(1);
      },
      kEndedByBreak, "Stack overflow");
}

TEST_F(FatalDeathTest, FailedCheckIsInternalError) {
  EXPECT_EXIT(KES_ASSERT(1 + 1 == 3), testing::ExitedWithCode(2),
              "Internal error 01 : .*fatal_test.cpp: 1 \\+ 1 == 3");
}

TEST_F(FatalDeathTest, PureVirtualCallEndsWithItsText) {
  EXPECT_EXIT(__cxxabiv1::__cxa_pure_virtual(), testing::ExitedWithCode(2),
              "Runtime error: Pure virtual function called\nDo you want to GPF");
}

}  // namespace
}  // namespace kes::runtime

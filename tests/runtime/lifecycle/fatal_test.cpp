// Fatal run-time errors: texts, the box, the hook, the end of the process, the traps.
#include "runtime/fatal/fatal.h"

#include <cstdio>
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
  void (*trap)();
  std::int32_t number;
  const char* text;
};
const TrapCase kTraps[] = {
    {_e_stack, 401, "Stack overflow"},
    {_e_nil_ptr, 402, "Null pointer de-reference"},
    {_e_overflow, 404, "Arithmetic Overflow"},
    {_e_range, 405, "Variable out of range"},
    {_e_no_return, 406, "No return value from function"},
    {_e_no_case, 407, "No matching Case Label"},
    {_e_index, 409, "Index out of range"},
};

// With the library active, a report ends the program with code 2 after these outputs.
struct EndCase {
  const char* name;
  void (*body)();
  const char* output;
};
const EndCase kEnds[] = {
    {"HookGetsNumberAndTextAndNoBox",
     [] {
       set_program_hook(ProgramHook::FatalError, [](std::int32_t n) {
         std::fprintf(stderr, "hook %d [%s] boxes %zu\n", static_cast<int>(n),
                      test::pop_top_text().c_str(), platform::shown_message_box_count());
       });
       Kes$rterr(407, "CASE Choice");
     },
     "hook 407 \\[No matching Case Label : CASE Choice\\] boxes 0"},
    {"ReportInsideTheHookEndsAtOnce",
     [] {
       Kes$atexit([] { std::_Exit(1); });  // the nested report does not run the exit path
       set_program_hook(ProgramHook::FatalError, [](std::int32_t) { Kes$rterr(402, nullptr); });
       Kes$rterr(401, nullptr);
     },
     ""},
    {"ExitsThroughTheExitProcedures",
     [] {
       Kes$atexit([] { std::fputs("cleanup\n", stderr); });
       Kes$rterr(404, nullptr);
     },
     "Arithmetic Overflow\nDo you want to GPF\\?\ncleanup"},
    {"StringStackUnderflowTakesTheStackTrapPath", [] { pop_discard(); },
     "Runtime error: Stack overflow\nDo you want to GPF"},
    {"TrapTakesThePathOfItsNumber", _e_index, "Runtime error: Index out of range\nDo you want"},
};

TEST_F(FatalDeathTest, ActiveLibraryEndsTheProgram) {
  for (const EndCase& c : kEnds) {
    SCOPED_TRACE(c.name);
    EXPECT_EXIT(
        {
          set_library_active_for_testing(true);
          c.body();
          std::_Exit(1);  // not reached
        },
        testing::ExitedWithCode(2), c.output);
  }
}

TEST_F(FatalTest, TrapsPostTheirNumberAndReturnWhenClosedDown) {
  static int shutdowns = 0;
  shutdowns = 0;
  Kes$SHUTDOWN([] { ++shutdowns; });
  for (const TrapCase& c : kTraps) {
    SCOPED_TRACE(c.text);
    c.trap();  // the library is not active: the box is shown and the trap returns
    EXPECT_EQ(Kes$ERRCODE, c.number);
    EXPECT_EQ(platform::last_message_box().text, std::string(c.text) + "\nDo you want to GPF?");
  }
  EXPECT_EQ(platform::shown_message_box_count(), std::size(kTraps));
  EXPECT_TRUE(halting());
  EXPECT_EQ(shutdowns, 1);  // the final shutdown runs once
}

TEST_F(FatalTest, BoxTextOfEachNumberAndExtra) {
  const std::string huge(100000, 'x');
  const struct {
    const char* name;
    std::int32_t number;
    const char* extra;
    std::string text;  // before "\nDo you want to GPF?"
  } cases[] = {
      {"NumberAndExtra", 409, "array Totals", "Index out of range : array Totals"},
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
    const platform::RecordedMessageBox box = platform::last_message_box();
    EXPECT_EQ(box.text, c.text + "\nDo you want to GPF?");
    EXPECT_EQ(Kes$ERRCODE, c.number == 0 ? 35 : c.number);  // number 0 posts nothing
    EXPECT_EQ(box.caption, "Runtime error");
    EXPECT_EQ(box.buttons, platform::MessageBoxButtons::YesNo);
    EXPECT_EQ(box.default_button, 1);
    EXPECT_EQ(box.icon, platform::MessageBoxIcon::Stop);
  }
}

TEST_F(FatalTest, HookIsNotCalledWhenClosedDown) {
  static std::int32_t hook_number = 0;
  set_program_hook(ProgramHook::FatalError, [](std::int32_t n) { hook_number = n; });
  Kes$rterr(401, nullptr);
  EXPECT_EQ(hook_number, 0);
  EXPECT_EQ(platform::shown_message_box_count(), 0u);  // neither hook nor box
  EXPECT_EQ(string_stack_depth(), 0);
}

TEST_F(FatalDeathTest, EndsEvenWhenClosedDown) {
  EXPECT_EXIT(fatal(RuntimeError::StackOverflow), testing::ExitedWithCode(kFatalExitCode),
              "Runtime error: Stack overflow\nDo you want to GPF");
  EXPECT_EXIT(fatal(RuntimeError::InternalAssertion, "bad node"),
              testing::ExitedWithCode(kFatalExitCode), "Internal error 01 : bad node");
  EXPECT_EXIT(KES_ASSERT(1 + 1 == 3), testing::ExitedWithCode(2),
              "Internal error 01 : .*fatal_test.cpp: 1 \\+ 1 == 3");
}

TEST_F(FatalDeathTest, YesBreaksIntoTheDebugger) {
  EXPECT_EXIT(
      {
        const platform::MessageBoxAnswer yes[] = {platform::MessageBoxAnswer::Yes};
        platform::set_message_box_answers(yes);
        Kes$rterr(401, nullptr);
        std::_Exit(1);
      },
      test::kEndedByBreak, "Stack overflow");
}

}  // namespace
}  // namespace kes::runtime

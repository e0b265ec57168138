// Fatal run-time errors: texts, the box, the hook, the end of the process, the traps; HALT and
// STOP: boxes, hooks, the exit code and the final shutdown; failed assertions: hooks, the box and
// its texts, the internal assertion.
#include "runtime/fatal/fatal.h"

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "files/errors/error_state.h"
#include "runtime/fatal/hooks.h"
#include "runtime/lifecycle/assertion.h"
#include "runtime/lifecycle/halt.h"
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

using HaltTest = test::LifecycleTest;
using HaltDeathTest = test::LifecycleTest;

void report_boxes_at_shutdown() {
  Kes$SHUTDOWN([] {
    std::fprintf(stderr, "shutdown boxes=%zu depth=%d\n", platform::shown_message_box_count(),
                 string_stack_depth());
  });
}

struct HaltCase {
  const char* name;
  void (*halt_hook)(std::int32_t);  // or null
  const char* message;              // pushed unless null
  std::int32_t quiet;
  std::int32_t code;  // the process's exit code after HALT(7), which a hook may change
  const char* output;
};
const HaltCase kHalts[] = {
    {"LoudShowsTheMessage", nullptr, "Bye", 0, 7, "Halt: Bye\nshutdown boxes=1 depth=0"},
    {"QuietShowsNoBox", nullptr, "Bye", 1, 7, "^shutdown boxes=0 depth=0"},
    {"EmptyStackHasAnEmptyMessage", nullptr, nullptr, 0, 7, "Halt: \nshutdown boxes=1"},
    {"HookGetsTheCodeAndTheMessage",
     [](std::int32_t code) {
       std::fprintf(stderr, "hook %d [%s]\n", static_cast<int>(code), test::pop_top_text().c_str());
     },
     "Bye", 0, 7, "hook 7 \\[Bye\\]\nshutdown boxes=0"},
    {"HookThatHaltsAgainEndsWithTheNewCode", [](std::int32_t) { Kes$HALT(9, 0); }, "Bye", 0, 9,
     "Halt: Bye\nshutdown boxes=1"},
};

TEST_F(HaltDeathTest, ShowsTheMessageUnlessQuietAndExitsWithTheCode) {
  for (const HaltCase& c : kHalts) {
    SCOPED_TRACE(c.name);
    EXPECT_EXIT(
        {
          report_boxes_at_shutdown();
          if (c.halt_hook != nullptr) set_program_hook(ProgramHook::Halt, c.halt_hook);
          if (c.message != nullptr) push_text(c.message);
          Kes$HALT(7, c.quiet);
        },
        testing::ExitedWithCode(c.code), c.output);
  }
}

TEST_F(HaltDeathTest, HaltRunsTheExitProcedures) {
  EXPECT_EXIT(
      {
        Kes$atexit([] { std::fputs("exit procedure\n", stderr); });
        push_text("Bye");
        Kes$HALT(0, 1);
      },
      testing::ExitedWithCode(0), "exit procedure");
}

TEST_F(HaltDeathTest, StopAbortEndsWithCodeZero) {
  EXPECT_EXIT(
      {
        report_boxes_at_shutdown();
        push_text("");
        Kes$STOP(1);
        std::_Exit(1);
      },
      testing::ExitedWithCode(0), "Stop: Exit\\?\nshutdown boxes=1");
}

TEST_F(HaltTest, StopIgnoreGoesOnAndTheFlagAppendsTheQuestionToTheCutMessage) {
  const platform::MessageBoxAnswer ignore[] = {platform::MessageBoxAnswer::Ignore,
                                               platform::MessageBoxAnswer::Ignore,
                                               platform::MessageBoxAnswer::Ignore};
  platform::set_message_box_answers(ignore);
  push_text("Careful");
  Kes$STOP(0);
  platform::RecordedMessageBox box = platform::last_message_box();
  EXPECT_EQ(box.caption, "Stop");
  EXPECT_EQ(box.text, "Careful");
  EXPECT_EQ(box.buttons, platform::MessageBoxButtons::AbortIgnore);
  EXPECT_EQ(box.default_button, 0);  // Abort
  EXPECT_EQ(box.icon, platform::MessageBoxIcon::Stop);
  push_text("Careful. ");
  Kes$STOP(-1);
  EXPECT_EQ(platform::last_message_box().text, "Careful. Exit?");
  push_text(std::string(5000, 'm'));
  Kes$STOP(1);
  EXPECT_EQ(platform::last_message_box().text, std::string(1024, 'm') + "Exit?");
  EXPECT_EQ(string_stack_depth(), 0);
  EXPECT_FALSE(halting());
}

TEST_F(HaltTest, StopHookGetsTheFlagAndLeavesTheMessage) {
  static std::int32_t flag_seen = 0;
  set_program_hook(ProgramHook::Stop, [](std::int32_t flag) { flag_seen = flag; });
  push_text("Careful");
  Kes$STOP(1);
  EXPECT_EQ(flag_seen, 1);
  EXPECT_EQ(platform::shown_message_box_count(), 0u);
  EXPECT_EQ(test::pop_top_text(), "Careful");
}

using AssertionTest = test::LifecycleTest;
using AssertionDeathTest = test::LifecycleTest;

int hooked = 0;  // which hook ran last: 1 for AssertHook, 2 for AssertHook2
std::int32_t hooked_line = 0;
template <int Hook>
void record_hook(std::int32_t line) {
  hooked = Hook;
  hooked_line = line;
}

// What the report left: "hook <n> <line>" and the string stack from the top, or the box's text.
std::string outcome() {
  std::string text = hooked == 0
                         ? std::string(platform::last_message_box().text)
                         : "hook " + std::to_string(hooked) + " " + std::to_string(hooked_line);
  while (string_stack_depth() > 0)
    text += " | " + test::pop_top_text();
  return text;
}

TEST_F(AssertionTest, AssertFailedGoesToTheHookOrAsksAboutTheDebugger) {
  hooked = 0;
  Kes$AssertFailed(12, "main.cln");
  platform::RecordedMessageBox box = platform::last_message_box();
  EXPECT_EQ(box.caption, "Assertion Failed");
  EXPECT_EQ(box.text, "Assertion failed on line: 12 in file main.cln. Shall I GPF?");
  EXPECT_EQ(box.buttons, platform::MessageBoxButtons::YesNo);
  EXPECT_EQ(box.default_button, 1);
  EXPECT_EQ(box.icon, platform::MessageBoxIcon::Exclamation);
  EXPECT_FALSE(halting());        // No: the program goes on
  Kes$AssertFailed(-3, nullptr);  // a null file name reads as empty
  EXPECT_EQ(outcome(), "Assertion failed on line: -3 in file . Shall I GPF?");
  set_program_hook(ProgramHook::Assert, record_hook<1>);
  Kes$AssertFailed(12, "main.cln");
  EXPECT_EQ(outcome(), "hook 1 12 | main.cln");
  EXPECT_EQ(platform::shown_message_box_count(), 2u);
}

TEST_F(AssertionTest, MessageGoesToTheSecondHookTheFirstOrTheBox) {
  const std::string box = "Assertion failed on line: 40 in file calc.cln. Message: ";
  const struct {
    const char* name;
    bool first_hook;
    bool second_hook;
    std::string message;  // pushed unless empty
    std::string outcome;
  } cases[] = {
      {"SecondHookGetsTheClippedMessage", true, true, "Total wrong  ",
       "hook 2 40 | calc.cln | Total wrong"},
      {"BlankMessageUsesTheFirstHook", true, true, "    ", "hook 1 40 | calc.cln"},
      {"FirstHookAloneDropsTheMessage", true, false, "Total wrong", "hook 1 40 | calc.cln"},
      {"BlankMessageWithOnlyTheSecondHookShowsTheBox", false, true, "  ", box + ". Shall I GPF?"},
      {"BoxClipsTheMessage", false, false, "Total wrong   ", box + "Total wrong. Shall I GPF?"},
      {"BoxCutsTheMessageTo512", false, false, std::string(600, 'w'),
       box + std::string(512, 'w') + ". Shall I GPF?"},
      {"MissingOnAnEmptyStackIsBlank", false, false, "", box + ". Shall I GPF?"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    hooked = 0;
    set_program_hook(ProgramHook::Assert, c.first_hook ? record_hook<1> : nullptr);
    set_program_hook(ProgramHook::Assert2, c.second_hook ? record_hook<2> : nullptr);
    if (!c.message.empty()) push_text(c.message);
    Kes$AssertFailedM(40, "calc.cln");
    EXPECT_EQ(outcome(), c.outcome);
  }
}

TEST_F(AssertionDeathTest, YesBreaksIntoTheDebugger) {
  EXPECT_EXIT(
      {
        const platform::MessageBoxAnswer yes[] = {platform::MessageBoxAnswer::Yes};
        platform::set_message_box_answers(yes);
        Kes$AssertFailed(12, "main.cln");
        std::_Exit(1);
      },
      test::kEndedByBreak, "Assertion failed on line: 12");
}

TEST_F(AssertionDeathTest, InternalAssertionIsRuntimeError501) {
  EXPECT_EXIT(
      {
        set_library_active_for_testing(true);
        push_text("left over");
        WslDebug$AssertFailed("count > 0", "ctllist.cpp", 77);
        std::_Exit(1);
      },
      testing::ExitedWithCode(2),
      // The text holds CR LF; Windows reads the captured output back as text, which drops the CR.
      "Assertion failed:count > 0\r?\nFile ctllist.cpp line 77\n"
      "Runtime error: Internal error 01 : Assertion failed:count > 0\r?\nFile ctllist.cpp line 77"
      "\nDo you want to GPF");
}

TEST_F(AssertionTest, InternalAssertionLogsAndEmptiesTheStack) {
  static std::string logged;
  library_hooks().write_diagnostic_log = [](std::string_view text) { logged = text; };
  push_text("one");
  push_text("two");
  WslDebug$AssertFailed("x", nullptr, 5);  // not active: returns after the box
  EXPECT_EQ(logged, "Assertion failed:x\r\nFile  line 5");
  EXPECT_EQ(string_stack_depth(), 0);
  EXPECT_EQ(Kes$ERRCODE, 501);
  EXPECT_EQ(platform::last_message_box().text,
            "Internal error 01 : Assertion failed:x\r\nFile  line 5\nDo you want to GPF?");
}

}  // namespace
}  // namespace kes::runtime

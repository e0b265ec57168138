// Failed assertions: hooks, the box and its texts, the internal assertion.
#include "runtime/lifecycle/assertion.h"

#include <csignal>
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "files/errors/error_state.h"
#include "runtime/fatal/hooks.h"
#include "tests/runtime/lifecycle/lifecycle_test_support.h"

namespace kes::runtime {
namespace {

using AssertionTest = test::LifecycleTest;
using AssertionDeathTest = test::LifecycleTest;

std::int32_t hook_line = 0;
int hook_calls = 0;

void count_hook(std::int32_t line) {
  hook_line = line;
  ++hook_calls;
}

TEST_F(AssertionTest, BoxWithoutHookAsksAboutTheDebugger) {
  Kes$AssertFailed(12, "main.cln");
  platform::RecordedMessageBox box = platform::last_message_box();
  EXPECT_EQ(box.caption, "Assertion Failed");
  EXPECT_EQ(box.text, "Assertion failed on line: 12 in file main.cln. Shall I GPF?");
  EXPECT_EQ(box.buttons, platform::MessageBoxButtons::YesNo);
  EXPECT_EQ(box.default_button, 1);
  EXPECT_EQ(box.icon, platform::MessageBoxIcon::Exclamation);
  EXPECT_FALSE(halting());        // No: the program goes on
  Kes$AssertFailed(-3, nullptr);  // a null file name reads as empty
  EXPECT_EQ(platform::last_message_box().text,
            "Assertion failed on line: -3 in file . Shall I GPF?");
}

TEST_F(AssertionTest, HookGetsLineAndFile) {
  hook_calls = 0;
  set_program_hook(ProgramHook::Assert, count_hook);
  Kes$AssertFailed(12, "main.cln");
  EXPECT_EQ(hook_calls, 1);
  EXPECT_EQ(hook_line, 12);
  EXPECT_EQ(test::pop_string(), "main.cln");
  EXPECT_EQ(platform::shown_message_box_count(), 0u);
}

TEST_F(AssertionTest, MessageBoxCarriesTheMessageClippedAndCut) {
  const struct {
    const char* name;
    std::string message;  // pushed unless empty
    std::string box;      // after "Assertion failed on line: 40 in file calc.cln. Message: "
  } cases[] = {
      {"TrailingBlanksClipped", "Total wrong   ", "Total wrong"},
      {"CutTo512", std::string(600, 'w'), std::string(512, 'w')},
      {"MissingOnAnEmptyStackIsBlank", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (!c.message.empty()) push_text(c.message);
    Kes$AssertFailedM(40, "calc.cln");
    EXPECT_EQ(
        platform::last_message_box().text,
        "Assertion failed on line: 40 in file calc.cln. Message: " + c.box + ". Shall I GPF?");
    EXPECT_EQ(string_stack_depth(), 0);
  }
}

TEST_F(AssertionTest, MessageGoesToSecondHook) {
  hook_calls = 0;
  set_program_hook(ProgramHook::Assert2, count_hook);
  set_program_hook(ProgramHook::Assert, [](std::int32_t) { std::_Exit(1); });
  push_text("Total wrong  ");
  Kes$AssertFailedM(40, "calc.cln");
  EXPECT_EQ(hook_calls, 1);
  EXPECT_EQ(hook_line, 40);
  EXPECT_EQ(test::pop_string(), "calc.cln");
  EXPECT_EQ(test::pop_string(), "Total wrong");
  EXPECT_EQ(string_stack_depth(), 0);
}

TEST_F(AssertionTest, BlankMessageUsesTheFirstHookEvenWithTheSecond) {
  hook_calls = 0;
  set_program_hook(ProgramHook::Assert2, [](std::int32_t) { std::_Exit(1); });
  set_program_hook(ProgramHook::Assert, count_hook);
  push_text("    ");
  Kes$AssertFailedM(41, "calc.cln");
  EXPECT_EQ(hook_calls, 1);
  EXPECT_EQ(hook_line, 41);
  EXPECT_EQ(test::pop_string(), "calc.cln");
  EXPECT_EQ(string_stack_depth(), 0);
}

TEST_F(AssertionTest, BlankMessageWithOnlyTheSecondHookShowsTheBox) {
  set_program_hook(ProgramHook::Assert2, [](std::int32_t) { std::_Exit(1); });
  push_text("  ");
  Kes$AssertFailedM(42, "calc.cln");
  EXPECT_EQ(platform::last_message_box().text,
            "Assertion failed on line: 42 in file calc.cln. Message: . Shall I GPF?");
}

TEST_F(AssertionTest, MessageWithOnlyTheFirstHookDropsTheMessage) {
  hook_calls = 0;
  set_program_hook(ProgramHook::Assert, count_hook);
  push_text("Total wrong");
  Kes$AssertFailedM(43, "calc.cln");
  EXPECT_EQ(hook_calls, 1);
  EXPECT_EQ(test::pop_string(), "calc.cln");
  EXPECT_EQ(string_stack_depth(), 0);
}

// A break with no debugger attached ends the program: by the trap signal on POSIX hosts, with
// abort's exit code 3 on Windows.
#ifdef _WIN32
const testing::ExitedWithCode kEndedByBreak(3);
#else
const testing::KilledBySignal kEndedByBreak(SIGTRAP);
#endif

TEST_F(AssertionDeathTest, YesBreaksIntoTheDebugger) {
  EXPECT_EXIT(
      {
        const platform::MessageBoxAnswer yes[] = {platform::MessageBoxAnswer::Yes};
        platform::set_message_box_answers(yes);
        Kes$AssertFailed(12, "main.cln");
        std::_Exit(1);
      },
      kEndedByBreak, "Assertion failed on line: 12");
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

std::string logged;

TEST_F(AssertionTest, InternalAssertionLogsAndEmptiesTheStack) {
  logged.clear();
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

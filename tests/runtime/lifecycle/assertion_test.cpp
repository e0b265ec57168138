// Failed assertions: hooks, the box and its texts, the internal assertion.
#include "runtime/lifecycle/assertion.h"

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

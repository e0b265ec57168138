// HALT and STOP: boxes, hooks, the exit code and the final shutdown.
#include "runtime/lifecycle/halt.h"

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "runtime/fatal/hooks.h"
#include "tests/runtime/lifecycle/lifecycle_test_support.h"

namespace kes::runtime {
namespace {

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

}  // namespace
}  // namespace kes::runtime

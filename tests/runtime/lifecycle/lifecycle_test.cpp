// Exit procedures, exit, the final shutdown, close-down, program start and the instances; the
// version handshake; RUN and RUNCODE with real programs.
#include "runtime/lifecycle/lifecycle.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "files/errors/error_state.h"
#include "runtime/fatal/hooks.h"
#include "runtime/lifecycle/module_registry.h"
#include "runtime/lifecycle/run_program.h"
#include "runtime/lifecycle/version.h"
#include "tests/runtime/lifecycle/lifecycle_test_support.h"

namespace kes::runtime {
namespace {

using LifecycleTest = test::LifecycleTest;
using LifecycleDeathTest = test::LifecycleTest;

void say(const char* text) { std::fputs(text, stderr); }
void must_not_run() { std::_Exit(1); }

TEST_F(LifecycleTest, AtexitHas33SlotsAndRefusesNull) {
  EXPECT_EQ(Kes$atexit(nullptr), 1);
  for (int i = 0; i < kExitProcedureSlots; ++i)
    EXPECT_EQ(Kes$atexit(must_not_run), 0) << i;
  EXPECT_EQ(Kes$atexit(must_not_run), 1);  // the 34th
}

TEST_F(LifecycleDeathTest, ExitRunsProceduresNewestFirstThenTerminators) {
  std::vector<KesInitEntry> table = {{10, nullptr, [](std::int32_t) { say("terminator\n"); }}};
  KesModuleDescriptor d = test::descriptor_of(table);
  EXPECT_EXIT(
      {
        _sysinit(&d, nullptr);
        Kes$atexit([] { say("first\n"); });
        Kes$atexit([] { say("second\n"); });
        Kes$exit(5);
      },
      testing::ExitedWithCode(5), "second\nfirst\nterminator\n");
  EXPECT_EXIT(Kes$exit(0), testing::ExitedWithCode(0), "");
}

TEST_F(LifecycleDeathTest, ExitFromAnExitProcedureEndsAtOnce) {
  // What is left (the first procedure, then the terminator) would end with code 1.
  std::vector<KesInitEntry> table = {{10, nullptr, [](std::int32_t) { std::_Exit(1); }}};
  KesModuleDescriptor d = test::descriptor_of(table);
  EXPECT_EXIT(
      {
        _sysinit(&d, nullptr);
        Kes$atexit(must_not_run);
        Kes$atexit([] { Kes$exit(9); });
        Kes$atexit([] { say("third\n"); });
        Kes$exit(5);
      },
      testing::ExitedWithCode(9), "third\n");
}

TEST_F(LifecycleDeathTest, StandardHaltEndsAtOnceWith255) {
  EXPECT_EXIT(
      {
        Kes$atexit(must_not_run);
        Standard$HALT();
      },
      testing::ExitedWithCode(255), "");
}

std::vector<std::string> steps;

TEST_F(LifecycleTest, CloseDownClosesWindowsThenShutsDownOnce) {
  steps.clear();
  set_library_active_for_testing(true);
  library_hooks().close_open_windows = [] { steps.push_back("windows"); };
  library_hooks().close_thread_layer = [] {
    steps.push_back(library_active() ? "threads while active" : "threads while inactive");
  };
  library_hooks().stop_timer = [] {
    steps.push_back(library_active() ? "timer while active" : "timer while inactive");
  };
  library_hooks().commit_transaction = [] { steps.push_back("commit"); };
  library_hooks().close_open_files = [] { steps.push_back("files"); };
  Kes$SHUTDOWN([] { steps.push_back("replaced"); });
  Kes$SHUTDOWN([] { steps.push_back("shutdown"); });
  Wsl$CloseDown();
  run_final_shutdown();
  EXPECT_EQ(steps,
            (std::vector<std::string>{"windows", "threads while active", "timer while inactive",
                                      "shutdown", "commit", "files"}));
  EXPECT_FALSE(library_active());
}

int locale_starts = 0;
int main_threads = 0;
int locale_starts_seen_by_initialiser = -1;

TEST_F(LifecycleTest, ProgramCodeStartsTheLocaleAndMainThreadOnce) {
  locale_starts = main_threads = 0;
  library_hooks().start_locale = [] { ++locale_starts; };
  library_hooks().initialise_main_thread = [] { ++main_threads; };
  Kes$code();
  Kes$code();
  EXPECT_EQ(locale_starts, 1);
  EXPECT_EQ(main_threads, 1);
}

TEST_F(LifecycleTest, FirstModuleStartsTheLocaleBeforeItsInitialisers) {
  locale_starts = 0;
  locale_starts_seen_by_initialiser = -1;
  library_hooks().start_locale = [] { ++locale_starts; };
  std::vector<KesInitEntry> table = {
      {255, [](std::int32_t) { locale_starts_seen_by_initialiser = locale_starts; }, nullptr}};
  KesModuleDescriptor program = test::descriptor_of(table);
  _sysinit(&program, nullptr);
  EXPECT_EQ(locale_starts_seen_by_initialiser, 1);
  KesModuleDescriptor dll{};
  int dll_instance = 0;
  _sysinit(&dll, &dll_instance);
  Kes$code();
  EXPECT_EQ(locale_starts, 1);  // once per process
}

TEST_F(LifecycleTest, InstancesAsRecorded) {
  int library_anchor = 0;
  attach_library(&library_anchor);
  EXPECT_TRUE(library_active());
  EXPECT_EQ(Wsl$GetLibInstance(), &library_anchor);
  EXPECT_NE(Wsl$GetAppInstance(), nullptr);
  EXPECT_EQ(registered_module_count(), 1u);  // the library's own module
  int other = 0;
  Wsl$SetLibInstance(&other);
  EXPECT_EQ(Wsl$GetLibInstance(), &other);
  detach_library(&library_anchor);
  EXPECT_EQ(registered_module_count(), 0u);
}

TEST_F(LifecycleTest, LoadsAndFreesLibraries) {
#ifdef _WIN32
  void* handle = Kew$LoadLibrary("kernel32.dll");  // a library every host has
#else
  void* handle = Kew$LoadLibrary("libm.so.6");
#endif
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(Kew$FreeLibrary(handle), 1);
  EXPECT_EQ(Kew$LoadLibrary("no-such-library.so"), nullptr);
}

TEST_F(LifecycleTest, CallDestructorsTerminatesTheModule) {
  static int terminated = 0;
  terminated = 0;
  std::vector<KesInitEntry> table = {{1, nullptr, [](std::int32_t) { ++terminated; }}};
  KesModuleDescriptor d = test::descriptor_of(table);
  int module = 0;
  _sysinit(&d, &module);
  Kew$CallDestructors(&module);
  _systerm(&module);  // already gone
  EXPECT_EQ(terminated, 1);
}

using VersionTest = test::LifecycleTest;

struct CheckCase {
  const char* name;
  std::int32_t word;
  std::int32_t minor;
  std::int32_t result;
};
constexpr CheckCase kChecks[] = {
    {"ExactVersion", 5, 500, 1}, {"OlderMinor", 5, 0, 1},
    {"MinorOneOver", 5, 501, 0}, {"HighBitIgnored", 0x8005, 500, 1},
    {"OtherMajor", 6, 0, 0},     {"OlderMajor", 4, 500, 0},
    {"Zero", 0, 0, 0},           {"Bit8Set", 0x105, 500, 0},
};

TEST_F(VersionTest, AcceptsMajorFiveUpToMinor500) {
  for (const CheckCase& c : kChecks) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(_checkversion(c.word, c.minor, 0), c.result);
  }
  EXPECT_EQ(platform::shown_message_box_count(), 5u);  // a box for each refusal only
  EXPECT_EQ(_getversion(), 328180);
  EXPECT_EQ(library_version_number(), 5500);
  ASSERT_EQ(_checkversion(0x8005, 400, 7), 1);  // the last accepted is the program's
  ModuleVersion v = program_version();
  EXPECT_EQ(v.major, 5);
  EXPECT_EQ(v.minor, 400);
  EXPECT_EQ(v.build, 7);
  EXPECT_EQ(program_version_number(), 5400);
}

TEST_F(VersionTest, RefusalNamesBothVersions) {
  EXPECT_EQ(_checkversion(0x106, 501, 3), 0);
  platform::RecordedMessageBox box = platform::last_message_box();
  EXPECT_EQ(box.caption, "Kestrel 5.5 Runtime Library");
  EXPECT_EQ(box.text,
            "This program or a component DLL requires K55RUNX version 6.501.03 or later\r\n"
            "This version is 5.500.00 Release");
  EXPECT_EQ(box.icon, platform::MessageBoxIcon::Stop);
  EXPECT_EQ(box.default_button, 0);
  EXPECT_EQ(program_version_number(), 0);   // nothing recorded
  EXPECT_EQ(_checkversion(5, 501, 12), 0);  // without bit 8 the name has no X
  EXPECT_EQ(platform::last_message_box().text,
            "This program or a component DLL requires K55RUN version 5.501.12 or later\r\n"
            "This version is 5.500.00 Release");
}

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

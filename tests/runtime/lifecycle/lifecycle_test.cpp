// Exit procedures, exit, the final shutdown, close-down and the instances.
#include "runtime/lifecycle/lifecycle.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/fatal/hooks.h"
#include "runtime/lifecycle/module_registry.h"
#include "tests/runtime/lifecycle/lifecycle_test_support.h"

namespace kes::runtime {
namespace {

using LifecycleTest = test::LifecycleTest;
using LifecycleDeathTest = test::LifecycleTest;

void say(const char* text) { std::fputs(text, stderr); }

void first_procedure() { say("first\n"); }
void second_procedure() { say("second\n"); }
void third_procedure() { say("third\n"); }
void executable_terminator(std::int32_t) { say("terminator\n"); }
void failing_terminator(std::int32_t) { std::_Exit(1); }
void must_not_run() { std::_Exit(1); }
void exit_again() { Kes$exit(9); }

TEST_F(LifecycleTest, AtexitHas33Slots) {
  for (int i = 0; i < kExitProcedureSlots; ++i) {
    EXPECT_EQ(Kes$atexit(first_procedure), 0) << i;
  }
  EXPECT_EQ(Kes$atexit(first_procedure), 1);  // the 34th
  EXPECT_EQ(Kes$atexit(second_procedure), 1);
}

TEST_F(LifecycleTest, AtexitRefusesNull) { EXPECT_EQ(Kes$atexit(nullptr), 1); }

TEST_F(LifecycleDeathTest, ExitRunsProceduresNewestFirstThenTerminators) {
  std::vector<KesInitEntry> table = {{10, nullptr, executable_terminator}};
  KesModuleDescriptor d{};
  d.init_start = table.data();
  d.init_end = table.data() + 1;
  EXPECT_EXIT(
      {
        _sysinit(&d, nullptr);
        Kes$atexit(first_procedure);
        Kes$atexit(second_procedure);
        Kes$atexit(third_procedure);
        Kes$exit(5);
      },
      testing::ExitedWithCode(5), "third\nsecond\nfirst\nterminator\n");
}

TEST_F(LifecycleDeathTest, ExitFromAnExitProcedureEndsAtOnce) {
  std::vector<KesInitEntry> table = {{10, nullptr, failing_terminator}};
  KesModuleDescriptor d{};
  d.init_start = table.data();
  d.init_end = table.data() + 1;
  // The procedure registered first would run last, and the terminator after it: either would
  // end the process with code 1.
  EXPECT_EXIT(
      {
        _sysinit(&d, nullptr);
        Kes$atexit(must_not_run);
        Kes$atexit(exit_again);
        Kes$atexit(third_procedure);
        Kes$exit(5);
      },
      testing::ExitedWithCode(9), "third\n");
}

TEST_F(LifecycleDeathTest, ExitWithoutProceduresEndsWithTheCode) {
  EXPECT_EXIT(Kes$exit(0), testing::ExitedWithCode(0), "");
  EXPECT_EXIT(Kes$exit(255), testing::ExitedWithCode(255), "");
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

TEST_F(LifecycleTest, FinalShutdownWithoutStepsDoesNothing) {
  steps.clear();
  run_final_shutdown();
  EXPECT_TRUE(steps.empty());
}

TEST_F(LifecycleTest, FinalShutdownRunsOnceInOrder) {
  steps.clear();
  library_hooks().commit_transaction = [] { steps.push_back("commit"); };
  library_hooks().close_open_files = [] { steps.push_back("files"); };
  Kes$SHUTDOWN([] { steps.push_back("replaced"); });
  Kes$SHUTDOWN([] { steps.push_back("shutdown"); });
  run_final_shutdown();
  run_final_shutdown();
  EXPECT_EQ(steps, (std::vector<std::string>{"shutdown", "commit", "files"}));
}

TEST_F(LifecycleTest, CloseDownClosesWindowsThenShutsDown) {
  steps.clear();
  set_library_active_for_testing(true);
  library_hooks().close_open_windows = [] { steps.push_back("windows"); };
  library_hooks().close_thread_layer = [] {
    steps.push_back(library_active() ? "threads while active" : "threads while inactive");
  };
  library_hooks().stop_timer = [] {
    steps.push_back(library_active() ? "timer while active" : "timer while inactive");
  };
  library_hooks().close_open_files = [] { steps.push_back("files"); };
  Kes$SHUTDOWN([] { steps.push_back("shutdown"); });
  Wsl$CloseDown();
  EXPECT_EQ(steps, (std::vector<std::string>{"windows", "threads while active",
                                             "timer while inactive", "shutdown", "files"}));
  EXPECT_FALSE(library_active());
}

int main_thread_initialised = 0;

TEST_F(LifecycleTest, ProgramCodeInitialisesTheMainThreadOnce) {
  main_thread_initialised = 0;
  library_hooks().initialise_main_thread = [] { ++main_thread_initialised; };
  Kes$code();
  Kes$code();
  EXPECT_EQ(main_thread_initialised, 1);
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

int locale_starts = 0;
int locale_starts_seen_by_initialiser = -1;

TEST_F(LifecycleTest, FirstModuleStartsTheLocaleBeforeItsInitialisers) {
  locale_starts = 0;
  locale_starts_seen_by_initialiser = -1;
  library_hooks().start_locale = [] { ++locale_starts; };
  std::vector<KesInitEntry> table = {
      {255, [](std::int32_t) { locale_starts_seen_by_initialiser = locale_starts; }, nullptr}};
  KesModuleDescriptor program{};
  program.init_start = table.data();
  program.init_end = table.data() + 1;
  _sysinit(&program, nullptr);
  EXPECT_EQ(locale_starts_seen_by_initialiser, 1);
  KesModuleDescriptor dll{};
  int dll_instance = 0;
  _sysinit(&dll, &dll_instance);
  Kes$code();
  EXPECT_EQ(locale_starts, 1);  // once per process
}

TEST_F(LifecycleTest, ProgramCodeStartsTheLocaleWhenNoModuleHas) {
  locale_starts = 0;
  library_hooks().start_locale = [] { ++locale_starts; };
  Kes$code();
  Kes$code();
  EXPECT_EQ(locale_starts, 1);
}

TEST_F(LifecycleTest, StartInformationAndPatchingDoNothing) {
  Kew$SetStartInfo();
  Kew$PatchDlls();
  Kew$UnpatchDlls();
  EXPECT_EQ(registered_module_count(), 0u);
  EXPECT_EQ(platform::shown_message_box_count(), 0u);
}

// A library every host has.
#ifdef _WIN32
constexpr const char* kSystemLibrary = "kernel32.dll";
#else
constexpr const char* kSystemLibrary = "libm.so.6";
#endif

TEST_F(LifecycleTest, LoadsAndFreesLibraries) {
  void* handle = Kew$LoadLibrary(kSystemLibrary);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(Kew$FreeLibrary(handle), 1);
  EXPECT_EQ(Kew$LoadLibrary("no-such-library.so"), nullptr);
}

TEST_F(LifecycleTest, CallDestructorsTerminatesTheModule) {
  static int terminated = 0;
  terminated = 0;
  std::vector<KesInitEntry> table = {{1, nullptr, [](std::int32_t) { ++terminated; }}};
  KesModuleDescriptor d{};
  d.init_start = table.data();
  d.init_end = table.data() + 1;
  int module = 0;
  _sysinit(&d, &module);
  Kew$CallDestructors(&module);
  EXPECT_EQ(terminated, 1);
  _systerm(&module);  // already gone
  EXPECT_EQ(terminated, 1);
}

}  // namespace
}  // namespace kes::runtime

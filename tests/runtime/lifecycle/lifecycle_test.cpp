// Exit procedures, exit, the final shutdown, close-down, program start and the instances.
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

}  // namespace
}  // namespace kes::runtime

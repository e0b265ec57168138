// LOGOUT, COMMIT and ROLLBACK across files, the logout list, the driver registry, and the final
// shutdown's commit and close.
#include "files/dispatch/transaction.h"

#include <string>
#include <vector>

#include "files/dispatch/logout_list.h"
#include "platform/core/heap.h"
#include "platform/msgbox/message_box.h"
#include "runtime/fatal/fatal.h"
#include "runtime/lifecycle/halt.h"
#include "tests/files/dispatch/recording_driver.h"

namespace kes::test {
namespace {

using Calls = std::vector<std::string>;
using Transactions = DriverTest;
using TransactionsDeathTest = DriverTest;

TEST_F(Transactions, LogoutLocksAndLogsOutInOrderAndCommitEndsNewestFirst) {
  TestFile a("A"), b("B");
  b.support.lock_before_logout = true;
  b.support.unlock_after = true;
  open(a, b);
  Kes$LOGOUT(5, &a.block, &b.block, nullptr);
  EXPECT_EQ(Kes$ERRCODE, 0);
  EXPECT_EQ(recorded(), (Calls{"22:A", "21:B", "22:B"}));
  EXPECT_EQ(driver_calls[1].arguments.values[0], 5);  // the timeout
  EXPECT_EQ(Kes$getLogoutNumber(&a.block), 1);
  EXPECT_EQ(Kes$getLogoutNumber(&b.block), 2);
  driver_calls.clear();
  Kes$COMMIT();
  EXPECT_EQ(recorded(), (Calls{"8:B", "50:B", "8:A"}));
  EXPECT_EQ(Kes$getLogoutNumber(&a.block), 0);
  Kes$COMMIT();
  EXPECT_EQ(Kes$ERRCODE, 91);
}

struct LogoutFailureCase {
  const char* name;
  bool second_open, second_recorded, second_logs_out, second_locks;
  std::int32_t lock_error, logout_error;  // posted by the second file's lock and LOGOUT; the
                                          // first unlocks after a LOGOUT error
  bool first_rolls_back;
  Calls calls;  // after the first file's LOGOUT
  std::int32_t error;
};
const LogoutFailureCase kLogoutFailures[] = {
    {"ClosedFile", false, true, true, false, 0, 0, true, {"40:A"}, 37},
    {"NoRegistryRecord", true, false, true, false, 0, 0, true, {"40:A"}, 48},
    {"NoLogoutSupport", true, true, false, true, 0, 0, true, {"21:B", "50:B", "40:A"}, 48},
    {"LockRefused", true, true, true, true, 32, 0, true, {"21:B", "40:A"}, 48},
    {"FirstWithoutRollback", false, true, true, false, 0, 0, false, {}, 37},
    {"SecondLogoutFails", true, true, true, false, 0, 90, true, {"22:B", "40:A", "50:A"}, 48},
    {"UnsupportedLockStillLogsOut", true, true, true, true, 80, 0, true, {"21:B", "22:B"}, 0},
};

TEST_F(Transactions, SecondFileFailureRollsBackAndPostsItsErrorAnUnsupportedLockDoesNot) {
  for (const LogoutFailureCase& c : kLogoutFailures) {
    SCOPED_TRACE(c.name);
    reset();
    TestFile a("A"), b("B");
    a.support.supports_rollback = c.first_rolls_back;
    a.support.unlock_after = c.logout_error != 0;
    b.support.supports_logout = c.second_logs_out;
    b.support.lock_before_logout = c.second_locks;
    open(a, b);
    if (!c.second_recorded) Kes$deactivate_drv(&b.block);
    if (!c.second_open) Kes$FILE_CLOSE(&b.block);
    if (c.lock_error != 0) driver_failures[{&b.block, DRV_LOCKFILESEC}] = c.lock_error;
    if (c.logout_error != 0) driver_failures[{&b.block, DRV_LOGOUT}] = c.logout_error;
    driver_calls.clear();
    Kes$LOGOUT(1, &a.block, &b.block, nullptr);
    Calls expected{"22:A"};
    expected.insert(expected.end(), c.calls.begin(), c.calls.end());
    EXPECT_EQ(recorded(), expected);
    EXPECT_EQ(Kes$ERRCODE, c.error);
    EXPECT_EQ(files::transaction_active(), c.error == 0);
    if (c.logout_error != 0) {
      EXPECT_EQ(files::error_file_name(), "B");
    }
  }
}

TEST_F(Transactions, SecondLogoutPosts56AndTheFirstStaysActive) {
  TestFile a("A");
  open(a);
  Kes$LOGOUT(1, &a.block, nullptr);
  driver_calls.clear();
  Kes$LOGOUT(1, &a.block, nullptr);
  EXPECT_EQ(Kes$ERRCODE, 56);
  EXPECT_TRUE(driver_calls.empty());
  Kes$ROLLBACK();
  EXPECT_EQ(recorded(), Calls{"40:A"});
  Kes$ROLLBACK();
  EXPECT_EQ(Kes$ERRCODE, 91);
}

TEST_F(Transactions, LogoutWithoutFilesTakesTheListInNumberOrderAndEmptiesIt) {
  TestFile a("A"), b("B"), c("C"), d("D");
  open(a, b, c, d);
  EXPECT_EQ(Kes$addLogoutFile(&d.block, 40000), 0);  // numbers are unsigned 16-bit: last
  EXPECT_EQ(Kes$addLogoutFile(&a.block, 7), 0);
  EXPECT_EQ(Kes$deleteLogoutFile(&a.block), 0);
  EXPECT_EQ(Kes$deleteLogoutFile(&a.block), 48);
  EXPECT_EQ(Kes$getLogoutNumber(nullptr), 0);
  EXPECT_EQ(Kes$addLogoutFile(&b.block, 5), 0);
  EXPECT_EQ(Kes$addLogoutFile(&c.block, 9), 0);
  EXPECT_EQ(Kes$addLogoutFile(&a.block, 5), 0);  // after B: equal numbers keep their order
  EXPECT_EQ(Kes$addLogoutFile(&c.block, 2), 0);  // replaces its earlier number
  EXPECT_EQ(Kes$getLogoutNumber(&c.block), 2);
  Kes$LOGOUT(3, nullptr);
  EXPECT_EQ(recorded(), (Calls{"22:C", "22:B", "22:A", "22:D"}));
  EXPECT_EQ(Kes$getLogoutNumber(&b.block), 5);
  EXPECT_EQ(Kes$getLogoutNumber(&d.block), 40000);
  Kes$COMMIT();
  EXPECT_EQ(Kes$getLogoutNumber(&b.block), 0);  // the list was emptied
  driver_calls.clear();
  Kes$LOGOUT(3, nullptr);
  EXPECT_EQ(Kes$ERRCODE, 48);  // no file at all
  EXPECT_TRUE(driver_calls.empty());
}

TEST_F(Transactions, ARegistrationThatFindsNoMemoryReturns48AndRegistersNothing) {
  TestFile a("A");
  int failures = 0;
  // Each allocation a first registration makes fails in turn (a cache that does without its
  // block lets the registration succeed); every outcome is all or nothing.
  for (std::size_t n = 1; n <= 32; ++n) {
    SCOPED_TRACE(n);
    files::clear_logout_files();
    platform::heap_fail_nth(n);
    const std::int32_t result = Kes$addLogoutFile(&a.block, 3);
    platform::heap_fail_nth(0);
    if (result == 0) {
      EXPECT_EQ(Kes$getLogoutNumber(&a.block), 3);
      continue;
    }
    ++failures;
    EXPECT_EQ(result, 48);
    EXPECT_EQ(Kes$getLogoutNumber(&a.block), 0);
  }
  EXPECT_GT(failures, 0);
}

TEST_F(Transactions, RegistryKeepsTheFirstRecordAndANonzeroStatus) {
  TestFile a("A");
  EXPECT_EQ(Kes$STATUSfile(&a.block), 0);
  Kes$activate_drv(&a.block, 4, 1, 1, 1, 0, 0);
  Kes$activate_drv(&a.block, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(Kes$STATUSfile(&a.block), 4);
  Kes$activate_drv(&a.block, 6, 0, 0, 0, 0, 0);
  EXPECT_EQ(Kes$STATUSfile(&a.block), 6);
  a.block.state = &open_state;
  Kes$LOGOUT(0, &a.block, nullptr);
  EXPECT_EQ(Kes$ERRCODE, 0);  // the first activation's LOGOUT support stands
  Kes$deactivate_drv(&a.block);
  EXPECT_EQ(Kes$STATUSfile(&a.block), 0);
}

// The shutdown paths: the driver reports each call on standard error.
void arrange_shutdown(TestFile& a, TestFile& b) {
  DriverTest::open(a, b);
  Kes$LOGOUT(0, &a.block, nullptr);
  report_calls = true;
}

struct ShutdownCase {
  const char* name;
  void (*end)();
  int exit_code;
};
const ShutdownCase kShutdowns[] = {
    {"Halt",
     [] {
       runtime::push_text("");
       runtime::halt_program(3, true);
     },
     3},
    {"FatalError",
     [] {
       runtime::set_library_active_for_testing(true);
       runtime::fatal(runtime::RuntimeError::Index);
     },
     runtime::kFatalExitCode},
    {"StopWithAbort",
     [] {
       const platform::MessageBoxAnswer abort[] = {platform::MessageBoxAnswer::Abort};
       platform::set_message_box_answers(abort);
       runtime::push_text("Stop");
       runtime::stop_program(0);
     },
     0},
};

TEST_F(TransactionsDeathTest, ProgramEndsCommitAndDestroyNewestFirst) {
  for (const ShutdownCase& c : kShutdowns) {
    SCOPED_TRACE(c.name);
    TestFile a("A"), b("B");
    EXPECT_EXIT(
        {
          arrange_shutdown(a, b);
          c.end();
        },
        testing::ExitedWithCode(c.exit_code), "8 A\n104 B\n104 A\n");
  }
}

TEST_F(Transactions, CloseDownAtTheProgramsEndCommitsAndDestroysOnce) {
  TestFile a("A"), b("B");
  arrange_shutdown(a, b);
  report_calls = false;
  driver_calls.clear();
  runtime::close_down();
  runtime::run_final_shutdown();
  EXPECT_EQ(recorded(), (Calls{"8:A", "104:B", "104:A"}));
  EXPECT_FALSE(files::transaction_active());
  EXPECT_EQ(Kes$STATUSfile(&a.block), 0);
}

}  // namespace
}  // namespace kes::test

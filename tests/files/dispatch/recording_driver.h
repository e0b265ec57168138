// A driver for the tests that records every call it receives and fails the operations a test
// asks it to fail. OPEN and CREATE open the file (state set, driver activated with the file's
// declared support), CLOSE closes it.
//
// State: the record of calls and the failures to post are process-wide, reset by each fixture.
#pragma once

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include <kestrel/driver.h>
#include <kestrel/files.h>

#include <gtest/gtest.h>

#include "files/dispatch/driver_registry.h"
#include "files/dispatch/transaction.h"
#include "files/errors/error_state.h"
#include "runtime/lifecycle/lifecycle.h"
#include "tests/support/stack_helpers.h"

namespace kes::test {

struct DriverCall {
  std::int32_t operation;
  Drv_FCB* file;
  Drv_Args arguments;
};

// A file of the tests: its block and what its driver declares at OPEN.
struct TestFile {
  explicit TestFile(const char* file_name) {
    block.driver = recording_driver;
    block.name = file_name;
    block.name_length = -1;
    block.label = file_name;
  }
  static std::int32_t recording_driver(std::int32_t operation, Drv_FCB* file,
                                       const Drv_Args* arguments) noexcept;
  Drv_FCB block{};
  files::DriverSupport support{7, true, true, true, false, false};
};

inline std::vector<DriverCall> driver_calls;
inline std::map<std::pair<Drv_FCB*, std::int32_t>, std::int32_t> driver_failures;
inline bool report_calls = false;  // death tests: each call also goes to standard error
inline int open_state = 0;         // what an open file's state points at

inline std::int32_t TestFile::recording_driver(std::int32_t operation, Drv_FCB* file,
                                               const Drv_Args* arguments) noexcept {
  driver_calls.push_back({operation, file, *arguments});
  if (report_calls) std::fprintf(stderr, "%d %s\n", static_cast<int>(operation), file->name);
  const auto failure = driver_failures.find({file, operation});
  if (failure != driver_failures.end()) {
    Kes$seterror(failure->second);
    return 0;
  }
  const auto* test_file = reinterpret_cast<TestFile*>(file);
  const files::DriverSupport& s = test_file->support;
  if (operation == DRV_OPEN || operation == DRV_CREATE) {
    file->state = &open_state;
    Kes$activate_drv(file, s.status, s.supports_logout, s.supports_rollback, s.supports_commit,
                     s.lock_before_logout, s.unlock_after);
  } else if (operation == DRV_CLOSE || operation == DRV_DESTROY) {
    Kes$deactivate_drv(file);
    file->state = nullptr;
  }
  return 1000 + operation;  // what the statement returns
}

// The operations recorded, in order, as "op:name" texts.
inline std::vector<std::string> recorded() {
  std::vector<std::string> out;
  for (const DriverCall& call : driver_calls)
    out.push_back(std::to_string(call.operation) + ":" + call.file->name);
  return out;
}

class DriverTest : public testing::Test {
 public:
  void SetUp() override { reset(); }
  void TearDown() override { reset(); }
  static void reset() {
    files::reset_files_for_testing();
    runtime::reset_lifecycle_for_testing();
    files::clear_error();
    driver_calls.clear();
    driver_failures.clear();
    report_calls = false;
    drain_string_stack();
  }
  // Opens the files through OPEN and forgets the calls.
  template <typename... Files>
  static void open(Files&... files) {
    (Kes$FILE_OPEN(&files.block, DRV_ACCESS_READWRITE | DRV_DENY_WRITE), ...);
    driver_calls.clear();
  }
};

}  // namespace kes::test

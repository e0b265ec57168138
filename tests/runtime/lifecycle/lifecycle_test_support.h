// Shared fixture of the life-cycle tests: a clean life cycle, message boxes and string stack.
#pragma once

#include <csignal>
#include <vector>

#include <gtest/gtest.h>

#include "platform/msgbox/message_box.h"
#include "runtime/lifecycle/lifecycle.h"
#include "tests/support/stack_helpers.h"

namespace kes::test {

class LifecycleTest : public testing::Test {
 protected:
  void SetUp() override {
    reset();
    platform::clear_message_boxes();
  }
  void TearDown() override { reset(); }
  static void reset() {
    runtime::reset_lifecycle_for_testing();
    platform::set_message_box_answers({});
    drain_string_stack();
  }
};

// A descriptor over a table of initialisers and terminators.
inline KesModuleDescriptor descriptor_of(const std::vector<KesInitEntry>& table) {
  KesModuleDescriptor d{};
  d.init_start = table.data();
  d.init_end = table.data() + table.size();
  return d;
}

// A break with no debugger attached ends the program: by the trap signal on POSIX hosts, with
// abort's exit code 3 on Windows.
#ifdef _WIN32
inline const testing::ExitedWithCode kEndedByBreak(3);
#else
inline const testing::KilledBySignal kEndedByBreak(SIGTRAP);
#endif

}  // namespace kes::test

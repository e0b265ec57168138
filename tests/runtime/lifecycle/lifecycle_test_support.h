// Shared fixture of the life-cycle tests: a clean life cycle, message boxes and string stack.
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/msgbox/message_box.h"
#include "runtime/lifecycle/lifecycle.h"
#include "runtime/stack/string_stack.h"

namespace kes::test {

class LifecycleTest : public testing::Test {
 protected:
  void SetUp() override {
    runtime::reset_lifecycle_for_testing();
    platform::clear_message_boxes();
    platform::set_message_box_answers({});
    while (runtime::string_stack_depth() > 0)
      runtime::pop_discard();
  }
  void TearDown() override {
    runtime::reset_lifecycle_for_testing();
    platform::set_message_box_answers({});
    while (runtime::string_stack_depth() > 0)
      runtime::pop_discard();
  }
};

// Pops the top of the string stack as a string.
inline std::string pop_string() {
  std::string text(runtime::top_text());
  runtime::pop_discard();
  return text;
}

}  // namespace kes::test

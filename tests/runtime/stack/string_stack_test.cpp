// The string stack: pushes, pops, rotation, self-contained copies and snapshots.
#include "runtime/stack/string_stack.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "platform/core/heap.h"
#include "runtime/fatal/fatal.h"
#include "tests/support/allocation_counter.h"
#include "tests/support/stack_helpers.h"

namespace kes::runtime {
namespace {

// Leaves the stack empty before and after each test, releasing what is left.
class StringStackTest : public testing::Test {
 protected:
  void SetUp() override { test::drain_string_stack(); }
  void TearDown() override { test::drain_string_stack(); }
  static std::string top() { return std::string(top_text()); }
  static std::string pop() { return test::pop_top_text(); }
  static EntryKind top_kind() { return test::top_entry_kind(); }
};

using StringStackPushLong = StringStackTest;

struct LongCase {
  const char* name;
  std::int32_t value;
  const char* text;
};
constexpr LongCase kLongCases[] = {
    {"Zero", 0, "0"},
    {"One", 1, "1"},
    {"MinusOne", -1, "-1"},
    {"Ten", 10, "10"},
    {"Maximum", 2147483647, "2147483647"},
    {"Minimum", -2147483647 - 1, "-2147483648"},
    {"Mixed", -30405, "-30405"},
};

TEST_F(StringStackPushLong, WritesExactDecimalRightAligned) {
  for (const LongCase& c : kLongCases) {
    SCOPED_TRACE(c.name);
    push_long(c.value);
    const StackEntry& entry = entry_from_top(1);
    EXPECT_EQ(top_kind(), EntryKind::TextInline);
    // The last digit sits in the last byte of the inline area.
    EXPECT_EQ(static_cast<const unsigned char*>(entry.pointer) + entry.length,
              entry.inline_area + kInlineCapacity);
    EXPECT_EQ(pop(), c.text);
  }
}

using StringStackPushReal = StringStackTest;

struct RealCase {
  const char* name;
  double value;
  const char* text;
};
constexpr RealCase kRealCases[] = {
    {"OneDropsPoint", 1.0, "1"},
    {"Half", 0.5, "0.5"},
    {"Zero", 0.0, "0"},
    {"Negative", -12.25, "-12.25"},
    {"FourteenDigits", 3.14159265358979, "3.1415926535898"},
    {"ThirteenNines", 9999999999999.0, "9999999999999"},
    {"FourteenNinesStayWhole", 99999999999999.0, "99999999999999"},
    {"Large", 123456789012345678.0, "1.2345678901235e17"},
    {"Tiny", 0.000015, "1.5e-5"},
    {"NegativeHugeExponent", -1.2345678901234e-300, "-1.2345678901234e-300"},
};

TEST_F(StringStackPushReal, KeepsFourteenSignificantDigits) {
  for (const RealCase& c : kRealCases) {
    SCOPED_TRACE(c.name);
    push_real(c.value);
    EXPECT_EQ(pop(), c.text);
  }
}

TEST_F(StringStackPushReal, ShortTextsStayInTheEntry) {
  push_real(-1.2345678901234e300);  // 20 characters
  EXPECT_EQ(top_kind(), EntryKind::TextInline);
  EXPECT_EQ(pop(), "-1.2345678901234e300");
  push_real(-1.2345678901234e-300);  // 21 characters
  EXPECT_EQ(top_kind(), EntryKind::TextOwned);
}

using StringStackPushBool = StringStackTest;

TEST_F(StringStackPushBool, OneForNonzeroEmptyForZero) {
  push_bool(0);
  EXPECT_EQ(pop(), "");
  push_bool(7);
  EXPECT_EQ(pop(), "1");
  push_bool(-1);
  EXPECT_EQ(pop(), "1");
}

using StringStackFull = StringStackTest;

TEST_F(StringStackFull, ThirtyThirdPushChangesNothing) {
  for (int index = 0; index < kStringStackCapacity; ++index)
    push_long(index);
  push_reference("extra");
  push_long(99);
  push_text("copied");
  EXPECT_EQ(string_stack_depth(), 32);
  for (int index = kStringStackCapacity - 1; index >= 0; --index) {
    EXPECT_EQ(pop(), std::to_string(index));
  }
}

TEST_F(StringStackFull, PushOwnedIntoFullStackFreesTheBlock) {
  for (int index = 0; index < kStringStackCapacity; ++index)
    push_reference("x");
  auto* block = static_cast<char*>(platform::heap_allocate(4));
  std::memcpy(block, "LOST", 4);
  push_owned(block, 4);  // freed, as the sanitizer build checks
  EXPECT_EQ(string_stack_depth(), 32);
  EXPECT_EQ(top(), "x");
}

using StringStackRotate = StringStackTest;

TEST_F(StringStackRotate, OneSwapsTheTopTwo) {
  push_reference("A");
  push_reference("B");
  rotate(1);
  EXPECT_EQ(pop(), "A");
  EXPECT_EQ(pop(), "B");
}

TEST_F(StringStackRotate, TwoBringsTheThirdToTheTop) {
  push_long(1);  // inline entries: their pointers must follow them
  push_reference("B");
  push_text("C");
  rotate(2);
  EXPECT_EQ(pop(), "1");
  EXPECT_EQ(pop(), "C");
  EXPECT_EQ(pop(), "B");
}

TEST_F(StringStackRotate, ZeroChangesNothing) {
  push_text("A");
  push_text("B");
  rotate(0);
  EXPECT_EQ(pop(), "B");
  EXPECT_EQ(pop(), "A");
}

using StringStackHeap = StringStackTest;

TEST_F(StringStackHeap, TwentyBytesGoInlineTwentyOneToTheHeap) {
  char text[] = "ABCDEFGHIJKLMNOPQRSTU";  // 21 bytes
  push_reference({text, 20});
  make_top_self_contained();
  EXPECT_EQ(top_kind(), EntryKind::TextInline);
  push_reference({text, 21});
  make_top_self_contained();
  EXPECT_EQ(top_kind(), EntryKind::TextOwned);
  text[0] = 'z';  // the copies no longer depend on the variable
  EXPECT_EQ(pop(), "ABCDEFGHIJKLMNOPQRSTU");
  EXPECT_EQ(pop(), "ABCDEFGHIJKLMNOPQRST");
}

using StringStackSnapshot = StringStackTest;

TEST_F(StringStackSnapshot, EmptyStackSavesAsNull) { EXPECT_EQ(save_string_stack(), nullptr); }

TEST_F(StringStackSnapshot, RestoreGivesBackEveryEntry) {
  push_long(-5);
  push_text(std::string(30, 'q'));
  push_reference("ref");
  void* snapshot = save_string_stack();
  ASSERT_NE(snapshot, nullptr);
  std::int32_t depth = 0;
  std::memcpy(&depth, snapshot, sizeof(depth));
  EXPECT_EQ(depth, 3);
  restore_string_stack(nullptr);  // another thread runs: the entries are kept in the snapshot
  EXPECT_EQ(string_stack_depth(), 0);
  restore_string_stack(snapshot);
  EXPECT_EQ(pop(), "ref");
  EXPECT_EQ(pop(), std::string(30, 'q'));
  EXPECT_EQ(pop(), "-5");
}

using StringStackDeathTest = StringStackTest;

TEST_F(StringStackDeathTest, PopOfEmptyStackIsFatal) {
  EXPECT_EXIT(pop_discard(), testing::ExitedWithCode(kFatalExitCode), "Stack overflow");
}

}  // namespace
}  // namespace kes::runtime

// Pushes onto the string stack: whole numbers, REALs, truth values, references and copies, what
// they allocate, and the full stack that ignores one more push.
#include <cstring>
#include <string>

#include <kestrel/string_stack.h>

#include <gtest/gtest.h>

#include "platform/core/heap.h"
#include "runtime/stack/string_stack.h"
#include "tests/support/allocation_counter.h"
#include "tests/support/stack_helpers.h"

namespace kes::runtime {
namespace {

class StringStackPushTest : public testing::Test {
 protected:
  void SetUp() override { test::drain_string_stack(); }
  void TearDown() override { test::drain_string_stack(); }
  static std::string pop() { return test::pop_top_text(); }
  static EntryKind top_kind() { return test::top_entry_kind(); }
};

using StringStackPushLong = StringStackPushTest;

struct LongCase {
  const char* name;
  std::int32_t value;
  const char* text;
};
// One row on each side of every digit-count step, and zeros inside the digit groups.
constexpr LongCase kLongs[] = {
    {"Zero", 0, "0"},
    {"Nine", 9, "9"},
    {"Ten", 10, "10"},
    {"NinetyNine", 99, "99"},
    {"Hundred", 100, "100"},
    {"FourNines", 9999, "9999"},
    {"EightNines", 99999999, "99999999"},
    {"HundredMillion", 100000000, "100000000"},
    {"NineDigitsWithZeros", 100000001, "100000001"},
    {"TenDigitsInnerZeros", 2000000009, "2000000009"},
    {"Maximum", 2147483647, "2147483647"},
    {"MinusOne", -1, "-1"},
    {"MinusMilliard", -1000000000, "-1000000000"},
    {"Minimum", -2147483647 - 1, "-2147483648"},
};

TEST_F(StringStackPushLong, WritesExactDecimalRightAligned) {
  for (const LongCase& c : kLongs) {
    SCOPED_TRACE(c.name);
    Kes$PushLong(c.value);
    const StackEntry& entry = entry_from_top(1);
    EXPECT_EQ(top_kind(), EntryKind::TextInline);
    // The last digit sits in the last byte of the inline area.
    EXPECT_EQ(static_cast<const unsigned char*>(entry.pointer) + entry.length,
              entry.inline_area + kInlineCapacity);
    EXPECT_EQ(pop(), c.text);
  }
}

using StringStackPushReal = StringStackPushTest;

struct RealCase {
  const char* name;
  double value;
  const char* text;
};
constexpr RealCase kReals[] = {
    {"OneDropsPoint", 1.0, "1"},
    {"Zero", 0.0, "0"},
    {"Negative", -12.25, "-12.25"},
    {"FourteenDigits", 3.14159265358979, "3.1415926535898"},
    {"FourteenNinesStayWhole", 99999999999999.0, "99999999999999"},
    {"Large", 123456789012345678.0, "1.2345678901235e17"},
    {"Tiny", 0.000015, "1.5e-5"},
    {"TwentyCharacters", -1.2345678901234e300, "-1.2345678901234e300"},
    {"TwentyOneCharacters", -1.2345678901234e-300, "-1.2345678901234e-300"},
};

TEST_F(StringStackPushReal, KeepsFourteenSignificantDigits) {
  for (const RealCase& c : kReals) {
    SCOPED_TRACE(c.name);
    Kes$PushReal(c.value);
    // Texts up to 20 bytes stay in the entry.
    EXPECT_EQ(top_kind(), std::strlen(c.text) <= kInlineCapacity ? EntryKind::TextInline
                                                                 : EntryKind::TextOwned);
    EXPECT_EQ(pop(), c.text);
  }
}

TEST_F(StringStackPushTest, ReferencesFollowTheVariableCopiesDoNot) {
  char text[] = "OWL";
  Kes$PushString(text, 3);
  Kes$PushCString(text);
  text[0] = 'X';
  EXPECT_EQ(pop(), "OWL");
  EXPECT_EQ(pop(), "XWL");
  Kes$PushCString(nullptr);
  EXPECT_EQ(pop(), "");
  // Null texts and lengths past the longest text push the empty string.
  Kes$PushString(nullptr, 5);
  EXPECT_EQ(pop(), "");
  Kes$PushString("abc", 0x80000000u);
  EXPECT_EQ(pop(), "");
  Kes$PushTemp(nullptr, 12);
  EXPECT_EQ(pop(), "");
  // Truth values: "1" for any non-zero value, the empty string for zero.
  Kes$PushBool(0);
  EXPECT_EQ(pop(), "");
  Kes$PushBool(-1);
  EXPECT_EQ(pop(), "1");
}

using StringStackSelfContained = StringStackPushTest;

TEST_F(StringStackSelfContained, UpToTwentyBytesInTheEntryWithoutAllocating) {
  for (std::uint32_t length = 0; length <= 21; ++length) {
    SCOPED_TRACE(length);
    std::string source = test::distinct_letters(length);
    test::AllocationCounter allocations;
    Kes$PushString(source.data(), length);
    Kes$StackHeap();
    const StackEntry& entry = entry_from_top(1);
    if (length <= kInlineCapacity) {
      EXPECT_EQ(top_kind(), EntryKind::TextInline);
      EXPECT_EQ(entry.pointer, entry.inline_area);
      EXPECT_EQ(allocations.count(), 0u);
    } else {
      EXPECT_EQ(top_kind(), EntryKind::TextOwned);
      EXPECT_EQ(allocations.count(), 1u);
    }
    source.assign(length, '!');  // the entry no longer depends on the variable
    EXPECT_EQ(pop(), test::distinct_letters(length));
  }
  // PushCString makes the same copy at once.
  Kes$PushCString(test::distinct_letters(20).c_str());
  EXPECT_EQ(top_kind(), EntryKind::TextInline);
  Kes$PushCString(test::distinct_letters(21).c_str());
  EXPECT_EQ(top_kind(), EntryKind::TextOwned);
  EXPECT_EQ(pop(), test::distinct_letters(21));
}

TEST_F(StringStackPushTest, VariablesNumbersAndShortCopiesAllocateNothing) {
  const char variable[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  test::AllocationCounter counter;
  Kes$PushString(variable, 26);
  Kes$PushLong(-2147483647 - 1);
  Kes$PushReal(-1.2345678901234e300);
  Kes$PushReal(1e-300);
  Kes$PushBool(1);
  Kes$PushString(variable, 0);
  Kes$StackHeap();
  fit_top_to_width(0);
  narrow_top(0);
  Kes$StackRotate(5);
  char destination[32];
  while (string_stack_depth() > 0)
    Kes$PopString(destination, sizeof(destination));
  EXPECT_EQ(counter.count(), 0u);
}

using StringStackFull = StringStackPushTest;

// References, inline texts, numbers and owned blocks pushed onto a full stack are in the model
// test; an owned block is freed, as the sanitizer build checks.
TEST_F(StringStackFull, ThirtyThirdPushChangesNothing) {
  for (int index = 0; index < kStringStackCapacity; ++index)
    Kes$PushLong(index);
  Kes$PushReal(0.5);
  Kes$PushCString("copied");
  EXPECT_EQ(string_stack_depth(), kStringStackCapacity);
  EXPECT_EQ(pop(), std::to_string(kStringStackCapacity - 1));
}

}  // namespace
}  // namespace kes::runtime

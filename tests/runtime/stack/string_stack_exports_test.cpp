// The string stack's exports called as compiled code calls them: push, call, pop.
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <kestrel/string_stack.h>

#include <gtest/gtest.h>

#include "numeric/decimal/decimal_stack.h"
#include "platform/core/heap.h"
#include "runtime/fatal/fatal.h"
#include "runtime/stack/string_stack.h"
#include "tests/support/allocation_counter.h"
#include "tests/support/stack_helpers.h"

namespace kes::runtime {
namespace {

class StringStackExportsTest : public testing::Test {
 protected:
  void SetUp() override { test::drain_string_stack(); }
  void TearDown() override { test::drain_string_stack(); }
  static std::string pop() { return test::pop_temp_text(); }
  static EntryKind top_kind() { return test::top_entry_kind(); }
};

using StringStackPops = StringStackExportsTest;

TEST_F(StringStackPops, StringCStringAndPStringDestinations) {
  char destination[8];
  std::memset(destination, '#', sizeof(destination));
  Kes$PushString("AB", 2);
  Kes$PopString(destination, 5);
  EXPECT_EQ(std::string(destination, 6), "AB   #");
  Kes$PushString("ABCDEF", 6);
  Kes$PopString(destination, 3);
  EXPECT_EQ(std::string(destination, 4), "ABC ");  // the fourth byte is left from before
  Kes$PushString("ABCDEF", 6);
  Kes$PopCString(destination, 4);
  EXPECT_EQ(std::string(destination, 4), std::string("ABC\0", 4));
  std::memset(destination, '#', sizeof(destination));
  Kes$PushString("ABCDEF", 6);
  Kes$PopCString(destination, 1);
  EXPECT_EQ(std::string(destination, 2), std::string("\0#", 2));
  Kes$PushString("ABCDEF", 6);
  Kes$PopCString(destination, 0);
  EXPECT_EQ(destination[0], '\0');  // unchanged
  Kes$PushString("ABCDEF", 6);
  Kes$PopPString(destination, 4);
  EXPECT_EQ(std::string(destination, 4),
            "\x03"
            "ABC");
  EXPECT_EQ(string_stack_depth(), 0);
}

TEST_F(StringStackPops, EmptyTextPopsAsBlanksAndEmptyStrings) {
  char destination[4] = {'#', '#', '#', '#'};
  Kes$PushNull();
  Kes$PopString(destination, 3);
  EXPECT_EQ(std::string(destination, 4), "   #");
  Kes$PushString(nullptr, 5);  // a null pointer gives length 0
  Kes$PopCString(destination, 3);
  EXPECT_EQ(destination[0], '\0');
}

struct LongCase {
  const char* name;
  const char* text;
  std::int32_t value;
};
constexpr LongCase kPopLongs[] = {
    {"Whole", "42", 42},
    {"TruncatesTowardZero", "12.7", 12},
    {"NegativeTruncatesTowardZero", "-12.7", -12},
    {"LeadingSpaces", "   7", 7},
    {"Empty", "", 0},
    {"Maximum", "2147483647", 2147483647},
    {"Minimum", "-2147483648", -2147483647 - 1},
};

TEST_F(StringStackPops, PopLongReadsThroughTheDecimalStack) {
  for (const LongCase& c : kPopLongs) {
    SCOPED_TRACE(c.name);
    Kes$PushString(c.text, static_cast<std::uint32_t>(std::strlen(c.text)));
    EXPECT_EQ(Kes$PopLong(), c.value);
    EXPECT_EQ(string_stack_depth(), 0);
    EXPECT_EQ(numeric::decimal_depth(), 0);
  }
}

TEST_F(StringStackPops, PopLongReadsOnlyNinetyNineBytes) {
  std::string text(99, '0');
  text += "5";  // the hundredth byte is cut off
  Kes$PushString(text.data(), static_cast<std::uint32_t>(text.size()));
  EXPECT_EQ(Kes$PopLong(), 0);
}

struct RealCase {
  const char* name;
  const char* text;
  double value;
};
constexpr RealCase kPopReals[] = {
    {"TrailingSpacesCut", "12.5   ", 12.5},
    {"NoNumber", "abc", 0.0},
    {"Exponent", "-2.5e2", -250.0},
    {"Empty", "", 0.0},
};

TEST_F(StringStackPops, PopRealReadsTheClippedText) {
  for (const RealCase& c : kPopReals) {
    SCOPED_TRACE(c.name);
    Kes$PushString(c.text, static_cast<std::uint32_t>(std::strlen(c.text)));
    EXPECT_EQ(Kes$PopReal(), c.value);
    EXPECT_EQ(string_stack_depth(), 0);
  }
}

TEST_F(StringStackPops, PopRealReadsOnlyThirtyNineBytes) {
  const std::string text = std::string(38, '0') + "12";  // 40 bytes: "...01" counts
  Kes$PushString(text.data(), static_cast<std::uint32_t>(text.size()));
  EXPECT_EQ(Kes$PopReal(), 1.0);
}

TEST_F(StringStackPops, DecimalStackRoundTrip) {
  Kes$PushString("-0.050", 6);
  Kes$Stack2DStack();
  EXPECT_EQ(string_stack_depth(), 0);
  EXPECT_EQ(numeric::decimal_depth(), 1);
  Kes$DStack2Stack();
  EXPECT_EQ(numeric::decimal_depth(), 0);
  EXPECT_EQ(pop(), "-0.05");
}

TEST_F(StringStackPops, PopTempHandsOverOwnedBuffersAndCopiesTheRest) {
  auto* block = static_cast<char*>(platform::heap_allocate(3));
  std::memcpy(block, "abc", 3);
  Kes$PushTemp(block, 3);
  KesTextPair pair{nullptr, 0};
  Kes$PopTemp(&pair);
  EXPECT_EQ(pair.pointer, block);
  EXPECT_EQ(pair.length, 3u);
  platform::heap_free(pair.pointer);
  Kes$PushLong(-7);
  Kes$PopTemp(&pair);
  EXPECT_EQ(std::string(pair.pointer, pair.length), "-7");
  platform::heap_free(pair.pointer);
}

TEST_F(StringStackPops, PopTempFailureGivesNullAndPops) {
  Kes$PushString("abc", 3);
  KesTextPair pair{reinterpret_cast<char*>(&pair), 5};
  platform::heap_fail_nth(1);
  Kes$PopTemp(&pair);
  platform::heap_fail_nth(0);
  EXPECT_EQ(pair.pointer, nullptr);
  EXPECT_EQ(pair.length, 0u);
  EXPECT_EQ(string_stack_depth(), 0);
}

using StringStackFitWidth = StringStackExportsTest;

TEST_F(StringStackFitWidth, TruncatesInPlaceAndPadsWithSpaces) {
  const char text[] = "ABCDEF";
  Kes$PushString(text, 6);
  fit_top_to_width(4);
  EXPECT_EQ(top_kind(), EntryKind::TextRef);
  EXPECT_EQ(entry_from_top(1).pointer, text);
  EXPECT_EQ(pop(), "ABCD");
  Kes$PushString(text, 2);
  fit_top_to_width(5);
  EXPECT_EQ(top_kind(), EntryKind::TextOwned);
  EXPECT_EQ(pop(), "AB   ");
  Kes$PushNull();
  fit_top_to_width(3);
  EXPECT_EQ(pop(), "   ");
  Kes$PushString(text, 3);
  fit_top_to_width(0);
  EXPECT_EQ(pop(), "");
}

TEST_F(StringStackFitWidth, FailedAllocationLeavesTheTop) {
  Kes$PushString("AB", 2);
  platform::heap_fail_nth(1);
  fit_top_to_width(5);
  platform::heap_fail_nth(0);
  EXPECT_EQ(pop(), "AB");
}

using StringStackHousekeeping = StringStackExportsTest;

TEST_F(StringStackHousekeeping, PushCStringIsSelfContained) {
  char twenty[] = "ABCDEFGHIJKLMNOPQRST";
  char twenty_one[] = "ABCDEFGHIJKLMNOPQRSTU";
  Kes$PushCString(twenty);
  EXPECT_EQ(top_kind(), EntryKind::TextInline);
  Kes$PushCString(twenty_one);
  EXPECT_EQ(top_kind(), EntryKind::TextOwned);
  twenty[0] = twenty_one[0] = 'z';
  EXPECT_EQ(pop(), "ABCDEFGHIJKLMNOPQRSTU");
  EXPECT_EQ(pop(), "ABCDEFGHIJKLMNOPQRST");
  Kes$PushCString(nullptr);
  EXPECT_EQ(pop(), "");
}

TEST_F(StringStackHousekeeping, StackLenReadsAndPops) {
  Kes$PushString("abcd", 4);
  EXPECT_EQ(Kes$StackLen2(), 4u);
  EXPECT_EQ(string_stack_depth(), 1);
  EXPECT_EQ(Kes$StackLen(), 4u);
  EXPECT_EQ(string_stack_depth(), 0);
}

TEST_F(StringStackHousekeeping, RotateExportMovesInlineEntries) {
  Kes$PushLong(1);
  Kes$PushLong(22);
  Kes$PushLong(333);
  Kes$StackRotate(2);
  EXPECT_EQ(pop(), "1");
  EXPECT_EQ(pop(), "333");
  EXPECT_EQ(pop(), "22");
}

TEST_F(StringStackHousekeeping, OmittedFlags) {
  EXPECT_EQ(Kes$Omitted(0, 2, 0u, 0u), 1);
  EXPECT_EQ(Kes$Omitted(3, 2, 0u, 0u), 1);
  EXPECT_EQ(Kes$Omitted(-1, 2, 0u, 0u), 1);
  EXPECT_EQ(Kes$Omitted(1, 2, 0u, 1u), 0);
  EXPECT_EQ(Kes$Omitted(2, 2, 0u, 1u), 1);
  EXPECT_EQ(Kes$Omitted(2, 2, 0u, 0x1234u), 0x34);  // the low byte only
}

struct ColonCase {
  const char* name;
  const char* text;
  std::int32_t first, second, third;
};
constexpr ColonCase kColonNumbers[] = {
    {"TwoNumbers", "12:7", 12, 7, 0},
    {"OneNumber", "5", 5, 0, 0},
    {"ThreeNumbers", "3:4:9", 3, 4, 9},
    {"FourthIgnored", "1:2:3:4", 1, 2, 3},
    {"Empty", "", 0, 0, 0},
    {"EmptyField", "1::3", 1, 0, 3},
    {"Negative", "-4:+5", -4, 5, 0},
    {"Clamped", "99999999999:-99999999999", 2147483647, -2147483647 - 1, 0},
};

TEST_F(StringStackHousekeeping, String2RefReadsColonSeparatedNumbers) {
  for (const ColonCase& c : kColonNumbers) {
    SCOPED_TRACE(c.name);
    Kes$PushString(c.text, static_cast<std::uint32_t>(std::strlen(c.text)));
    std::int32_t results[3] = {-1, -1, -1};
    Kes$String2Ref(&results[0], &results[1], &results[2]);
    EXPECT_EQ(results[0], c.first);
    EXPECT_EQ(results[1], c.second);
    EXPECT_EQ(results[2], c.third);
    EXPECT_EQ(string_stack_depth(), 0);
  }
}

TEST_F(StringStackHousekeeping, StashBPStoresAFrame) {
  void* frame = nullptr;
  Kes$StashBP(&frame);
  EXPECT_NE(frame, nullptr);
  Kes$StashBP(nullptr);
}

TEST_F(StringStackHousekeeping, HugeLengthsPushTheEmptyString) {
  Kes$PushString("abc", 0x80000000u);
  EXPECT_EQ(pop(), "");
  Kes$PushTemp(nullptr, 12);
  EXPECT_EQ(pop(), "");
}

using StringStackAllocations = StringStackExportsTest;

TEST_F(StringStackAllocations, VariablesNumbersAndShortCopiesAllocateNothing) {
  const char variable[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  test::AllocationCounter counter;
  Kes$PushString(variable, 26);
  Kes$PushLong(-2147483647 - 1);
  Kes$PushLong(0);
  Kes$PushReal(-1.2345678901234e300);
  Kes$PushReal(1e-300);
  Kes$PushReal(0.1);
  Kes$PushBool(1);
  Kes$PushString(variable, 20);
  Kes$StackHeap();
  Kes$PushString(variable, 0);
  Kes$StackHeap();
  fit_top_to_width(0);
  narrow_top(0);
  Kes$StackRotate(8);
  char destination[32];
  while (string_stack_depth() > 0)
    Kes$PopString(destination, sizeof(destination));
  EXPECT_EQ(counter.count(), 0u);
}

TEST_F(StringStackAllocations, LongCopiesAllocateOnce) {
  const std::string text(21, 'x');
  test::AllocationCounter counter;
  Kes$PushString(text.data(), 21);
  Kes$StackHeap();
  EXPECT_EQ(counter.count(), 1u);
}

using StringStackExportsDeathTest = StringStackExportsTest;

TEST_F(StringStackExportsDeathTest, PopsAndRotationsBeyondTheEntriesAreFatal) {
  EXPECT_EXIT(Kes$STACKpop(), testing::ExitedWithCode(kFatalExitCode), "Stack overflow");
  EXPECT_EXIT(Kes$PopLong(), testing::ExitedWithCode(kFatalExitCode), "Stack overflow");
  EXPECT_EXIT(Kes$StackLen2(), testing::ExitedWithCode(kFatalExitCode), "Stack overflow");
  Kes$PushNull();
  EXPECT_EXIT(Kes$StackRotate(1), testing::ExitedWithCode(kFatalExitCode), "Stack overflow");
}

TEST_F(StringStackExportsDeathTest, SnapshotWithoutMemoryIsFatal) {
  Kes$PushNull();
  EXPECT_EXIT(
      {
        platform::heap_fail_nth(1);
        save_string_stack();
      },
      testing::ExitedWithCode(kFatalExitCode), "string stack");
}

}  // namespace
}  // namespace kes::runtime

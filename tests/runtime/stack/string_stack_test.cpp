// The string stack's pushes (whole numbers, REALs, truth values, references and copies, what they
// allocate, the full stack) and housekeeping: lengths, rotation, fitting to a width, snapshots
// for the thread switch, OMITTED and the colon-separated numbers; and random sequences of pushes,
// rotations, copies and pops against a plain vector of strings.
#include "runtime/stack/string_stack.h"

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <kestrel/string_stack.h>

#include <gtest/gtest.h>

#include "platform/core/heap.h"
#include "runtime/fatal/fatal.h"
#include "tests/support/allocation_counter.h"
#include "tests/support/host_speed.h"
#include "tests/support/stack_helpers.h"

namespace kes::runtime {
namespace {

class StringStackTest : public testing::Test {
 protected:
  void SetUp() override { test::drain_string_stack(); }
  void TearDown() override { test::drain_string_stack(); }
  static std::string pop() { return test::pop_top_text(); }
  static EntryKind top_kind() { return test::top_entry_kind(); }
};

TEST_F(StringStackTest, Len2ReadsLenPopsFreeingWhatTheEntryOwns) {
  Kes$PushString("ABCDE", 5);
  Kes$PushLong(-12);
  auto* block = static_cast<char*>(platform::heap_allocate(30));
  std::memset(block, 'z', 30);
  Kes$PushTemp(block, 30);
  EXPECT_EQ(Kes$StackLen2(), 30u);
  EXPECT_EQ(string_stack_depth(), 3);
  EXPECT_EQ(Kes$StackLen(), 30u);  // frees the block, as the sanitizer build checks
  EXPECT_EQ(Kes$StackLen(), 3u);
  EXPECT_EQ(Kes$StackLen(), 5u);
  EXPECT_EQ(string_stack_depth(), 0);
  block = static_cast<char*>(platform::heap_allocate(4));
  Kes$PushTemp(block, 4);
  Kes$STACKpop();
}

// Rotation, and the texts that fitting and snapshots give, are checked at random against a
// vector of strings in the model test below; these tests check what the model cannot see.
TEST_F(StringStackTest, FitToWidthTruncatesInPlaceAndPadsWithSpaces) {
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
  // A failed allocation leaves the top as it was.
  Kes$PushString("AB", 2);
  platform::heap_fail_nth(1);
  fit_top_to_width(5);
  platform::heap_fail_nth(0);
  EXPECT_EQ(pop(), "AB");
}

TEST_F(StringStackTest, SnapshotOfAnotherThreadsStack) {
  EXPECT_EQ(save_string_stack(), nullptr);  // an empty stack saves as null
  push_text(std::string(30, 'q'));
  void* snapshot = save_string_stack();
  ASSERT_NE(snapshot, nullptr);
  restore_string_stack(nullptr);  // another thread runs: the entries are kept in the snapshot
  EXPECT_EQ(string_stack_depth(), 0);
  restore_string_stack(snapshot);
  EXPECT_EQ(pop(), std::string(30, 'q'));
}

TEST_F(StringStackTest, OmittedIsTheFlagsLowByteOrOneOutsideTheParameters) {
  EXPECT_EQ(Kes$Omitted(0, 2, 0u, 0u), 1);
  EXPECT_EQ(Kes$Omitted(3, 2, 0u, 0u), 1);
  EXPECT_EQ(Kes$Omitted(-1, 2, 0u, 0u), 1);
  EXPECT_EQ(Kes$Omitted(1, 2, 0u, 1u), 0);
  EXPECT_EQ(Kes$Omitted(2, 2, 0u, 1u), 1);
  EXPECT_EQ(Kes$Omitted(2, 2, 0u, 0x1234u), 0x34);
  void* frame = nullptr;  // and the frame a program stashes beside its parameters
  Kes$StashBP(&frame);
  EXPECT_NE(frame, nullptr);
  Kes$StashBP(nullptr);
}

struct ColonCase {
  const char* name;
  const char* text;
  std::int32_t first, second, third;
};
constexpr ColonCase kColonNumbers[] = {
    {"Empty", "", 0, 0, 0},
    {"OneNumber", "5", 5, 0, 0},
    {"ThreeNumbers", "3:4:9", 3, 4, 9},
    {"FourthIgnored", "1:2:3:4", 1, 2, 3},
    {"EmptyField", "1::3", 1, 0, 3},
    {"SignsAndBlanks", " -4: +5", -4, 5, 0},
    {"Clamped", "99999999999:-99999999999", 2147483647, -2147483647 - 1, 0},
};

TEST_F(StringStackTest, String2RefReadsColonSeparatedNumbers) {
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

using StringStackPushLong = StringStackTest;

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

using StringStackPushReal = StringStackTest;

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

TEST_F(StringStackTest, ReferencesFollowTheVariableCopiesDoNot) {
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

using StringStackSelfContained = StringStackTest;

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

TEST_F(StringStackTest, VariablesNumbersAndShortCopiesAllocateNothing) {
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

using StringStackFull = StringStackTest;

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

std::string entry_text(int distance) {
  const StackEntry& entry = entry_from_top(distance);
  if (entry.pointer == nullptr) return {};
  return {static_cast<const char*>(entry.pointer), entry.length};
}

TEST(StringStackModel, RandomOperationsMatchAVectorOfStrings) {
  std::mt19937 random(42);
  auto next = [&random](std::uint32_t bound) {
    return static_cast<std::uint32_t>(random() % bound);
  };
  std::vector<std::string> model;
  // Variables stay alive and unchanged while referenced, as compiled code guarantees.
  const std::vector<std::string> variables = {
      "", "A", "Owl", std::string(20, 'v'), std::string(21, 'w'), std::string(300, 'z')};
  for (int step = 0; step < test::samples(200000); ++step) {
    const unsigned operation = next(11);
    const bool full = model.size() == kStringStackCapacity;
    switch (operation) {
      case 0: {
        const std::string& variable = variables[random() % variables.size()];
        push_reference(variable);
        if (!full) model.push_back(variable);
        break;
      }
      case 1: {
        const std::string text(random() % 45, static_cast<char>('a' + random() % 26));
        push_text(text);
        if (!full) model.push_back(text);
        break;
      }
      case 2: {
        const auto value = static_cast<std::int32_t>(random());
        push_long(value);
        if (!full) model.push_back(std::to_string(value));
        break;
      }
      case 3: {
        const std::uint32_t length = next(30);
        auto* block = static_cast<char*>(platform::heap_allocate(length));
        std::string text(length, static_cast<char>('0' + random() % 10));
        text.copy(block, length);
        push_owned(block, length);
        if (!full) model.push_back(text);
        break;
      }
      case 4:
      case 5:
        if (model.empty()) break;
        pop_discard();
        model.pop_back();
        break;
      case 6:
        if (model.empty()) break;
        {
          const int n = static_cast<int>(random() % model.size());
          rotate(n);
          const std::string moved = model[model.size() - 1 - static_cast<std::size_t>(n)];
          model.erase(model.end() - 1 - n);
          model.push_back(moved);
        }
        break;
      case 7:
        if (model.empty()) break;
        make_top_self_contained();
        break;
      case 8:
        if (model.empty()) break;
        {
          const std::uint32_t width = next(40);
          fit_top_to_width(width);
          std::string& top = model.back();
          top = top.size() >= width ? top.substr(0, width)
                                    : top + std::string(width - top.size(), ' ');
        }
        break;
      case 9:
        if (model.empty()) break;
        {
          const HeapText text = pop_to_heap();
          EXPECT_EQ(
              std::string(text.pointer == nullptr ? "" : std::string(text.pointer, text.length)),
              model.back());
          platform::heap_free(text.pointer);
          model.pop_back();
        }
        break;
      case 10: restore_string_stack(save_string_stack()); break;
    }
    ASSERT_EQ(string_stack_depth(), static_cast<int>(model.size())) << "step " << step;
    for (std::size_t distance = 1; distance <= model.size(); ++distance) {
      ASSERT_EQ(entry_text(static_cast<int>(distance)), model[model.size() - distance])
          << "step " << step << " distance " << distance;
    }
  }
  test::drain_string_stack();
}

using StringStackDeathTest = StringStackTest;

TEST_F(StringStackDeathTest, RotationPastTheEntriesIsFatal) {
  Kes$PushNull();
  EXPECT_EXIT(Kes$StackRotate(1), testing::ExitedWithCode(kFatalExitCode), "Stack overflow");
}

TEST_F(StringStackDeathTest, SnapshotWithoutMemoryIsFatal) {
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

// The string stack's housekeeping: lengths, rotation, fitting to a width, snapshots for the
// thread switch, OMITTED and the colon-separated numbers; and random sequences of pushes,
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

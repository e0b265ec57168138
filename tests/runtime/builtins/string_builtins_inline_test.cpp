// The short-text cases of the hot built-ins, through the exports as compiled code calls them:
// SUB, UPPER and LOWER, CLIP and concatenation on references and inline texts, the 20/21-byte
// boundary of the entry's own area, and their allocation-free claims.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include <kestrel/collation.h>
#include <kestrel/string_builtins.h>
#include <kestrel/string_stack.h>

#include <gtest/gtest.h>

#include "runtime/stack/string_stack.h"
#include "tests/support/allocation_counter.h"
#include "tests/support/stack_helpers.h"

namespace kes::runtime {
namespace {

class StringBuiltinsInlineTest : public testing::Test {
 protected:
  void SetUp() override { test::drain_string_stack(); }
  void TearDown() override { test::drain_string_stack(); }
  static std::string pop_field(std::uint32_t size) {
    std::string field(size, '#');
    Kes$PopString(field.data(), size);
    return field;
  }
};

std::uint32_t top_kind() { return entry_from_top(1).kind; }
constexpr auto kInline = static_cast<std::uint32_t>(EntryKind::TextInline);
constexpr auto kOwned = static_cast<std::uint32_t>(EntryKind::TextOwned);
constexpr auto kReference = static_cast<std::uint32_t>(EntryKind::TextRef);

// ---- Concatenation at the edge of the entry's area.

struct JoinCase {
  const char* name;
  std::string_view a;
  std::string_view b;
  std::uint32_t kind;  // of the result
};
constexpr JoinCase kJoins[] = {
    {"BothEmptyIsTheNullText", "", "", kReference},
    {"OneByte", "", "K", kInline},
    {"NineteenBytes", "Kestrel ", "run-time li", kInline},
    {"ExactlyTwenty", "ABCDEFGHIJ", "KLMNOPQRST", kInline},
    {"TwentyFromTheRightAlone", "", "ABCDEFGHIJKLMNOPQRST", kInline},
    {"TwentyFromTheLeftAlone", "ABCDEFGHIJKLMNOPQRST", "", kInline},
    {"OneOverTwentyGoesToTheHeap", "ABCDEFGHIJ", "KLMNOPQRSTU", kOwned},
};

TEST_F(StringBuiltinsInlineTest, ConcatHoldsUpToTwentyBytesInTheEntry) {
  for (const JoinCase& c : kJoins) {
    for (bool inline_left : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (inline_left ? " inline left" : " referenced left"));
      const std::string a(c.a);
      const std::string b(c.b);
      Kes$PushString(a.data(), static_cast<std::uint32_t>(a.size()));
      if (inline_left) Kes$StackHeap();
      Kes$PushString(b.data(), static_cast<std::uint32_t>(b.size()));
      Kes$StackConcat();
      ASSERT_EQ(string_stack_depth(), 1);
      EXPECT_EQ(top_kind(), c.kind);
      const std::string joined = a + b;
      EXPECT_EQ(pop_field(24), joined.substr(0, 24) +
                                   std::string(24 - std::min<std::size_t>(joined.size(), 24), ' '));
    }
  }
}

TEST_F(StringBuiltinsInlineTest, ConcatAfterANumberMovesItsDigitsToTheFront) {
  // A whole number's digits end at the area's last byte; joined, they move to its front.
  Kes$PushLong(-1801);
  Kes$PushString(" owls", 5);
  test::AllocationCounter allocations;
  Kes$StackConcat();
  EXPECT_EQ(allocations.count(), 0u);
  EXPECT_EQ(top_kind(), kInline);
  EXPECT_EQ(entry_from_top(1).pointer, entry_from_top(1).inline_area);
  EXPECT_EQ(pop_field(12), "-1801 owls  ");
}

TEST_F(StringBuiltinsInlineTest, ConcatOfEverySplitUpToTwentyAllocatesNothing) {
  // Every split of 0 to 20 bytes between the two operands stays in the entry; the pop then
  // fills a STRING(40).
  const std::string text = "ABCDEFGHIJKLMNOPQRST";
  for (std::uint32_t total = 0; total <= kInlineCapacity; ++total) {
    for (std::uint32_t left = 0; left <= total; ++left) {
      SCOPED_TRACE(std::to_string(left) + " + " + std::to_string(total - left));
      test::AllocationCounter allocations;
      Kes$PushString(text.data(), left);
      Kes$PushString(text.data() + left, total - left);
      Kes$StackConcat();
      char field[40];
      Kes$PopString(field, sizeof(field));
      EXPECT_EQ(allocations.count(), 0u);
      EXPECT_EQ(std::string(field, sizeof(field)),
                text.substr(0, total) + std::string(40 - total, ' '));
    }
  }
}

TEST_F(StringBuiltinsInlineTest, ClipOfEveryFieldWidthToForty) {
  // The last byte that is not a space at every place of every width; spaces also lie before it.
  for (std::uint32_t length = 0; length <= 40; ++length) {
    for (std::uint32_t kept = 0; kept <= length; ++kept) {
      SCOPED_TRACE(std::to_string(length) + " keeps " + std::to_string(kept));
      std::string text(length, ' ');
      for (std::uint32_t index = 0; index < kept; index += 3)
        text[index] = 'x';
      if (kept != 0) text[kept - 1] = 'x';
      test::AllocationCounter allocations;
      Kes$PushString(text.data(), length);
      Kes$StackCLIP();
      ASSERT_EQ(top_kind(), kReference);
      ASSERT_EQ(Kes$StackLen(), kept);
      ASSERT_EQ(allocations.count(), 0u);
    }
  }
}

// ---- SUB, UPPER and CLIP on short texts: the chain of a typical assignment.

TEST_F(StringBuiltinsInlineTest, ChainOfShortTextsAllocatesNothing) {
  // UPPER(SUB(Name,1,3)) & ', ' & CLIP(City) into a STRING(40).
  const char name[20] = {'k', 'e', 's', 't', 'r', 'e', 'l', ' ', ' ', ' ',
                         ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
  const char city[20] = {'B', 'r', 'i', 's', 't', 'o', 'l', ' ', ' ', ' ',
                         ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
  test::AllocationCounter allocations;
  Kes$PushString(name, 20);
  Kes$StackSUB(1, 3);
  Kes$StackUPPER();
  Kes$PushString(", ", 2);
  Kes$StackConcat();
  Kes$PushString(city, 20);
  Kes$StackCLIP();
  Kes$StackConcat();
  char field[40];
  Kes$PopString(field, sizeof(field));
  EXPECT_EQ(allocations.count(), 0u);
  EXPECT_EQ(std::string_view(field, sizeof(field)), "KES, Bristol                            ");
  EXPECT_EQ(std::string_view(name, 7), "kestrel");  // the variable itself never changes
  EXPECT_EQ(string_stack_depth(), 0);
}

TEST_F(StringBuiltinsInlineTest, SubNarrowsAReferenceWithoutCopying) {
  const std::string variable = "Kestrel";
  Kes$PushString(variable.data(), 7);
  Kes$StackSUB(-3, 2);
  EXPECT_EQ(top_kind(), kReference);
  EXPECT_EQ(entry_from_top(1).pointer, variable.data() + 4);
  EXPECT_EQ(pop_field(2), "re");
  Kes$PushString(variable.data(), 7);
  Kes$StackHeap();
  Kes$StackSUB(3, 4);  // an inline text narrows inside its own area
  EXPECT_EQ(top_kind(), kInline);
  EXPECT_EQ(pop_field(5), "stre ");
}

TEST_F(StringBuiltinsInlineTest, UpperAndLowerOfShortTextsStayInTheEntry) {
  // Every length to one past the area; the referenced variable never changes.
  const std::string mixed = "kEsTrEl oWl 1801 aBcDe";  // 22 bytes
  for (std::uint32_t length = 0; length <= kInlineCapacity + 1; ++length) {
    SCOPED_TRACE(length);
    std::string upper = mixed.substr(0, length);
    std::string lower = upper;
    for (char& c : upper)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    for (char& c : lower)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    test::AllocationCounter allocations;
    Kes$PushString(mixed.data(), length);
    Kes$StackUPPER();
    Kes$PushString(mixed.data(), length);
    Kes$StackLOWER();
    if (length >= 1 && length <= kInlineCapacity) {
      EXPECT_EQ(top_kind(), kInline);
      EXPECT_EQ(allocations.count(), 0u);
    }
    EXPECT_EQ(pop_field(length), lower);
    EXPECT_EQ(pop_field(length), upper);
  }
  EXPECT_EQ(mixed, "kEsTrEl oWl 1801 aBcDe");
}

TEST_F(StringBuiltinsInlineTest, UpperOfAnInlineTextAwayFromTheFront) {
  Kes$PushString("--owl", 5);
  Kes$StackHeap();
  Kes$StackSUB(3, 3);  // "owl", two bytes into the area
  Kes$StackUPPER();
  EXPECT_EQ(pop_field(3), "OWL");
}

TEST_F(StringBuiltinsInlineTest, UpperFollowsAChangedCaseTable) {
  // e-acute (E9h) and E-acute (C9h) paired by the program; sharp s (DFh) is a lower-case letter
  // without a partner and stays as it is.
  KesCollationBlock saved;
  Kes$AccessColSeqInfo(&saved, 0);
  KesCollationBlock changed = saved;
  changed.case_partner[0xE9] = 0xC9;
  changed.case_partner[0xC9] = 0xE9;
  changed.char_class[0xE9] = 2;
  changed.char_class[0xC9] = 1;
  changed.case_partner[0xDF] = 0;
  changed.char_class[0xDF] = 2;
  Kes$AccessColSeqInfo(&changed, 1);
  const char text[] = "caf\xE9 \xDF";
  Kes$PushString(text, 6);
  Kes$StackUPPER();
  const std::string upper = pop_field(6);
  Kes$PushString("CAF\xC9", 4);
  Kes$StackLOWER();
  const std::string lower = pop_field(4);
  Kes$AccessColSeqInfo(&saved, 1);
  EXPECT_EQ(upper, "CAF\xC9 \xDF");
  EXPECT_EQ(lower, "caf\xE9");
}

}  // namespace
}  // namespace kes::runtime

// Concatenation and what it allocates, the ordering comparison, the inequality test, truth and
// INLIST on the stack.
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>

#include <kestrel/string_builtins.h>
#include <kestrel/string_stack.h>

#include <gtest/gtest.h>

#include "numeric/locale/collation_tables.h"
#include "platform/core/heap.h"
#include "runtime/astring/astring_table.h"
#include "runtime/builtins/string_builtins.h"
#include "runtime/fatal/fatal.h"
#include "runtime/ole/bstr.h"
#include "runtime/ole/variant.h"
#include "runtime/stack/string_stack.h"
#include "tests/support/allocation_counter.h"
#include "tests/support/stack_helpers.h"

namespace kes::runtime {
namespace {

class StringCompareTest : public testing::Test {
 protected:
  void SetUp() override { test::drain_string_stack(); }
  void TearDown() override { test::drain_string_stack(); }
  static void push_owned_copy(std::string_view text) {
    auto* block = static_cast<char*>(platform::heap_allocate(text.size()));
    if (!text.empty()) std::memcpy(block, text.data(), text.size());
    push_owned(block, static_cast<std::uint32_t>(text.size()));
  }
  static std::string pop() { return test::pop_heap_text(); }
  static int sign(int value) { return (value > 0) - (value < 0); }
  // Pushers for the rows of the tables below.
  static std::function<void()> text(std::string_view value) {
    return [=] { push_reference(value); };
  }
  static std::function<void()> astring(const char* value) {
    return [=] { push_astring(value); };
  }
  static std::function<void()> bstr(const char* value) {
    return [=] { push_bstr(runtime::bstr_from_ansi(value), true); };
  }
  static std::function<void()> variant(KesVariant* value) {
    return [=] { push_variant_reference(value); };
  }
};

// ---- Concatenation.

struct ConcatCase {
  const char* name;
  std::string_view a;
  std::string_view b;
  EntryKind kind;  // of the result
};
constexpr ConcatCase kConcats[] = {
    {"BothEmptyIsTheNullText", "", "", EntryKind::TextRef},
    {"LeftEmpty", "", "B", EntryKind::TextInline},
    {"RightEmpty", "A", "", EntryKind::TextInline},
    {"TwentyFromTheLeftAlone", "ABCDEFGHIJKLMNOPQRST", "", EntryKind::TextInline},
    {"ExactlyTwenty", "0123456789", "ABCDEFGHIJ", EntryKind::TextInline},
    {"OneOverTwenty", "0123456789", "ABCDEFGHIJK", EntryKind::TextOwned},
    {"Long", "The quick brown fox jumps ", "over the lazy dog", EntryKind::TextOwned},
    {"ZeroBytes", {"A\0", 2}, {"\0B", 2}, EntryKind::TextInline},
};

TEST_F(StringCompareTest, ConcatJoinsInOperandOrder) {
  // The left operand referenced, inline (when it fits) or owned; joined either way round.
  for (const ConcatCase& c : kConcats) {
    for (int form = 0; form < 6; ++form) {
      SCOPED_TRACE(std::string(c.name) + " form " + std::to_string(form));
      const int left_kind = form % 3;
      const bool reversed = form >= 3;
      if (left_kind == 2) {
        push_owned_copy(c.a);
      } else if (left_kind == 1) {
        push_text(c.a);
      } else {
        push_reference(c.a);
      }
      push_reference(c.b);
      concat_pop(reversed);
      ASSERT_EQ(string_stack_depth(), 1);
      if (left_kind != 2) {
        EXPECT_EQ(entry_from_top(1).kind, static_cast<std::uint32_t>(c.kind));
      }
      if (c.kind == EntryKind::TextRef) {
        EXPECT_EQ(entry_from_top(1).pointer, nullptr);
      }
      EXPECT_EQ(pop(), reversed ? std::string(c.b) + std::string(c.a)
                                : std::string(c.a) + std::string(c.b));
    }
  }
}

TEST_F(StringCompareTest, ConcatAfterANumberMovesItsDigitsToTheFront) {
  push_long(-42);  // its digits sit at the end of the entry's inline area
  push_reference("x");
  test::AllocationCounter allocations;
  concat_pop(false);
  EXPECT_EQ(allocations.count(), 0u);
  EXPECT_EQ(entry_from_top(1).kind, static_cast<std::uint32_t>(EntryKind::TextInline));
  EXPECT_EQ(entry_from_top(1).pointer, entry_from_top(1).inline_area);
  push_reference("1234567890123456");  // 20 bytes in all
  concat_pop(false);
  EXPECT_EQ(entry_from_top(1).kind, static_cast<std::uint32_t>(EntryKind::TextInline));
  push_reference("!");  // one over: a heap block
  concat_pop(false);
  EXPECT_EQ(entry_from_top(1).kind, static_cast<std::uint32_t>(EntryKind::TextOwned));
  EXPECT_EQ(pop(), "-42x1234567890123456!");
  push_long(7);
  push_long(8);
  concat_pop(true);
  EXPECT_EQ(pop(), "87");
}

TEST_F(StringCompareTest, ChainOfShortTextsAllocatesNothing) {
  // UPPER(SUB(Name,1,3)) & ', ' & CLIP(City) into a STRING(40), as compiled code calls it.
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

TEST_F(StringCompareTest, ConcatGivesEmptyWhenTheBlockFails) {
  for (const bool owned : {false, true}) {
    owned ? push_owned_copy("The quick brown fox ") : push_reference("The quick brown fox ");
    push_reference("jumps over the lazy dog");
    platform::heap_fail_nth(1);
    concat_pop(false);
    platform::heap_fail_nth(0);
    EXPECT_EQ(pop(), "");
  }
}

TEST_F(StringCompareTest, ConcatWithABStrGivesABStrAndReadsAStrings) {
  push_reference("Kes");
  push_bstr(runtime::bstr_from_ansi("trel"), true);
  concat_pop(false);
  EXPECT_EQ(entry_from_top(1).kind, static_cast<std::uint32_t>(EntryKind::BStrOwned));
  EXPECT_EQ(pop(), "Kestrel");
  KesVariant variant;
  runtime::variant_init(variant);
  runtime::variant_assign_long(variant, 42);
  push_variant_inline(variant);
  push_reference(" owls");
  concat_pop(true);
  EXPECT_EQ(entry_from_top(1).kind, static_cast<std::uint32_t>(EntryKind::BStrOwned));
  EXPECT_EQ(pop(), " owls42");
  push_astring(intern_astring("Kes"));
  push_astring(intern_astring("trel"));
  concat_pop(false);
  EXPECT_EQ(pop(), "Kestrel");
}

// ---- Ordering comparison and inequality.

struct CompareCase {
  const char* name;
  std::string_view a;
  std::string_view b;
  int order;      // sign of the ordering comparison
  int different;  // the inequality test
};
constexpr CompareCase kCompares[] = {
    {"PaddedEqual", "abc", "abc   ", 0, 0},
    {"PaddedEqualOtherSide", "abc   ", "abc", 0, 0},
    {"BothEmpty", "", "", 0, 0},
    {"EmptyAgainstBlanks", "", "   ", 0, 0},
    {"Less", "abc", "abd", -1, 1},
    {"Greater", "abd", "abc", 1, 1},
    {"PrefixIsLess", "ab", "abc", -1, 1},
    {"LongerIsGreater", "abc", "ab", 1, 1},
    {"LeadingSpacesCount", " abc", "abc", -1, 1},
    {"ZeroByteSortsBelowASpace", {"abc\0", 4}, "abc", -1, 1},
};

TEST_F(StringCompareTest, OrderingAndInequality) {
  for (const CompareCase& c : kCompares) {
    SCOPED_TRACE(c.name);
    push_reference(c.a);
    push_reference(c.b);
    EXPECT_EQ(sign(compare_pop(true)), c.order);
    EXPECT_EQ(string_stack_depth(), 0);
    push_reference(c.a);
    push_owned_copy(c.b);
    EXPECT_EQ(not_equal_pop(true), c.different);
    EXPECT_EQ(string_stack_depth(), 0);
  }
}

TEST_F(StringCompareTest, OrderingFollowsCollationWhileInequalityIsExact) {
  numeric::CollationTables saved = numeric::collation_tables();
  // A sequence that sorts 'a' and 'A' together: the ordering sees them equal.
  numeric::collation_tables().ansi_weight['a'] = numeric::collation_tables().ansi_weight['A'];
  push_reference("a");
  push_reference("A");
  EXPECT_EQ(compare_pop(true), 0);
  push_reference("a");
  push_reference("A");
  EXPECT_EQ(not_equal_pop(true), 1);
  push_reference("z");  // item 3
  push_reference("A");  // item 2
  push_reference("b");  // item 1
  push_reference("a");  // the value
  EXPECT_EQ(inlist_pop(3), 2);
  numeric::collation_tables() = saved;
}

struct OperandCase {
  const char* name;
  std::function<void()> push_a, push_b;
  int order;      // sign of the ordering comparison
  int different;  // the inequality test
};

TEST_F(StringCompareTest, OtherKindsCompareByTheirValues) {
  const char* owl = intern_astring("owl");
  KesVariant nine;
  KesVariant ten;
  runtime::variant_init(nine);
  runtime::variant_init(ten);
  runtime::variant_assign_long(nine, 9);
  runtime::variant_assign_real(ten, 10.0);
  const OperandCase cases[] = {
      {"SameAString", astring(owl), astring(owl), 0, 0},
      {"OtherAString", astring(owl), astring(intern_astring("emu")), 1, 1},
      {"AStringAgainstPaddedText", astring(owl), text("owl  "), 0, 0},
      {"NumbersByValue", variant(&nine), variant(&ten), -1, 1},  // as text "9" sorts after "10"
      {"NumbersByValueReversed", variant(&ten), variant(&nine), 1, 1},
      {"NumberAgainstTextAsText", variant(&nine), text("9"), 0, 0},
      {"TextAgainstNumber", text("8"), variant(&nine), -1, 1},
      {"NumberAgainstNoNumber", variant(&nine), text("A"), -1, 1},
      {"BStrLess", bstr("abc"), bstr("abd"), -1, 1},
      {"BStrEqual", bstr("abc"), bstr("abc"), 0, 0},
      {"BStrLonger", bstr("abc"), bstr("ab"), 1, 1},
      {"BStrFacingTextIsText", text("abc"), bstr("abc   "), 0, 0},
  };
  for (const OperandCase& c : cases) {
    SCOPED_TRACE(c.name);
    c.push_a();
    c.push_b();
    EXPECT_EQ(sign(compare_pop(true)), c.order);
    c.push_a();
    c.push_b();
    EXPECT_EQ(not_equal_pop(true), c.different);
    EXPECT_EQ(string_stack_depth(), 0);
  }
}

TEST_F(StringCompareTest, TruthOfAText) {
  const std::pair<std::function<void()>, std::int32_t> cases[] = {
      {text("   "), 0},
      {text(""), 0},
      {text("  x "), 1},
      {text({"\0", 1}), 1},
      {[] { push_bstr(nullptr, false); }, 0},
      {astring(nullptr), 0},
      {astring(intern_astring("owl")), 1},
  };
  for (const auto& [push, truth] : cases) {
    push();
    EXPECT_EQ(truth_pop(), truth);
  }
  EXPECT_EQ(string_stack_depth(), 0);
}

// ---- INLIST.

TEST_F(StringCompareTest, InlistNumbersItemsUpwardFromTheValue) {
  push_reference("B  ");  // item 2
  push_reference("A");    // item 1
  push_reference("B");    // the value
  EXPECT_EQ(inlist_pop(2), 2);
  EXPECT_EQ(string_stack_depth(), 0);
  push_reference("X");
  push_reference("Y");
  push_reference("Z");
  EXPECT_EQ(inlist_pop(2), 0);
  EXPECT_EQ(string_stack_depth(), 0);
  push_reference("A");
  EXPECT_EQ(inlist_pop(0), 0);
  EXPECT_EQ(string_stack_depth(), 0);
  push_reference("Q");  // item 2, an equal one further down
  push_reference("Q");  // item 1
  push_reference("Q");
  EXPECT_EQ(inlist_pop(2), 1);
}

TEST_F(StringCompareTest, InlistOfAFullStack) {
  for (int item = 31; item >= 1; --item)
    push_long(item);
  push_reference("31");
  EXPECT_EQ(inlist_pop(31), 31);
  EXPECT_EQ(string_stack_depth(), 0);
}

using StringCompareDeathTest = StringCompareTest;

TEST_F(StringCompareDeathTest, InlistCountingBelowTheStackIsFatal) {
  EXPECT_EXIT(
      {
        push_reference("A");
        push_reference("A");
        inlist_pop(2);
      },
      testing::ExitedWithCode(kFatalExitCode), "Stack overflow");
  EXPECT_EXIT(
      {
        push_reference("A");
        inlist_pop(255);
      },
      testing::ExitedWithCode(kFatalExitCode), "Stack overflow");
}

}  // namespace
}  // namespace kes::runtime

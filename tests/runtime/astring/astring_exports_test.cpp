// The ASTRING and TIE exports called as compiled code calls them, and AStrings through the
// string stack's pushes and pops.
#include <cstdint>
#include <cstring>
#include <string>

#include <kestrel/astring.h>
#include <kestrel/string_stack.h>

#include <gtest/gtest.h>

#include "platform/core/heap.h"
#include "runtime/astring/astring_table.h"
#include "runtime/stack/string_stack.h"
#include "tests/support/allocation_counter.h"
#include "tests/support/stack_helpers.h"

namespace kes::runtime {
namespace {

TEST(AStringExports, MakeAStringClipsSharesAndHasAnUpperTwin) {
  const char* abc = nullptr;
  Kes$MakeAString(&abc, "EXP ABC   ", 10);
  ASSERT_NE(abc, nullptr);
  const char* again = nullptr;
  Kes$MakeAString(&again, "EXP ABC", 7);
  EXPECT_EQ(again, abc);
  EXPECT_EQ(Kes$CString2AString("EXP ABC "), abc);
  EXPECT_EQ(Kes$AStringLen(abc), 7u);
  EXPECT_STREQ(abc, "EXP ABC");
  const char* blank = abc;
  Kes$MakeAString(&blank, "   ", 3);
  EXPECT_EQ(blank, nullptr);
  Kes$MakeAString(nullptr, "IGNORED", 7);  // no destination: nothing happens
  EXPECT_EQ(Kes$CString2AString(nullptr), nullptr);
  EXPECT_EQ(Kes$CString2AString(""), nullptr);
  EXPECT_EQ(Kes$AStringLen(nullptr), 0u);
  EXPECT_EQ(Kes$AStringUPPER(Kes$CString2AString("exp abc")), abc);
  EXPECT_EQ(Kes$AStringUPPER(abc), abc);
  EXPECT_EQ(Kes$AStringUPPER(nullptr), nullptr);
}

// The rules are the table's (tested on a table of their own); these check the calls reach it.
TEST(AStringExports, TieTiedUntie) {
  const char* owl = Kes$CString2AString("EXP OWL");
  const char* hawk = Kes$CString2AString("EXP HAWK");
  const std::int32_t first = Kes$TIE(owl, 0, 100);
  EXPECT_LE(first, -101);
  EXPECT_EQ(Kes$TIED(owl, first), 100);
  EXPECT_EQ(Kes$TIE(owl, 12, 1), 12);
  EXPECT_EQ(Kes$TIE(hawk, 12, 2), 12);
  Kes$UNTIE(owl, 12, 0);
  EXPECT_EQ(Kes$TIED(owl, 12), 0);
  EXPECT_EQ(Kes$TIED(hawk, 12), 2);
  Kes$UNTIE(owl, 12, 1);  // the all flag: every text
  EXPECT_EQ(Kes$TIED(hawk, 12), 0);
  Kes$UNTIE(owl, -1, 0);
  EXPECT_EQ(Kes$TIED(owl, first), 0);
}

class AStringStackTest : public testing::Test {
 protected:
  void SetUp() override { test::drain_string_stack(); }
  void TearDown() override { test::drain_string_stack(); }
};

TEST_F(AStringStackTest, PopInternsTheText) {
  Kes$PushString("EXP STACK  ", 11);
  const char* popped = Kes$PopAString();
  EXPECT_EQ(popped, Kes$CString2AString("EXP STACK"));
  EXPECT_EQ(string_stack_depth(), 0);
  Kes$PushString("   ", 3);
  EXPECT_EQ(Kes$PopAString(), nullptr);
}

TEST_F(AStringStackTest, AStringEntryPopsAsItselfAndReadsAsText) {
  const char* owl = Kes$CString2AString("EXP STACK OWL");
  Kes$PushAString(owl);
  EXPECT_EQ(entry_from_top(1).kind, static_cast<std::uint32_t>(EntryKind::AStringRef));
  EXPECT_EQ(Kes$StackLen2(), 13u);
  test::AllocationCounter counter;
  EXPECT_EQ(Kes$PopAString(), owl);
  EXPECT_EQ(counter.count(), 0u);
  Kes$PushAString(owl);
  EXPECT_EQ(top_text(), "EXP STACK OWL");  // converted in place to a reference to the text
  EXPECT_EQ(entry_from_top(1).kind, static_cast<std::uint32_t>(EntryKind::TextRef));
  Kes$STACKpop();
  Kes$PushAString(nullptr);
  EXPECT_EQ(Kes$StackLen(), 0u);
}

TEST_F(AStringStackTest, OwnedBufferIsHandedOverAndFreed) {
  const char* known = Kes$CString2AString("EXP OWNED");
  auto* block = static_cast<char*>(platform::heap_allocate(9));
  ASSERT_NE(block, nullptr);
  std::memcpy(block, "EXP OWNED", 9);
  Kes$PushTemp(block, 9);
  test::AllocationCounter counter;
  EXPECT_EQ(Kes$PopAString(), known);  // the block is freed by the pop (leak-checked builds)
  EXPECT_EQ(counter.count(), 0u);
  auto* fresh = static_cast<char*>(platform::heap_allocate(13));
  ASSERT_NE(fresh, nullptr);
  std::memcpy(fresh, "EXP NEW OWNED", 13);
  Kes$PushTemp(fresh, 13);
  const char* interned = Kes$PopAString();
  ASSERT_NE(interned, nullptr);
  EXPECT_NE(interned, fresh);  // a copy lives in the table
  EXPECT_STREQ(interned, "EXP NEW OWNED");
  EXPECT_EQ(string_stack_depth(), 0);
}

}  // namespace
}  // namespace kes::runtime

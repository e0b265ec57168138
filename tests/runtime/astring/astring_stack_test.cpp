// AString entries of the string stack: their length and text, and pops back to an AString.
#include <cstring>
#include <string>

#include <kestrel/astring.h>
#include <kestrel/string_stack.h>

#include <gtest/gtest.h>

#include "runtime/astring/astring_table.h"
#include "runtime/stack/string_stack.h"
#include "tests/support/stack_helpers.h"

namespace kes::runtime {
namespace {

class StringStackAString : public testing::Test {
 protected:
  void SetUp() override { test::drain_string_stack(); }
  void TearDown() override { test::drain_string_stack(); }
  static EntryKind top_kind() { return test::top_entry_kind(); }
};

TEST_F(StringStackAString, LengthAndTextFromTheInternedValue) {
  const char* astring = intern_astring("Kestrel  ");
  ASSERT_NE(astring, nullptr);
  Kes$PushAString(astring);
  EXPECT_EQ(top_kind(), EntryKind::AStringRef);
  EXPECT_EQ(Kes$StackLen2(), 7u);
  EXPECT_EQ(std::string(top_text()), "Kestrel");
  EXPECT_EQ(top_kind(), EntryKind::TextRef);
  pop_discard();
  Kes$PushAString(nullptr);
  EXPECT_EQ(Kes$StackLen(), 0u);
}

TEST_F(StringStackAString, PopGivesTheSamePointerForTheSameText) {
  const char* interned = intern_astring("Owl");
  Kes$PushAString(interned);
  EXPECT_EQ(Kes$PopAString(), interned);
  Kes$PushString("Owl   ", 6);
  EXPECT_EQ(Kes$PopAString(), interned);
  Kes$PushString("   ", 3);
  EXPECT_EQ(Kes$PopAString(), nullptr);
  EXPECT_EQ(string_stack_depth(), 0);
}

TEST_F(StringStackAString, StoresLengthBeforeAndZeroAfter) {
  const char* interned = intern_astring("abcd");
  std::uint16_t length = 0;
  std::memcpy(&length, interned - 2, 2);
  EXPECT_EQ(length, 4);
  EXPECT_EQ(interned[4], '\0');
}

}  // namespace
}  // namespace kes::runtime

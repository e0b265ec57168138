// FORMAT, DEFORMAT and PRESS on the string stack, and the built-ins called through their exports
// as compiled code calls them.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include <kestrel/string_builtins.h>
#include <kestrel/string_stack.h>

#include <gtest/gtest.h>

#include "numeric/decimal/decimal_stack.h"
#include "platform/core/heap.h"
#include "runtime/builtins/string_builtins.h"
#include "runtime/stack/string_stack.h"
#include "tests/support/stack_helpers.h"
#include "wsl/keystroke/keystroke_queue.h"

namespace kes::runtime {
namespace {

class StringFormatTest : public testing::Test {
 protected:
  void SetUp() override { test::drain_string_stack(); }
  void TearDown() override { test::drain_string_stack(); }
  static std::string pop() { return test::pop_temp_text(); }
};

struct FormatCase {
  const char* name;
  std::string_view value;
  const char* picture;
  std::string_view result;
};
constexpr FormatCase kFormats[] = {
    {"NumberWithGroups", "1234.5", "@N9.2", " 1,234.50"},
    {"BlankWhenZero", "0", "@N9.2B", "         "},
    {"DateOfSerialDay", "81457", "@D2", " 1/05/2024"},
    {"DateWithZeroFill", "81457", "@D02", "01/05/2024"},
    {"TimeOfDay", "4710001", "@T3", " 1:05PM"},
    {"StringPadded", "AB", "@S5", "AB   "},
    {"StringCut", "ABCDEFG", "@S5", "ABCDE"},
    {"StringOfEmpty", "", "@S3", "   "},
    {"InvalidWidthZero", "AB", "@S0", ""},
    {"InvalidKind", "12", "@Q5", ""},
};

TEST_F(StringFormatTest, FormatThroughThePicture) {
  for (const FormatCase& c : kFormats) {
    SCOPED_TRACE(c.name);
    const int decimals = numeric::decimal_depth();
    Kes$PushString(c.value.data(), static_cast<std::uint32_t>(c.value.size()));
    Kes$StackFORMAT(c.picture);
    ASSERT_EQ(string_stack_depth(), 1);
    EXPECT_EQ(pop(), c.result);
    EXPECT_EQ(numeric::decimal_depth(), decimals);
  }
}

TEST_F(StringFormatTest, FormatGivesEmptyWhenTheBlockFails) {
  Kes$PushString("1234.5", 6);
  platform::heap_fail_nth(1);
  Kes$StackFORMAT("@N9.2");
  platform::heap_fail_nth(0);
  EXPECT_EQ(pop(), "");
}

TEST_F(StringFormatTest, DeformatReadsTypedTextAndTwoOperandFormsTakeThePicture) {
  Kes$PushString(" 1,234.50", 9);
  Kes$StackDEFORMAT("@N9.2");
  EXPECT_EQ(pop(), "1234.50");
  Kes$PushString("(12)", 4);
  Kes$StackDEFORMAT("@N(5)");
  EXPECT_EQ(pop(), "-12");
  Kes$PushString("@N(5)", 5);
  Kes$PushString("(12)", 4);
  Kes$StackDEFORMAT2();
  ASSERT_EQ(string_stack_depth(), 1);
  EXPECT_EQ(pop(), "-12");
  Kes$PushString("@N9.2   ", 8);
  Kes$PushString("1234.5", 6);
  Kes$StackFORMAT2();
  ASSERT_EQ(string_stack_depth(), 1);
  EXPECT_EQ(pop(), " 1,234.50");
}

TEST_F(StringFormatTest, PressHandsTheTextToTheKeystrokeQueue) {
  wsl::pending_keystrokes().clear();
  Kes$PushString("abc", 3);
  Kes$StackPRESS();
  Kes$PushString("de", 2);
  Kes$StackPRESS();
  EXPECT_EQ(string_stack_depth(), 0);
  EXPECT_EQ(wsl::pending_keystrokes().pending(), "abcde");
  wsl::pending_keystrokes().clear();
}

// ---- The exports as compiled code calls them.

TEST_F(StringFormatTest, ExportsKeepTheOperandOrder) {
  Kes$PushString("ABCDEF", 6);  // searched
  Kes$PushString("CD", 2);      // sought, on top
  EXPECT_EQ(Kes$StackINSTRING(1, 1), 3);
  Kes$PushString("abc", 3);
  Kes$PushString("abd", 3);
  EXPECT_LT(Kes$StackCompare(), 0);
  Kes$PushString("abc", 3);
  Kes$PushString("abd", 3);
  EXPECT_GT(Kes$StackCompareR(), 0);
  Kes$PushString("abc", 3);
  Kes$PushString("abd", 3);
  EXPECT_GT(Kes$StackCompareR1(), 0);
  Kes$PushString("abc ", 4);
  EXPECT_EQ(Kes$StackCompareNEQ1(), 0);
  Kes$PushString("abd", 3);
  EXPECT_LT(Kes$StackCompare1(), 0);
  Kes$PushString("x", 1);
  EXPECT_EQ(Kes$StackCompareNEQ(), 1);
  EXPECT_EQ(string_stack_depth(), 0);
  Kes$PushString("A", 1);
  Kes$PushString("B", 1);
  Kes$StackConcatR();
  EXPECT_EQ(pop(), "BA");
  Kes$PushString("B  ", 3);
  Kes$PushString("A", 1);
  Kes$PushString("B", 1);
  EXPECT_EQ(Kes$StackINLIST(0x102), 2);  // only the low byte counts
  Kes$PushString(" ", 1);
  EXPECT_EQ(Kes$StackCompareN(), 0);
  Kes$PushString("1e3", 3);
  EXPECT_EQ(Kes$StackNUMERIC(), 1);
  Kes$PushNull();
  EXPECT_EQ(Kes$StackVAL(), 32);
  EXPECT_EQ(string_stack_depth(), 0);
  Kes$PushString("AB", 2);
  Kes$StackCENTER(5);
  EXPECT_EQ(pop(), "  AB ");
  Kes$PushString("ABCDE", 5);
  Kes$StackRIGHT(3);
  EXPECT_EQ(pop(), "CDE");
  Kes$PushString("  AB", 4);
  Kes$StackLEFT(-1);
  EXPECT_EQ(pop(), "AB  ");
  Kes$PushString("AB", 2);
  Kes$StackALL(5);
  EXPECT_EQ(pop(), "ABABA");
  Kes$PushString("OWL", 3);
  Kes$StackLOWER();
  EXPECT_EQ(pop(), "owl");
  char text[] = "owl   ";
  EXPECT_EQ(Kes$clipstr(text), 3u);
}

}  // namespace
}  // namespace kes::runtime

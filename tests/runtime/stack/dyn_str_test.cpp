// DynStr: growth, appends, cutting and the string-stack exchanges.
#include <string>

#include <kestrel/dyn_str.h>

#include <gtest/gtest.h>

#include "platform/core/heap.h"
#include "runtime/stack/string_stack.h"

namespace {

struct GrowthCase {
  const char* name;
  std::uint32_t length;    // total bytes appended
  std::uint32_t capacity;  // (length + 16) rounded down to 16, once growing was needed
};
constexpr GrowthCase kGrowth[] = {
    {"OneByte", 1, 16},    {"Fifteen", 15, 16},   {"SixteenNeedsTerminator", 16, 32},
    {"Seventeen", 17, 32}, {"Hundred", 100, 112}, {"ExactMultiple", 112, 128},
};

TEST(DynStrGrowth, RoundsLengthPlusSixteenDownToSixteen) {
  for (const GrowthCase& c : kGrowth) {
    SCOPED_TRACE(c.name);
    DynStr text;
    text.cat(std::string(c.length, 'x').c_str());
    EXPECT_EQ(text.length(), c.length);
    EXPECT_EQ(text.capacity(), c.capacity);
  }
  DynStr text;  // a failed growth drops the length
  text.cat("0123456789");
  kes::platform::heap_fail_nth(1);
  text.cat("0123456789");  // needs 20 bytes: the reallocation fails
  kes::platform::heap_fail_nth(0);
  EXPECT_EQ(text.length(), 0u);
  text.cat("ok");
  EXPECT_EQ(text.view(), "ok");
}

TEST(DynStrCat, CharactersNumbersAndFormats) {
  DynStr text;
  text.cat('[').cat(std::int32_t{-2147483647 - 1}).cat(',').cat(std::uint32_t{4294967295u});
  text.cat(',').cat(std::uint32_t{255}, 16).cat(',').cat(std::uint32_t{5}, 2);
  text.cat(',').cat(2.5).cat(',').cat(1.0 / 3.0).cat(']');
  EXPECT_EQ(text.view(), "[-2147483648,4294967295,FF,101,2.5,0.333333333333333]");
  text.kill();
  text.catf("%s=%03d", "n", 7);
  EXPECT_EQ(text.view(), "n=007");
  text.cat(std::uint32_t{9}, 1);  // no such base: nothing appended
  text.cat(nullptr);
  EXPECT_EQ(text.view(), "n=007");
}

TEST(DynStrCat, ZeroBytesAndItsOwnText) {
  DynStr text;
  text.cat("a\0b", 3);
  text.cat(text);
  EXPECT_EQ(text.view(), std::string_view("a\0ba\0b", 6));
  // A slice of its own buffer survives the growth that moves the buffer.
  for (int round = 0; round < 6; ++round)
    text.cat(text.data(), text.length());
  EXPECT_EQ(text.length(), 6u * 64u);
  EXPECT_EQ(text.view().substr(378), std::string_view("a\0ba\0b", 6));
  // So does a slice from the middle of it.
  DynStr digits;
  digits.cat("0123456789", 10);
  std::string expected = "0123456789";
  for (int round = 0; round < 5; ++round) {
    const std::uint32_t half = digits.length() / 2;
    digits.cat(digits.data() + half, digits.length() - half);
    expected += expected.substr(half);
  }
  EXPECT_EQ(digits.view(), expected);
}

TEST(DynStrEdit, ClipTruncPadAndKill) {
  DynStr text;
  text.cat("ab  ");
  text.clip();
  EXPECT_EQ(text.view(), "ab");
  text.PadTo(5);
  EXPECT_EQ(text.view(), "ab   ");
  text.PadTo(3);
  EXPECT_EQ(text.view(), "ab   ");
  text.trunc(1);
  EXPECT_EQ(text.view(), "a");
  text.trunc(4);
  EXPECT_EQ(text.view(), "a");
  const std::uint32_t capacity = text.capacity();
  text.kill();
  EXPECT_EQ(text.length(), 0u);
  EXPECT_EQ(text.capacity(), capacity);
  text.cat("moved");
  DynStr second(std::move(text));  // a move transfers the buffer
  EXPECT_EQ(second.view(), "moved");
  EXPECT_EQ(text.data(), nullptr);  // NOLINT(bugprone-use-after-move): moved-from is empty
  text = std::move(second);
  EXPECT_EQ(text.view(), "moved");
}

TEST(DynStrCut, GivesAwayANearlyFullBufferAndCopiesTheRest) {
  DynStr text;
  text.cat("123456789012");  // 12 bytes, capacity 16: 12 + 4 reaches the capacity
  const char* buffer = text.data();
  char* cut = text.cut();
  EXPECT_EQ(cut, buffer);
  EXPECT_STREQ(cut, "123456789012");
  EXPECT_EQ(text.capacity(), 0u);
  EXPECT_EQ(text.length(), 0u);
  kes::platform::heap_free(cut);
  text.cat("12345678901");  // 11 + 4 < 16
  cut = text.cut();
  EXPECT_NE(cut, text.data());
  EXPECT_STREQ(cut, "12345678901");
  EXPECT_EQ(text.length(), 0u);
  EXPECT_EQ(text.capacity(), 16u);
  kes::platform::heap_free(cut);
  DynStr empty;
  cut = empty.cut();
  ASSERT_NE(cut, nullptr);
  EXPECT_STREQ(cut, "");
  kes::platform::heap_free(cut);
}

TEST(DynStrStack, PushAndPopThroughTheStringStack) {
  DynStr text;
  text.cat("Kestrel runtime");
  text.PushString(8, 99);
  text.PushString();
  text.kill();
  text.PopString();
  EXPECT_EQ(text.view(), "Kestrel runtime");
  text.PopString();
  EXPECT_EQ(text.view(), "runtime");
  text.PushString(99, 3);
  text.PopString();
  EXPECT_EQ(text.view(), "");
  EXPECT_EQ(kes::runtime::string_stack_depth(), 0);
}

}  // namespace

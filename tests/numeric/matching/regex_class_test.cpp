// The regular-expression classes as compiled code uses them: patterns, replacements and
// templates pushed on the string stack, texts in the program's own buffers.
#include <cstring>
#include <string>
#include <string_view>

#include <kestrel/reg_expr.h>
#include <kestrel/string_stack.h>

#include <gtest/gtest.h>

#include "platform/core/heap.h"
#include "runtime/stack/string_stack.h"
#include "tests/support/stack_helpers.h"

namespace kes::numeric {
namespace {

int init(KewRegExpr& regex, std::string_view pattern, int32_t flags = 0) {
  const int depth = runtime::string_stack_depth();
  runtime::push_text(pattern);
  const int result = regex.Init(flags);
  EXPECT_EQ(runtime::string_stack_depth(), depth);
  return result;
}

std::string group(KewRegExpr& regex, int32_t number) {
  regex.FindStr(number);
  return test::pop_top_text();
}

void replace(KewRegExpr& regex, int32_t number, std::string_view replacement) {
  const int depth = runtime::string_stack_depth();
  runtime::push_text(replacement);
  regex.Replace(number);
  EXPECT_EQ(runtime::string_stack_depth(), depth);
}

TEST(KewRegExprFind, GroupsGiveTheirTextAndLength) {
  KewRegExpr regex;
  ASSERT_EQ(init(regex, "{ab}+c"), 1);
  char text[] = "ababc";
  EXPECT_EQ(regex.Find(0, text, 5, 1), 1);
  EXPECT_EQ(group(regex, 0), "ababc");
  EXPECT_EQ(group(regex, 1), "ab");
  EXPECT_EQ(regex.FindLen(0), 5);
  EXPECT_EQ(regex.FindLen(1), 2);
  // Groups that did not match, and numbers outside the groups, are empty.
  ASSERT_EQ(init(regex, "{a}|{b}"), 1);
  EXPECT_EQ(regex.Find(0, text, 5, 2), 2);
  EXPECT_EQ(group(regex, 1), "");
  EXPECT_EQ(group(regex, 2), "b");
  EXPECT_EQ(group(regex, 3), "");
  EXPECT_EQ(group(regex, 10), "");
  EXPECT_EQ(group(regex, -1), "");
  EXPECT_EQ(regex.FindLen(1), 0);
  EXPECT_EQ(regex.FindLen(2), 1);
}

TEST(KewRegExprFind, StartsAtTheGivenPositionWithTheCaseFlags) {
  KewRegExpr regex;
  ASSERT_EQ(init(regex, "a"), 1);
  char text[] = "abca";
  EXPECT_EQ(regex.Find(0, text, 4, 0), 1);
  EXPECT_EQ(regex.Find(0, text, 4, -5), 1);
  EXPECT_EQ(regex.Find(0, text, 4, 2), 4);
  EXPECT_EQ(regex.Find(0, text, 4, 5), 0);
  EXPECT_EQ(regex.Find(0, text, 4, 99), 0);
  EXPECT_EQ(regex.Find(0, text, 3, 2), 0);  // the length ends the text
  EXPECT_EQ(regex.Find(0, nullptr, 4, 1), 0);
  char mixed[] = "xabc";  // the case flag at compile time, or at the search
  ASSERT_EQ(init(regex, "ABC", 16), 1);
  EXPECT_EQ(regex.Find(0, mixed, 4, 1), 2);
  ASSERT_EQ(init(regex, "ABC"), 1);
  EXPECT_EQ(regex.Find(0, mixed, 4, 1), 0);
  EXPECT_EQ(regex.Find(16, mixed, 4, 1), 2);
}

TEST(KewRegExprFind, FindNextWalksEveryMatchAndMovesPastEmptyOnes) {
  KewRegExpr regex;
  ASSERT_EQ(init(regex, "[0-9]+"), 1);
  char text[] = "a1b22c333";
  EXPECT_EQ(regex.Find(0, text, 9, 1), 2);
  EXPECT_EQ(group(regex, 0), "1");
  EXPECT_EQ(regex.FindNext(), 4);
  EXPECT_EQ(group(regex, 0), "22");
  EXPECT_EQ(regex.FindNext(), 7);
  EXPECT_EQ(group(regex, 0), "333");
  EXPECT_EQ(regex.FindNext(), 0);
  EXPECT_EQ(group(regex, 0), "");  // a failed search clears the groups
  EXPECT_EQ(regex.FindNext(), 0);
  ASSERT_EQ(init(regex, "x*"), 1);
  char empty_matches[] = "axb";
  EXPECT_EQ(regex.Find(0, empty_matches, 3, 1), 1);
  EXPECT_EQ(regex.FindLen(0), 0);
  EXPECT_EQ(regex.FindNext(), 2);
  EXPECT_EQ(group(regex, 0), "x");
  EXPECT_EQ(regex.FindNext(), 3);
  EXPECT_EQ(regex.FindNext(), 4);  // the empty match at the very end
  EXPECT_EQ(regex.FindNext(), 0);
}

TEST(KewRegExprFind, BadPatternFindsNothing) {
  KewRegExpr regex;
  char text[] = "abc";
  EXPECT_EQ(regex.Find(0, text, 3, 1), 0);  // nothing compiled yet
  EXPECT_EQ(init(regex, "*abc"), 0);
  EXPECT_EQ(regex.Find(0, text, 3, 1), 0);
  EXPECT_EQ(init(regex, "{a}{b}{c}{d}{e}{f}{g}{h}{i}{j}"), 0);
  EXPECT_EQ(init(regex, "{abc"), 0);
  EXPECT_EQ(init(regex, "b"), 1);
  EXPECT_EQ(regex.Find(0, text, 3, 1), 2);
  regex.Kill();
  EXPECT_EQ(regex.Find(0, text, 3, 1), 0);
  EXPECT_EQ(regex.FindNext(), 0);
  runtime::push_text("abc");
  platform::heap_fail_nth(1);
  EXPECT_EQ(regex.Init(0), 0);  // without memory
  platform::heap_fail_nth(0);
  EXPECT_EQ(init(regex, "abc"), 1);
}

struct ReplaceCase {
  const char* name;
  std::string_view pattern;
  std::string_view text;  // a fixed-length text: its length is its capacity
  int32_t group;
  std::string_view replacement;
  std::string_view result;
  std::string_view group0_after;
};

constexpr ReplaceCase kFixedReplaces[] = {
    {"SameLength", "cat", "the cat sat", 0, "dog", "the dog sat", "dog"},
    {"LongerIsCut", "cat", "the cat sat", 0, "tiger", "the tiger s", "tiger"},
    {"ShorterFillsSpaces", "cat", "the cat sat", 0, "ox", "the ox sat ", "ox"},
    {"EmptyReplacement", "cat ", "the cat sat", 0, "", "the sat    ", ""},
    {"GroupInsideMatch", "{c}at", "the cat sat", 1, "Sc", "the Scat sa", "Scat"},
    {"ReplacementItselfCut", "sat", "the cat sat", 0, "sitting", "the cat sit", "sit"},
    {"GroupAtEnd", "{t}$", "the cat sat", 1, "", "the cat sa ", ""},
    {"UnmatchedGroupChangesNothing", "{x}|b", "abc", 1, "ZZ", "abc", "b"},
    {"GroupBeyondTheLastChangesNothing", "{x}|b", "abc", 12, "ZZ", "abc", "b"},
};

TEST(KewRegExprReplace, FixedLengthText) {
  for (const ReplaceCase& c : kFixedReplaces) {
    SCOPED_TRACE(c.name);
    KewRegExpr regex;
    ASSERT_EQ(init(regex, c.pattern), 1);
    std::string text(c.text);
    ASSERT_NE(regex.Find(0, text.data(), static_cast<int32_t>(text.size()), 1), 0);
    replace(regex, c.group, c.replacement);
    EXPECT_EQ(text, c.result);
    EXPECT_EQ(group(regex, 0), c.group0_after);
  }
}

TEST(KewRegExprReplace, LaterGroupsMoveWithTheText) {
  KewRegExpr regex;
  ASSERT_EQ(init(regex, "{a+}-{b+}"), 1);
  std::string text = "xaa-bbx      ";
  ASSERT_EQ(regex.Find(0, text.data(), static_cast<int32_t>(text.size()), 1), 2);
  replace(regex, 1, "AAAA");
  EXPECT_EQ(text, "xAAAA-bbx    ");
  EXPECT_EQ(group(regex, 0), "AAAA-bb");
  EXPECT_EQ(group(regex, 1), "AAAA");
  EXPECT_EQ(group(regex, 2), "bb");
  replace(regex, 2, "B");
  EXPECT_EQ(text, "xAAAA-Bx     ");
  EXPECT_EQ(group(regex, 0), "AAAA-B");
  // The search goes on after the replaced match, inside the shortened text.
  EXPECT_EQ(regex.FindNext(), 0);
}

TEST(KewRegExprReplace, FindNextContinuesAfterReplacement) {
  KewRegExpr regex;
  ASSERT_EQ(init(regex, "o"), 1);
  std::string text = "foo boo        ";
  int32_t at = regex.Find(0, text.data(), static_cast<int32_t>(text.size()), 1);
  int replaced = 0;
  while (at != 0 && replaced < 10) {
    replace(regex, 0, "oo");  // contains the pattern: must not be found again
    ++replaced;
    at = regex.FindNext();
  }
  EXPECT_EQ(replaced, 4);
  EXPECT_EQ(text, "foooo boooo    ");
}

TEST(KewRegExprReplace, TerminatedText) {
  KewRegExpr regex;
  ASSERT_EQ(init(regex, "two$"), 1);
  char text[16] = "one two";
  ASSERT_EQ(regex.FindC(0, text, 0, 1), 5);  // buffer size unknown
  char unterminated[4] = {'t', 'w', 'o', 'x'};
  EXPECT_EQ(regex.FindC(0, unterminated, 3, 1), 1);  // never read past the buffer
  ASSERT_EQ(regex.FindC(0, text, 16, 1), 5);
  replace(regex, 0, "three");
  EXPECT_STREQ(text, "one three");
  ASSERT_EQ(init(regex, "three"), 1);
  ASSERT_EQ(regex.FindC(0, text, 16, 1), 5);
  replace(regex, 0, "0123456789ABCDEF");
  EXPECT_EQ(std::string_view(text, 16), std::string_view("one 0123456789A\0", 16));
  ASSERT_EQ(init(regex, "one "), 1);
  ASSERT_EQ(regex.FindC(0, text, 16, 1), 1);
  replace(regex, 0, "");
  EXPECT_STREQ(text, "0123456789A");
}

// Deleting a match: the empty replacement as compiled code pushes it (a null text, a zero
// length at a null pointer, the empty literal) removes the match and copies nothing.
TEST(KewRegExprReplace, EmptyReplacementDeletesTheMatch) {
  const auto push_null = [] { Kes$PushNull(); };
  const auto push_null_pointer = [] { Kes$PushString(nullptr, 0); };
  const auto push_empty_literal = [] { Kes$PushString("", 0); };
  for (void (*push)() : {+push_null, +push_null_pointer, +push_empty_literal}) {
    KewRegExpr regex;
    ASSERT_EQ(init(regex, "cat "), 1);
    std::string text = "the cat sat";
    ASSERT_EQ(regex.Find(0, text.data(), static_cast<int32_t>(text.size()), 1), 5);
    push();
    regex.Replace(0);
    EXPECT_EQ(text, "the sat    ");
    EXPECT_EQ(regex.FindLen(0), 0);
    char terminated[16] = "one two";
    ASSERT_EQ(regex.FindC(0, terminated, 16, 1), 0);  // "cat " is not there
    ASSERT_EQ(init(regex, "two"), 1);
    ASSERT_EQ(regex.FindC(0, terminated, 16, 1), 5);
    push();
    regex.Replace(0);
    EXPECT_STREQ(terminated, "one ");
  }
  EXPECT_EQ(runtime::string_stack_depth(), 0);
}

TEST(KewRegExprReplace, ReplacementReferringToTheText) {
  KewRegExpr regex;
  ASSERT_EQ(init(regex, "cd"), 1);
  std::string text = "abcdef";
  ASSERT_EQ(regex.Find(0, text.data(), 6, 1), 3);
  runtime::push_reference(std::string_view(text.data() + 4, 2));
  regex.Replace(0);
  EXPECT_EQ(text, "abefef");
}

TEST(KewRegExprSubstitute, ExpandsGroupReferences) {
  KewRegExpr regex;
  runtime::push_text("[#1]##");
  regex.Substitute();  // without a match every group is empty
  EXPECT_EQ(test::pop_top_text(), "[]#");
  ASSERT_EQ(init(regex, "{[a-z]+}@{[a-z]+}{!}?"), 1);
  char text[] = "mail bob@example now";
  ASSERT_EQ(regex.Find(0, text, 20, 1), 6);
  const int depth = runtime::string_stack_depth();
  runtime::push_text("#2 has #1#3, ## #x # #0#");
  regex.Substitute();
  EXPECT_EQ(runtime::string_stack_depth(), depth + 1);
  EXPECT_EQ(test::pop_top_text(), "example has bob, # #x # bob@example#");
}

TEST(RegExprEngine, FindsAndReplacesByOffset) {
  RegExpr regex;
  ASSERT_EQ(regex.Compile("b+x", -1, 0), 1);
  char text[] = "abbxbx";
  EXPECT_EQ(regex.Find(text, 0, 6, 1), 1);
  EXPECT_EQ(regex.Find(text, 2, 6, 1), 2);
  EXPECT_EQ(regex.Find(text, 5, 6, 1), -1);
  EXPECT_EQ(regex.Find(text, 0, 6, 1), 1);
  EXPECT_EQ(regex.Replace("Q", 0, 0), 4);  // the end moves; the rest is filled with spaces
  EXPECT_EQ(std::string_view(text, 6), "aQbx  ");
  EXPECT_EQ(regex.Replace("Q", 3, 0), -1);
  ASSERT_EQ(regex.Compile("B", 1, 16), 1);
  EXPECT_EQ(regex.Find(text, 0, 0, 0), 2);  // terminated, without limit
  EXPECT_EQ(regex.Compile("{", -1, 0), 0);
  EXPECT_EQ(regex.Find(text, 0, 6, 1), -1);
  regex.Kill();
  EXPECT_EQ(regex.Find(text, 0, 6, 1), -1);
  ASSERT_EQ(regex.Compile("b", -1, 0), 1);  // a larger capacity lets the text grow
  char grows[12] = "abc";
  ASSERT_EQ(regex.Find(grows, 0, 4, 0), 1);  // terminated inside 4 bytes
  EXPECT_EQ(regex.Replace("BBBB", 0, 12), 6);
  EXPECT_STREQ(grows, "aBBBBc");
}

}  // namespace
}  // namespace kes::numeric

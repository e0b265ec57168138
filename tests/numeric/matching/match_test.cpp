// MATCH through its export, as compiled code calls it: push the pattern, push the text, call,
// read the result; the four kinds, the case flag, clipping and the cache.
#include "numeric/matching/match.h"

#include <string>
#include <string_view>

#include <kestrel/matching.h>

#include <gtest/gtest.h>

#include "platform/core/heap.h"
#include "runtime/stack/string_stack.h"
#include "tests/support/allocation_counter.h"

namespace kes::numeric {
namespace {

int call_match(std::string_view text, std::string_view pattern, std::int32_t mode) {
  const int depth = runtime::string_stack_depth();
  runtime::push_text(pattern);
  runtime::push_text(text);
  const int result = Kes$MATCH(mode);
  EXPECT_EQ(runtime::string_stack_depth(), depth);  // both operands popped
  return result;
}

struct MatchCase {
  const char* name;
  std::string_view text;
  std::string_view pattern;
  std::int32_t mode;
  int result;
};

constexpr MatchCase kMatches[] = {
    {"ExactEqual", "ABC", "ABC", 0, 1},
    {"ExactDiffersInCase", "ABC", "abc", 0, 0},
    {"ExactNoCase", "ABC", "abc", 16, 1},
    {"ExactNoCaseLastByteDiffers", "ABC", "abd", 16, 0},
    {"ExactTrailingSpacesClipped", "ABC   ", "ABC ", 0, 1},
    {"ExactLeadingSpacesCount", " ABC", "ABC", 0, 0},
    {"ExactLengthDiffers", "ABCD", "ABC", 0, 0},
    {"ExactBothEmpty", "", "   ", 0, 1},
    {"WildcardStar", "abc", "a*c", 1, 1},
    {"WildcardNoCase", "ABC", "a*c", 17, 1},
    {"WildcardClippedText", "abc  ", "a*c", 1, 1},
    {"RegexFoundInside", "x12y", "[0-9]+", 2, 1},
    {"RegexLeadingStarDoesNotCompile", "abc", "*abc", 2, 0},
    {"RegexNoCase", "XYZ", "x.z", 18, 1},
    {"RegexClippedPattern", "ab", "b$  ", 2, 1},
    {"SoundAlike", "Smith", "Smyth", 3, 1},
    {"SoundAlikeWithCaseFlag", "smith", "SMYTH", 19, 1},
    {"UnknownKind", "abc", "abc", 4, 0},
    {"UnknownKindHighest", "abc", "abc", 15, 0},
};

TEST(MatchExport, MatchesEachKind) {
  for (const MatchCase& c : kMatches) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(call_match(c.text, c.pattern, c.mode), c.result);
  }
}

TEST(MatchExport, LongTextsAreCopiedBeforeThePatternIsRead) {
  std::string text(5000, 'x');
  text += "needle";
  EXPECT_EQ(call_match(text, "nee+dle$", 2), 1);
  EXPECT_EQ(call_match(text, "nee+dles", 2), 0);
  // The copy of the long text cannot be made: no match, and both operands are still popped.
  const int depth = runtime::string_stack_depth();
  runtime::push_text("x");
  runtime::push_text(text);
  platform::heap_fail_nth(1);
  EXPECT_EQ(Kes$MATCH(0), 0);
  platform::heap_fail_nth(0);
  EXPECT_EQ(runtime::string_stack_depth(), depth);
  // The same texts match when the copy can be made.
  runtime::push_text(std::string(5006, 'x'));
  runtime::push_text(std::string(5006, 'x'));
  EXPECT_EQ(Kes$MATCH(0), 1);
}

TEST(MatchCacheTest, ReusesTheLastCompiledPattern) {
  clear_match_cache();
  EXPECT_TRUE(match_texts("a1", "[0-9]", kMatchRegex));
  test::AllocationCounter counter;
  EXPECT_TRUE(match_texts("b2", "[0-9]", kMatchRegex));
  EXPECT_EQ(counter.count(), 0u);
  // The case flag is part of the key: compiles again, then is reused.
  EXPECT_TRUE(match_texts("b2", "[0-9]", kMatchRegex | kMatchNoCase));
  const std::size_t compiled = counter.count();
  EXPECT_GT(compiled, 0u);
  EXPECT_FALSE(match_texts("bb", "[0-9]", kMatchRegex | kMatchNoCase));
  EXPECT_EQ(counter.count(), compiled);
  // Patterns that do not compile are remembered too.
  EXPECT_FALSE(match_texts("a", "a||", kMatchRegex));
  const std::size_t failed = counter.count();
  EXPECT_FALSE(match_texts("a", "a||", kMatchRegex));
  EXPECT_EQ(counter.count(), failed);
}

TEST(MatchCacheTest, OutOfMemoryIsNoMatchAndRetried) {
  clear_match_cache();
  platform::heap_fail_nth(1);
  EXPECT_FALSE(match_texts("abc", "b", kMatchRegex));
  platform::heap_fail_nth(2);
  EXPECT_FALSE(match_texts("abc", "b", kMatchRegex));
  platform::heap_fail_nth(0);
  EXPECT_TRUE(match_texts("abc", "b", kMatchRegex));
}

}  // namespace
}  // namespace kes::numeric

// MATCH through its export, as compiled code calls it: push the pattern, push the text, call,
// read the result; the four kinds, the case flag, clipping and the cache. Then the wildcard and
// sound-alike kinds on their own.
#include "numeric/matching/match.h"

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include <kestrel/matching.h>

#include <gtest/gtest.h>

#include "numeric/locale/collation_tables.h"
#include "numeric/matching/soundex.h"
#include "numeric/matching/wildcard.h"
#include "platform/core/heap.h"
#include "runtime/stack/string_stack.h"
#include "tests/numeric/matching/case_pair.h"
#include "tests/support/allocation_counter.h"
#include "tests/support/host_speed.h"

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

TEST(MatchCacheTest, ReusesTheLastCompiledPatternAndRetriesAfterOutOfMemory) {
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
  // Out of memory is no match, and not remembered.
  clear_match_cache();
  platform::heap_fail_nth(1);
  EXPECT_FALSE(match_texts("abc", "b", kMatchRegex));
  platform::heap_fail_nth(2);
  EXPECT_FALSE(match_texts("abc", "b", kMatchRegex));
  platform::heap_fail_nth(0);
  EXPECT_TRUE(match_texts("abc", "b", kMatchRegex));
}

// The plain definition: "*" at the end takes the rest, "*" elsewhere tries every split, "?"
// takes one character, others must be equal.
bool plain_walk(std::string_view pattern, std::string_view text) {
  if (pattern.empty()) return text.empty();
  if (pattern[0] == '*') {
    if (pattern.size() == 1) return true;
    for (std::size_t split = 0; split <= text.size(); ++split) {
      if (plain_walk(pattern.substr(1), text.substr(split))) return true;
    }
    return false;
  }
  if (text.empty()) return false;
  if (pattern[0] != '?' && pattern[0] != text[0]) return false;
  return plain_walk(pattern.substr(1), text.substr(1));
}

// Every string over `alphabet` up to `longest` characters.
std::vector<std::string> all_strings(std::string_view alphabet, std::size_t longest) {
  std::vector<std::string> out{""};
  for (std::size_t i = 0; i < out.size(); ++i) {
    if (out[i].size() == longest) continue;
    for (char c : alphabet)
      out.push_back(out[i] + c);
  }
  return out;
}

TEST(WildcardMatch, AgreesWithThePlainWalkOnEverySmallCase) {
  const auto patterns = all_strings("ab*?", 5);
  const auto texts = all_strings("ab", 5);
  std::size_t matched = 0;
  for (const std::string& pattern : patterns) {
    for (const std::string& text : texts) {
      const bool expected = plain_walk(pattern, text);
      ASSERT_EQ(wildcard_match(pattern, text, false), expected) << pattern << " / " << text;
      if (expected) ++matched;
    }
  }
  EXPECT_GT(matched, 1000u);
}

TEST(WildcardMatch, IgnoresCaseThroughTheCaseTables) {
  EXPECT_FALSE(wildcard_match("ABC", "abc", false));
  EXPECT_TRUE(wildcard_match("A*C", "abc", true));
  EXPECT_TRUE(wildcard_match("*BC", "abc", true));
  EXPECT_TRUE(wildcard_match("a?c", "ABC", true));
  EXPECT_FALSE(wildcard_match("A*D", "abc", true));
  const CollationTables saved = with_e_acute_pair();
  EXPECT_TRUE(wildcard_match("*\xC9", "caf\xE9", true));
  collation_tables() = saved;
  EXPECT_FALSE(wildcard_match("*\xC9", "caf\xE9", true));
}

TEST(WildcardMatch, ManyStarsStayFast) {
  const std::string text(20000, 'a');
  const auto begun = std::chrono::steady_clock::now();
  EXPECT_FALSE(wildcard_match("*a*a*a*a*a*a*a*a*b", text, false));
  EXPECT_FALSE(wildcard_match("a*a*a*a*a*a*a*a*b*", text, false));
  EXPECT_TRUE(wildcard_match("a*a*a*a*a*a*a*a*", text, false));
  EXPECT_LT(std::chrono::steady_clock::now() - begun, test::time_limit(10));
}

// Sound-alike codes of surnames, worked out by hand from the letter table: 0 digits and digits
// equal to the first letter's own are left out (neighbouring equal digits are not merged).
struct SoundexCase {
  const char* name;
  std::string_view text;
  std::string_view code;
};

constexpr SoundexCase kCodes[] = {
    {"Smith", "Smith", "S530"},
    {"Smyth", "Smyth", "S530"},
    {"LowerCaseFirst", "smith", "S530"},
    {"FirstDigitRepeatedIsLeftOut", "Lloyd", "L300"},
    {"FirstDigitLaterIsLeftOut", "Robert", "R130"},
    {"NeighboursNotMerged", "Ashcraft", "A226"},
    {"PfisterFirstDigit", "Pfister", "P236"},
    {"JacksonAllLeftOut", "Jackson", "J500"},
    {"StopsAtThreeDigits", "Tymczak", "T522"},
    {"Burroughs", "Burroughs", "B662"},
    {"PaddedWithZeros", "Lee", "L000"},
    {"OneLetter", "A", "A000"},
    {"LeadingNonLettersSkipped", "  o'Brien", "O165"},
    {"InnerNonLettersIgnored", "Mc-Do nald", "M234"},
    {"DigitsOnly", "123", "!000"},
    {"Empty", "", "!000"},
    {"Punctuation", "-- ,", "!000"},
};

TEST(SoundexCode, FollowsTheLetterTable) {
  for (const SoundexCase& c : kCodes) {
    SCOPED_TRACE(c.name);
    const std::array<char, 4> code = soundex_code(c.text);
    EXPECT_EQ(std::string_view(code.data(), code.size()), c.code);
  }
}

TEST(SoundexCode, AccentedFirstLetterFollowsTheCaseTables) {
  const CollationTables saved = with_e_acute_pair();
  std::array<char, 4> code = soundex_code("\xE9tienne");
  EXPECT_EQ(std::string_view(code.data(), 4),
            "\xC9"
            "355");
  collation_tables() = saved;
  code = soundex_code("\xE9tienne");  // no longer a letter: skipped
  EXPECT_EQ(std::string_view(code.data(), 4), "T550");
}

}  // namespace
}  // namespace kes::numeric

// Wildcard matching: every small pattern against every small text beside a plain recursive walk
// (which reaches "*" and "?" inside, at the ends and alone, and the empty pattern and text);
// case; and patterns that would be exponential for that walk.
#include "numeric/matching/wildcard.h"

#include <chrono>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "numeric/locale/collation_tables.h"
#include "tests/support/host_speed.h"

namespace kes::numeric {
namespace {

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
  CollationTables& tables = collation_tables();
  const CollationTables saved = tables;
  tables.char_class[0xE9] = kClassLower;
  tables.char_class[0xC9] = kClassUpper;
  tables.case_partner[0xE9] = 0xC9;
  tables.case_partner[0xC9] = 0xE9;
  EXPECT_TRUE(wildcard_match("*\xC9", "caf\xE9", true));
  tables = saved;
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

}  // namespace
}  // namespace kes::numeric

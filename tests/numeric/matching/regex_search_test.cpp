// Compiling patterns (errors, failed allocations, limits) and searching with them: leftmost match,
// alternatives in order, greedy repetition, group spans, case, search offsets, patterns that defeat
// plain backtracking, and random patterns against PCRE2.
#include "numeric/matching/regex_search.h"

#include <chrono>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "numeric/locale/collation_tables.h"
#include "numeric/matching/regex_program.h"
#include "platform/core/heap.h"
#include "tests/numeric/matching/case_pair.h"
#include "tests/support/host_speed.h"

// The Windows build has no PCRE2 and leaves the comparison out.
#if __has_include(<pcre2.h>)
#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>
#define KES_TEST_WITH_PCRE2 1
#endif

namespace kes::numeric {
namespace {

struct ErrorCase {
  const char* name;
  std::string_view pattern;
  RegexError error;
};

constexpr ErrorCase kErrors[] = {
    {"LeadingStar", "*a", RegexError::NothingToRepeat},
    {"QuestionAfterBar", "a|?", RegexError::NothingToRepeat},
    {"DoubleQuantifier", "a**", RegexError::NothingToRepeat},
    {"LeadingBar", "|a", RegexError::MissingAtom},
    {"TrailingBar", "a|", RegexError::MissingAtom},
    {"EmptyGroup", "{}", RegexError::MissingAtom},
    {"CloseWithoutOpen", "a}", RegexError::UnmatchedClose},
    {"TrailingEscape", "ab\\", RegexError::TrailingEscape},
    {"RangeBackwards", "[z-a]", RegexError::BadRange},
    {"SetWithoutClose", "[abc", RegexError::UnclosedSet},
    {"SetOnlyNegation", "[^", RegexError::UnclosedSet},
    {"GroupWithoutClose", "{ab", RegexError::UnclosedGroup},
    {"NestedGroupWithoutClose", "{a{b}", RegexError::UnclosedGroup},
    {"TenthGroup", "{a}{b}{c}{d}{e}{f}{g}{h}{i}{j}", RegexError::TooManyGroups},
};

TEST(RegexCompile, RejectsBadPatterns) {
  for (const ErrorCase& c : kErrors) {
    SCOPED_TRACE(c.name);
    RegexProgram program;
    EXPECT_EQ(compile_regex(c.pattern, false, program), c.error);
    EXPECT_TRUE(program.empty());
  }
  RegexProgram program;  // nine groups are the most: one fewer than the last row
  EXPECT_EQ(compile_regex("{a}{b}{c}{d}{e}{f}{g}{h}{i}", false, program), RegexError::None);
  EXPECT_EQ(program.facts().group_count, 9);
}

TEST(RegexCompile, FailedAllocationIsAnError) {
  for (std::size_t nth = 1; nth <= 4; ++nth) {
    SCOPED_TRACE(nth);
    RegexProgram program;
    platform::heap_fail_nth(nth);
    const RegexError error = compile_regex("{ab}*[0-9]+c", false, program);
    platform::heap_fail_nth(0);
    if (error == RegexError::None) {
      EXPECT_FALSE(program.empty());
    } else {
      EXPECT_EQ(error, RegexError::OutOfMemory);
      EXPECT_TRUE(program.empty());
    }
  }
  RegexProgram program;
  platform::heap_fail_nth(1);
  EXPECT_EQ(compile_regex("a", false, program), RegexError::OutOfMemory);
  platform::heap_fail_nth(0);
}

TEST(RegexCompile, LongPatternsCompileQuicklyOrReportTooBig) {
  const std::string literal(100000, 'a');
  RegexProgram program;
  EXPECT_EQ(compile_regex(literal, false, program), RegexError::None);
  std::string groups;
  for (int i = 0; i < 20000; ++i)
    groups += "a*b?";
  EXPECT_EQ(compile_regex(groups, false, program), RegexError::TooBig);
  EXPECT_TRUE(program.empty());
  std::string alternatives = "x";  // many alternatives compile quickly
  for (int i = 0; i < 20000; ++i)
    alternatives += "|a";
  const auto begun = std::chrono::steady_clock::now();
  ASSERT_EQ(compile_regex(alternatives, false, program), RegexError::None);
  EXPECT_LT(std::chrono::steady_clock::now() - begun, test::time_limit(2));
  // A branch and a literal per alternative, then the end node.
  EXPECT_EQ(program.nodes().size(), 2u * 20001u + 1u);
}

// The match and group spans in the form "0:[s,e) 1:[s,e)", groups that did not match left out;
// "none" when nothing was found.
std::string spans(const RegexGroups& groups) {
  if (!groups[0].matched()) return "none";
  std::string out;
  for (std::size_t g = 0; g < groups.size(); ++g) {
    if (!groups[g].matched()) continue;
    if (!out.empty()) out += ' ';
    out += std::to_string(g) + ":[" + std::to_string(groups[g].start) + ',' +
           std::to_string(groups[g].end) + ')';
  }
  return out;
}

std::string find(std::string_view pattern, std::string_view text, std::size_t from = 0,
                 bool no_case = false) {
  RegexProgram program;
  if (compile_regex(pattern, no_case, program) != RegexError::None) return "does not compile";
  RegexGroups groups;
  const RegexOutcome outcome = search_regex(program, text, from, false, groups);
  if (outcome == RegexOutcome::OutOfMemory) return "out of memory";
  EXPECT_EQ(outcome == RegexOutcome::Found, groups[0].matched());
  return spans(groups);
}

struct SearchCase {
  const char* name;
  std::string_view pattern;
  std::string_view text;
  std::string_view expected;
};

// What the PCRE2 comparison below leaves out: empty loops, escapes, digit and high-byte ranges,
// zero bytes, the required-literal check, set syntax.
constexpr SearchCase kSearches[] = {
    {"DigitsInside", "[0-9]+", "x12y", "0:[1,3)"},
    {"EmptyIterationEndsLoop", "{a*}*b", "aab", "0:[0,3) 1:[0,2)"},
    {"EmptyLoopBeforeLiteral", "{a*}*b", "cb", "0:[1,2)"},
    {"EscapedMetacharacter", "a\\*", "aa*", "0:[1,3)"},
    {"EmptyPattern", "", "abc", "0:[0,0)"},
    {"RequiredLiteralMissing", "x*yz", "xxyxz", "none"},
    {"RequiredLiteralPresent", "x*yz", "xxyyz", "0:[3,5)"},
    {"LiteralAfterStarGuides", "[a-z]*c", "abcabd", "0:[0,3)"},
    {"ZeroByteInText", "b.c", std::string_view("ab\0c", 4), "0:[1,4)"},
    {"HighBytes", "[\xE0-\xEF]+", "a\xE9\xE8z", "0:[1,3)"},
    // Set members as written: "]" first, "-" at either end, "^" only first, ranges of one and
    // ranges in a row, metacharacters plain.
    {"SetBracketFirst", "[]a]+", "x]a]", "0:[1,4)"},
    {"SetDashFirst", "[-a]+", "x-a-", "0:[1,4)"},
    {"SetDashLast", "[a-]+", "b-a", "0:[1,3)"},
    {"SetNegatedBracketFirst", "[^]]+", "]]ab]", "0:[2,4)"},
    {"SetRangeOfOne", "[a-a]+", "baab", "0:[1,3)"},
    {"SetRangeAfterRange", "[a-c-e]+", "xdbef", "0:[1,4)"},
    {"SetMetacharactersPlain", "[.*{]+", "a{*.b", "0:[1,4)"},
    // Groups captured at a failed start do not survive: the last iteration is the empty one.
    {"GroupsOfFailedStartsForgotten", "{a?}+c", "ababc", "0:[4,5) 1:[4,4)"},
};

TEST(RegexSearch, FindsLeftmostMatchAndGroups) {
  for (const SearchCase& c : kSearches) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(find(c.pattern, c.text), c.expected);
  }
}

TEST(RegexSearch, StartsAtTheGivenOffset) {
  EXPECT_EQ(find("a", "aXa", 1), "0:[2,3)");
  EXPECT_EQ(find("a", "aXa", 3), "none");
  EXPECT_EQ(find("a*", "aXa", 3), "0:[3,3)");  // the end itself is a position
  EXPECT_EQ(find("a", "aXa", 4), "none");      // past the end
  EXPECT_EQ(find("^a", "aa", 1), "none");      // "^" is the text's start, not the offset
  EXPECT_EQ(find("^a", "aa", 0), "0:[0,1)");
}

TEST(RegexSearch, IgnoresCaseOfLiteralsThroughTheCaseTables) {
  EXPECT_EQ(find("ABC", "xabc", 0, true), "0:[1,4)");
  EXPECT_EQ(find("abc", "xABC", 0, true), "0:[1,4)");
  EXPECT_EQ(find("ABC", "xabc", 0, false), "none");
  EXPECT_EQ(find("[A]", "a", 0, true), "none");  // sets compare as written
  EXPECT_EQ(find("a+b", "xAAB", 0, true), "0:[1,4)");
  EXPECT_EQ(find("x*yz", "XYZ", 0, true), "0:[0,3)");  // the required literal too
  const CollationTables saved = with_e_acute_pair();
  EXPECT_EQ(find("\xC9t\xC9", "l'\xE9t\xE9", 0, true), "0:[2,5)");
  collation_tables() = saved;
  EXPECT_EQ(find("\xC9t\xC9", "l'\xE9t\xE9", 0, true), "none");
}

TEST(RegexSearch, FailedSearchClearsGroups) {
  RegexProgram program;
  RegexGroups groups;
  groups[3] = RegexSpan{1, 2};
  EXPECT_EQ(search_regex(program, "abc", 0, false, groups), RegexOutcome::NotFound);  // empty
  EXPECT_FALSE(groups[3].matched());
  ASSERT_EQ(compile_regex("{a}b", false, program), RegexError::None);
  ASSERT_EQ(search_regex(program, "ab", 0, false, groups), RegexOutcome::Found);
  EXPECT_TRUE(groups[1].matched());
  EXPECT_EQ(search_regex(program, "ac", 0, false, groups), RegexOutcome::NotFound);
  for (const RegexSpan& span : groups)
    EXPECT_FALSE(span.matched());
}

TEST(RegexSearch, ReportsExhaustedHeap) {
  RegexProgram program;
  ASSERT_EQ(compile_regex("{a|b}*[c]", false, program), RegexError::None);
  const std::string text(5000, 'a');
  RegexGroups groups;
  platform::heap_fail_nth(1);
  EXPECT_EQ(search_regex(program, text, 0, false, groups), RegexOutcome::OutOfMemory);
  platform::heap_fail_nth(0);
  EXPECT_FALSE(groups[0].matched());
  EXPECT_EQ(search_regex(program, text + "c", 0, false, groups), RegexOutcome::Found);
  EXPECT_EQ(groups[0].end, 5001u);
}

TEST(RegexSearch, DeepRepetitionDoesNotUseTheMachineStack) {
  RegexProgram program;
  ASSERT_EQ(compile_regex("{ab}*$", false, program), RegexError::None);
  std::string text;
  for (int i = 0; i < 200000; ++i)
    text += "ab";
  RegexGroups groups;
  ASSERT_EQ(search_regex(program, text, 0, false, groups), RegexOutcome::Found);
  EXPECT_EQ(groups[0].end, text.size());
  EXPECT_EQ(groups[1].start, text.size() - 2);
}

struct SlowCase {
  const char* name;
  std::string_view pattern;
  char fill;
  std::size_t length;
  std::size_t found_at;  // where the match starts once a "b" is appended
};

// Exponential for plain backtracking on a run that cannot complete a match; the final set keeps
// the required-literal check from cutting the search short.
constexpr SlowCase kSlow[] = {
    {"NestedStars", "{a*}*[b]", 'a', 3000, 0},
    {"NestedPlus", "{a+}+[b]", 'a', 3000, 0},
    {"OverlappingAlternatives", "{a|aa}*[b]", 'a', 3000, 0},
    {"SameAlternativeTwice", "{a|a}*[b]", 'a', 3000, 0},
    {"ThreeLevels", "{{a*}*}*[b]", 'a', 2000, 0},
    {"ManyStars", "a*a*a*a*a*a*[b]", 'a', 2000, 0},
    // At most 40 characters before the "b": the match starts 40 before it.
    {"OptionalRun", "a?a?a?a?a?a?a?a?a?a?a?a?a?a?a?a?a?a?a?a?aaaaaaaaaaaaaaaaaaaa[b]", 'a', 500,
     460},
};

TEST(RegexSearch, PathologicalPatternsStayPolynomial) {
  for (const SlowCase& c : kSlow) {
    SCOPED_TRACE(c.name);
    RegexProgram program;
    ASSERT_EQ(compile_regex(c.pattern, false, program), RegexError::None);
    const std::string text(c.length, c.fill);
    RegexGroups groups;
    const auto begun = std::chrono::steady_clock::now();
    EXPECT_EQ(search_regex(program, text, 0, false, groups), RegexOutcome::NotFound);
    const auto took = std::chrono::steady_clock::now() - begun;
    EXPECT_LT(took, test::time_limit(10));
    // One more character completes a match.
    EXPECT_EQ(search_regex(program, text + "b", 0, false, groups), RegexOutcome::Found);
    EXPECT_EQ(groups[0].start, c.found_at);
    EXPECT_EQ(groups[0].end, c.length + 1);
  }
}

// A long run of "a" then "cb": every start fails only at the "c". What one start learnt serves the
// next, so the search is one pass (these took minutes when each start scanned the run again).
struct LongRunCase {
  const char* name;
  std::string_view pattern;
  std::size_t length;  // of the run
  bool found;          // a match: the final "b" alone
};
constexpr LongRunCase kLongRuns[] = {
    {"StarThenLiteral", "a*b", 400000, true},
    {"StarThenSet", "a*[b]", 400000, true},
    {"NestedStars", "{a*a*a*a*a*}*b", 200000, true},
    {"PlusThenLiteral", "a+b", 400000, false},
    {"AlternativeThenAnyCharacters", "{a|c}.*[d]", 400000, false},
};

TEST(RegexSearch, StartPositionsShareWhatFailed) {
  for (const LongRunCase& c : kLongRuns) {
    SCOPED_TRACE(c.name);
    RegexProgram program;
    ASSERT_EQ(compile_regex(c.pattern, false, program), RegexError::None);
    const std::string text = std::string(c.length, 'a') + "cb";
    RegexGroups groups;
    const auto begun = std::chrono::steady_clock::now();
    const RegexOutcome outcome = search_regex(program, text, 0, false, groups);
    const auto took = std::chrono::steady_clock::now() - begun;
    EXPECT_LT(took, test::time_limit(2));
    ASSERT_EQ(outcome, c.found ? RegexOutcome::Found : RegexOutcome::NotFound);
    if (c.found) {
      EXPECT_EQ(groups[0].start, c.length + 1);
      EXPECT_EQ(groups[0].end, c.length + 2);
    }
  }
}

#ifdef KES_TEST_WITH_PCRE2
// A random pattern in both notations. Quantifiers only follow atoms that always take a
// character, so no loop can run empty (where engines legitimately differ).
class PatternMaker {
 public:
  explicit PatternMaker(std::uint32_t seed) : random_(seed) {}

  void make(std::string& ours, std::string& pcre) {
    ours.clear();
    pcre.clear();
    groups_ = 0;
    const bool start = pick(4) == 0;
    const bool end = pick(4) == 0;
    if (start) emit("^", "^");
    alternation(0);
    if (end) emit("$", "$");
    ours = ours_;
    pcre = pcre_;
    ours_.clear();
    pcre_.clear();
  }

 private:
  unsigned pick(unsigned n) { return std::uniform_int_distribution<unsigned>(0, n - 1)(random_); }
  void emit(std::string_view ours, std::string_view pcre) {
    ours_ += ours;
    pcre_ += pcre;
  }

  // Returns whether every match of what was emitted takes at least one character.
  bool alternation(int depth) {
    const unsigned count = depth < 2 ? 1 + pick(3) : 1;
    bool wide = true;
    for (unsigned i = 0; i < count; ++i) {
      if (i != 0) emit("|", "|");
      wide = sequence(depth) && wide;
    }
    return wide;
  }

  bool sequence(int depth) {
    const unsigned count = 1 + pick(3);
    bool wide = false;
    for (unsigned i = 0; i < count; ++i)
      wide = piece(depth) || wide;
    return wide;
  }

  bool piece(int depth) {
    const bool wide = atom(depth);
    if (!wide) return false;
    switch (pick(6)) {
      case 0: emit("*", "*"); return false;
      case 1: emit("+", "+"); return true;
      case 2: emit("?", "?"); return false;
      default: return true;
    }
  }

  bool atom(int depth) {
    static constexpr std::string_view kOurs[] = {"a", "b",    "c",    "ab",   "ba",
                                                 ".", "[ab]", "[^a]", "[~b]", "[a-b]"};
    static constexpr std::string_view kPcre[] = {"a", "b",    "c",    "ab",   "ba",
                                                 ".", "[ab]", "[^a]", "[^b]", "[a-b]"};
    if (depth < 3 && groups_ < 9 && pick(4) == 0) {
      ++groups_;
      emit("{", "(");
      const bool wide = alternation(depth + 1);
      emit("}", ")");
      return wide;
    }
    const unsigned which = pick(10);
    emit(kOurs[which], kPcre[which]);
    return true;
  }

  std::mt19937 random_;
  int groups_ = 0;
  std::string ours_;
  std::string pcre_;
};

std::string random_text(std::mt19937& random) {
  const unsigned length = std::uniform_int_distribution<unsigned>(0, 12)(random);
  std::string text;
  for (unsigned i = 0; i < length; ++i) {
    text += "abcd"[std::uniform_int_distribution<unsigned>(0, 3)(random)];
  }
  return text;
}

RegexGroups search_pcre(pcre2_code* code, pcre2_match_data* data, std::string_view text) {
  RegexGroups groups;
  const int rc = pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), 0, 0,
                             data, nullptr);
  if (rc < 0) return groups;
  const PCRE2_SIZE* vector = pcre2_get_ovector_pointer(data);
  for (int g = 0; g < rc && g < kRegexGroupCount; ++g) {
    if (vector[2 * g] != PCRE2_UNSET) {
      groups[static_cast<std::size_t>(g)] = RegexSpan{vector[2 * g], vector[2 * g + 1]};
    }
  }
  return groups;
}

TEST(RegexDifferential, AgreesWithPcre2) {
  PatternMaker maker(20261206);
  std::mt19937 texts(7);
  int compared = 0;
  int found = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string ours;
    std::string pcre;
    maker.make(ours, pcre);
    SCOPED_TRACE(ours);
    RegexProgram program;
    ASSERT_EQ(compile_regex(ours, false, program), RegexError::None);
    int error = 0;
    PCRE2_SIZE offset = 0;
    pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pcre.data()), pcre.size(),
                                     PCRE2_DOLLAR_ENDONLY, &error, &offset, nullptr);
    ASSERT_NE(code, nullptr) << pcre;
    pcre2_match_data* data = pcre2_match_data_create_from_pattern(code, nullptr);
    for (int t = 0; t < 20; ++t) {
      const std::string text = random_text(texts);
      SCOPED_TRACE(text);
      RegexGroups groups;
      ASSERT_NE(search_regex(program, text, 0, false, groups), RegexOutcome::OutOfMemory);
      const std::string ours_result = spans(groups);
      EXPECT_EQ(ours_result, spans(search_pcre(code, data, text)));
      ++compared;
      if (groups[0].matched()) ++found;
    }
    pcre2_match_data_free(data);
    pcre2_code_free(code);
  }
  // Both outcomes are well represented.
  EXPECT_GT(found, compared / 5);
  EXPECT_LT(found, compared * 4 / 5);
}
#endif

}  // namespace
}  // namespace kes::numeric

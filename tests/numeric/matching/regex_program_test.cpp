// Compiling patterns: compile errors, failed allocations and the limits.
#include "numeric/matching/regex_program.h"

#include <chrono>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "platform/core/heap.h"
#include "tests/support/host_speed.h"

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

TEST(RegexCompile, LongPatternsCompileOrReportTooBig) {
  const std::string literal(100000, 'a');
  RegexProgram program;
  EXPECT_EQ(compile_regex(literal, false, program), RegexError::None);
  std::string groups;
  for (int i = 0; i < 20000; ++i)
    groups += "a*b?";
  EXPECT_EQ(compile_regex(groups, false, program), RegexError::TooBig);
  EXPECT_TRUE(program.empty());
}

TEST(RegexCompile, ManyAlternativesCompileQuickly) {
  std::string alternatives = "x";
  for (int i = 0; i < 20000; ++i)
    alternatives += "|a";
  RegexProgram program;
  const auto begun = std::chrono::steady_clock::now();
  ASSERT_EQ(compile_regex(alternatives, false, program), RegexError::None);
  EXPECT_LT(std::chrono::steady_clock::now() - begun, test::time_limit(2));
  // A branch and a literal per alternative, then the end node.
  EXPECT_EQ(program.nodes().size(), 2u * 20001u + 1u);
}

}  // namespace
}  // namespace kes::numeric

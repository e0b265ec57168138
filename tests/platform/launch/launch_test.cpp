// Command-line splitting by the Windows rules.
#include "platform/launch/launch.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/core/heap.h"

namespace kes::platform {
namespace {

struct SplitCase {
  const char* name;
  std::string_view line;
  std::vector<std::string> arguments;
};

// Each row by hand from the rules: blanks separate; 2n backslashes + quote -> n backslashes and
// a delimiter; 2n+1 -> n backslashes and a literal quote; the program name takes no escapes.
const SplitCase kSplits[] = {
    {"Empty", "", {}},
    {"OnlyBlanks", " \t ", {}},
    {"ProgramAlone", "prog", {"prog"}},
    {"LeadingAndTrailingBlanks", "  prog  a  ", {"prog", "a"}},
    {"TabsSeparate", "prog\ta\tb", {"prog", "a", "b"}},
    {"QuotedProgramKeepsBlanks", "\"my prog\" x", {"my prog", "x"}},
    {"QuotedProgramKeepsBackslashes", "\"C:\\dir\\\" x", {"C:\\dir\\", "x"}},
    {"UnquotedProgramKeepsBackslashQuote", "a\\\"b c", {"a\\\"b", "c"}},
    {"QuotedArgumentKeepsBlanks", "p \"a b\" c", {"p", "a b", "c"}},
    {"EmptyQuotedArgument", "p \"\" c", {"p", "", "c"}},
    {"QuotesInsideWord", "p a\"b c\"d", {"p", "ab cd"}},
    {"BackslashesAlonePlain", "p a\\\\b", {"p", "a\\\\b"}},
    {"OneBackslashQuoteIsLiteralQuote", "p a\\\"b", {"p", "a\"b"}},
    {"TwoBackslashesQuoteOpensQuote", "p a\\\\\"b c\"", {"p", "a\\b c"}},
    {"ThreeBackslashesQuote", "p a\\\\\\\"b", {"p", "a\\\"b"}},
    {"TrailingBackslashesPlain", "p a\\\\", {"p", "a\\\\"}},
    {"DoubledQuoteInsideQuotes", "p \"a\"\"b\"", {"p", "a\"b"}},
    {"UnclosedQuoteRunsToEnd", "p \"a b", {"p", "a b"}},
    {"UnclosedQuotedProgram", "\"my prog", {"my prog"}},
    {"ZeroByteEndsTheLine", std::string_view("p a\0b c", 7), {"p", "a"}},
};

TEST(CommandArgumentsSplit, FollowsTheWindowsRules) {
  for (const SplitCase& c : kSplits) {
    SCOPED_TRACE(c.name);
    CommandArguments arguments;
    ASSERT_TRUE(arguments.split(c.line));
    ASSERT_EQ(arguments.count(), c.arguments.size());
    for (std::size_t i = 0; i < c.arguments.size(); ++i) {
      EXPECT_EQ(arguments.argument(i), c.arguments[i]) << i;
    }
    EXPECT_EQ(arguments.vector()[c.arguments.size()], nullptr);
  }
}

TEST(CommandArgumentsSplit, ReportsExhaustedHeap) {
  CommandArguments arguments;
  heap_fail_nth(1);
  EXPECT_FALSE(arguments.split("prog a"));
  EXPECT_EQ(arguments.count(), 0u);
  heap_fail_nth(2);
  EXPECT_FALSE(arguments.split("prog a"));
  EXPECT_EQ(arguments.count(), 0u);
  heap_fail_nth(0);
  EXPECT_TRUE(arguments.split("prog a"));
  EXPECT_EQ(arguments.count(), 2u);
}

}  // namespace
}  // namespace kes::platform

// The command tail: its tokens, the lookups of COMMAND, and the exports as compiled code calls
// them.
#include "services/command/command_line.h"

#include <string>
#include <vector>

#include <kestrel/command.h>

#include <gtest/gtest.h>

#include "platform/launch/module_path.h"
#include "runtime/stack/string_stack.h"
#include "tests/support/stack_helpers.h"

namespace kes::services {
namespace {

std::string tokens_of(std::string_view text) {
  CommandTokens tokens(text);
  std::string buffer(text.size() + 1, '#');
  std::string joined;
  bool first = true;
  while (const std::optional<std::size_t> n = tokens.next(buffer.data())) {
    if (!first) joined += '|';
    joined.append(buffer.data(), *n);
    first = false;
  }
  return first ? "(none)" : joined;
}

struct TextCase {
  const char* name;
  std::string_view text;
  std::string_view result;
};

TEST(CommandTokens, SplitAtBlanksCommasAndSlashes) {
  const TextCase cases[] = {
      {"Blanks", "  a  b ", "a|b"},
      {"Comma", "x,y", "x|y"},
      {"BlanksAroundComma", "x , y", "x|y"},
      {"TwoCommasGiveAnEmptyToken", "x,,y", "x||y"},
      {"TrailingComma", "a,", "a"},
      {"SlashStartsAToken", "a/b", "a|/b"},
      {"SlashAfterSlash", "/a/b", "/a|/b"},
      {"QuotedBlank", "\"a b\" c", "a b|c"},
      {"QuotesInsideAToken", "na\"me x\"y", "name xy"},
      {"DoubledQuote", "say\"\"hi", "say\"hi"},
      {"DoubledQuoteInsideQuotes", "\"a \"\"b\"\"\"", "a \"b\""},
      {"QuotedSlashAndComma", "\"c:/x,y\",z", "c:/x,y|z"},
      {"ControlCharactersAreBlanks",
       "a\tb\x01"
       "c",
       "a|b|c"},
      {"LoneQuote", "\"", ""},
      {"Empty", "", "(none)"},
      {"OnlyBlanks", " \t ", "(none)"},
  };
  for (const TextCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(tokens_of(c.text), c.result);
  }
}

TEST(CommandTail, SkipsTheProgramName) {
  const TextCase cases[] = {
      {"Plain", "prog.exe /DEBUG x", "/DEBUG x"},
      {"QuotedWithBlanks", "\"C:\\Program Files\\p.exe\"  a b", "a b"},
      {"QuoteInTheMiddle", "C:\\My\" \"Apps\\p.exe a", "a"},
      {"LeadingBlanks", "  p", ""},
      {"Empty", "", ""},
      {"UnterminatedQuote", "\"p a b", ""},
  };
  for (const TextCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(tail_of_command_line(c.text), c.result);
  }
}

TEST(CommandLookup, ByPositionAndByName) {
  constexpr std::string_view kTail = "/DEBUG name=John \"a b\" x,y";
  const TextCase cases[] = {
      {"EmptyFlagIsTheWholeTail", "", kTail},
      {"SlashFlagWithoutRegardToCase", "/debug", "DEBUG"},
      {"SlashFlagIsAPrefix", "/d", "DEBUG"},
      {"NamedValue", "NAME", "John"},
      {"NamedNeedsTheEqualsSign", "nam", ""},
      {"FirstCharacterCounts", "xame", ""},
      {"ThirdTokenUnquoted", "3", "a b"},
      {"AfterTheComma", "5", "y"},
      {"PastTheLast", "6", ""},
      {"LeadingBlanksAndDigits", " 2x", "name=John"},
      {"NegativePosition", "-1", ""},
      {"ZeroesAreAName", "00", ""},
      {"MissingSlashFlag", "/x", ""},
  };
  std::string scratch(kTail.size(), '#');
  for (const TextCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(command_lookup(kTail, c.text, scratch.data()), c.result);
  }
}

std::string command(std::string_view flag) {
  runtime::push_text(flag);
  Kes$COMMAND();
  return test::pop_top_text();
}

TEST(CommandExports, SetCommandThenLookUp) {
  const int depth = runtime::string_stack_depth();
  runtime::push_text("/DEBUG name=John \"a b\" x,y   ");
  Kes$SETCOMMAND();
  EXPECT_EQ(command(""), "/DEBUG name=John \"a b\" x,y");  // trailing blanks removed
  EXPECT_EQ(command("NAME   "), "John");
  EXPECT_EQ(command("3"), "a b");
  platform::set_module_path_for_testing("/opt/app/prog");
  EXPECT_EQ(command("0"), "/opt/app/prog");
  platform::set_module_path_for_testing("");
  // A 64 KiB tail: 7,000 tokens and a long last one.
  std::string tail;
  for (int n = 1; n <= 7000; ++n)
    tail += "tok" + std::to_string(n) + (n % 3 == 0 ? "," : " ");
  tail.resize(64 * 1024, 'z');
  runtime::push_text(tail);
  Kes$SETCOMMAND();
  EXPECT_EQ(command("").size(), 64U * 1024U);
  EXPECT_EQ(command("6999"), "tok6999");
  EXPECT_EQ(command("7001").size(), 64U * 1024U - tail.find("zzz"));
  EXPECT_EQ(command("tok7000"), "");
  EXPECT_EQ(runtime::string_stack_depth(), depth);
  reset_command_tail_for_testing();
}

TEST(CommandExports, TailComesFromTheProcessCommandLine) {
  reset_command_tail_for_testing();
  // Under the test runner this program is started with --gtest_filter=<its test>.
  const std::string tail = command("");
  if (tail.find("--gtest_filter=") == std::string::npos) GTEST_SKIP() << "started without a filter";
  EXPECT_EQ(command("--GTEST_FILTER"), testing::GTEST_FLAG(filter));
}

}  // namespace
}  // namespace kes::services

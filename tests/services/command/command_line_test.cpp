// The command tail: its tokens, the lookups of COMMAND, and the exports as compiled code calls
// them; the attribute filters of the two directory lists, the DOS packing of times, and the
// records of files.
#include "services/command/command_line.h"

#include <string>
#include <vector>

#include <kestrel/command.h>

#include <gtest/gtest.h>

#include "platform/launch/module_path.h"
#include "runtime/stack/string_stack.h"
#include "services/command/directory_list.h"
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

struct FilterCase {
  const char* name;
  std::uint32_t attributes;
  std::uint8_t requested;
  bool long_list;
  bool dos_list;
};

TEST(DirectoryFilters, TakeFilesByTheirHiddenSystemAndDirectoryBits) {
  const FilterCase cases[] = {
      {"OrdinaryFileNothingAsked", 0x20, 0x00, true, true},
      {"ReadOnlyFileNothingAsked", 0x01, 0x00, true, true},
      {"DirectoryNothingAsked", 0x10, 0x00, false, false},
      {"HiddenNothingAsked", 0x02, 0x00, false, false},
      {"SystemNothingAsked", 0x04, 0x00, false, false},
      {"DirectoryAsked", 0x10, 0x10, true, true},
      {"OrdinaryFileDirectoryAsked", 0x00, 0x10, true, true},
      {"HiddenDirectoryDirectoryAsked", 0x12, 0x10, true, false},
      {"HiddenDirectoryBothAsked", 0x12, 0x12, true, true},
      {"HiddenFileDirectoryAsked", 0x02, 0x10, false, false},
      {"HiddenSystemHiddenAsked", 0x06, 0x02, true, false},
      {"ArchiveAskedIsNothingForTheLongList", 0x10, 0x20, false, false},
      {"ArchiveAskedTakesOrdinaryFiles", 0x20, 0x20, true, true},
      {"EverythingAsked", 0x37, 0xFF, true, true},
  };
  for (const FilterCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(long_list_takes(c.attributes, c.requested), c.long_list);
    EXPECT_EQ(dos_list_takes(c.attributes, c.requested), c.dos_list);
  }
}

struct DosTimeCase {
  const char* name;
  platform::FileTime time;
  std::uint16_t date;
  std::uint16_t packed;
};

TEST(DosTimes, PackToTwoSecondsWithinTheirYears) {
  const DosTimeCase cases[] = {
      {"OddSecondGoesDown",
       {2024, 3, 5, 10, 15, 7},
       (44 << 9) | (3 << 5) | 5,
       (10 << 11) | (15 << 5) | 3},
      {"FirstDay", {1980, 1, 1, 0, 0, 2}, (1 << 5) | 1, 1},
      {"LastDay", {2107, 12, 31, 12, 0, 59}, (127 << 9) | (12 << 5) | 31, (12 << 11) | 29},
      {"BeforeHeldAtFirst", {1979, 12, 31, 23, 59, 59}, (1 << 5) | 1, 0},
      {"AfterHeldAtLast",
       {2150, 6, 1, 12, 0, 0},
       (127 << 9) | (12 << 5) | 31,
       (23 << 11) | (59 << 5) | 29},
  };
  for (const DosTimeCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(dos_date(c.time), c.date);
    EXPECT_EQ(dos_time(c.time), c.packed);
  }
}

TEST(DirectoryRecords, LongRecordsCutNamesAndMaskAttributes) {
  // 5 March 2024 is serial day 81517; 10:15:07 is time 3690701; midnight is 0, "no time".
  platform::FoundFile file{std::string(300, 'n'), "", {2024, 3, 5, 10, 15, 7}, 0x1'0000'0005, 0x90};
  KesLongDirectoryRecord record;
  fill_long_record(file, record);
  EXPECT_EQ(std::string(record.name, 256), std::string(256, 'n'));
  EXPECT_EQ(std::string(record.short_name, 13), std::string(13, 'n'));
  EXPECT_EQ(std::int32_t{record.date}, 81517);
  EXPECT_EQ(std::int32_t{record.time}, 3690701);
  EXPECT_EQ(std::int32_t{record.size}, 5);  // the low 32 bits
  EXPECT_EQ(std::uint8_t{record.attributes}, 0x10);
  file.short_name = "NNNNNN~1";
  file.written = {2024, 3, 5, 0, 0, 0};
  fill_long_record(file, record);
  EXPECT_EQ(std::string(record.short_name, 13), "NNNNNN~1     ");
  EXPECT_EQ(std::int32_t{record.time}, 0);
}

}  // namespace
}  // namespace kes::services

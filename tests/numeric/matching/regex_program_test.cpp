// Compiling patterns: the node program as a compact dump, compile errors and the search facts.
#include "numeric/matching/regex_program.h"

#include <chrono>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "platform/core/heap.h"

namespace kes::numeric {
namespace {

// One node per entry: its index, name, operand and the index of the node it links to.
std::string dump(const RegexProgram& program) {
  std::string out;
  const auto nodes = program.nodes();
  for (std::uint32_t i = 0; i < nodes.size(); ++i) {
    const RegexNode& node = nodes[i];
    if (!out.empty()) out += ' ';
    out += std::to_string(i) + ':';
    const std::uint8_t op = node.op;
    switch (op) {
      case kOpEnd: out += "END"; break;
      case kOpBol: out += "BOL"; break;
      case kOpEol: out += "EOL"; break;
      case kOpAny: out += "ANY"; break;
      case kOpAnyOf:
      case kOpAnyBut:
        out += op == kOpAnyOf ? "ANYOF[" : "ANYBUT[";
        out.append(reinterpret_cast<const char*>(program.pool().data()) + node.operand + 32,
                   node.length);
        out += ']';
        break;
      case kOpBranch: out += "BRANCH"; break;
      case kOpBack: out += "BACK"; break;
      case kOpExactly:
        out += '"';
        out.append(reinterpret_cast<const char*>(program.pool().data()) + node.operand,
                   node.length);
        out += '"';
        break;
      case kOpNothing: out += "NOTHING"; break;
      case kOpStar: out += "STAR"; break;
      case kOpPlus: out += "PLUS"; break;
      default: out += (op < kOpClose ? "OPEN" : "CLOSE") + std::to_string(op % 10); break;
    }
    const std::int64_t next = program.next_of(i);
    if (next >= 0) out += "->" + std::to_string(next);
  }
  return out;
}

struct DumpCase {
  const char* name;
  std::string_view pattern;
  std::string_view program;
};

// Worked out by hand from the grammar: every alternative list starts with branch nodes, loops
// over complex atoms are branches with a back link, single characters take star and plus.
constexpr DumpCase kDumps[] = {
    {"Literal", "abc", R"(0:BRANCH->2 1:"abc"->2 2:END)"},
    {"Empty", "", "0:BRANCH->2 1:NOTHING->2 2:END"},
    {"StarSplitsLastCharacter", "abc*", R"(0:BRANCH->4 1:"ab"->2 2:STAR->4 3:"c" 4:END)"},
    {"PlusOnSet", "[0-9]+", "0:BRANCH->3 1:PLUS->3 2:ANYOF[0-9] 3:END"},
    {"NegatedSetTilde", "[~a]", "0:BRANCH->2 1:ANYBUT[a]->2 2:END"},
    {"Anchors", "^a$", R"(0:BRANCH->4 1:BOL->2 2:"a"->3 3:EOL->4 4:END)"},
    {"DotStar", ".*", "0:BRANCH->3 1:STAR->3 2:ANY 3:END"},
    {"Escape", "a\\.", R"(0:BRANCH->3 1:"a"->2 2:"."->3 3:END)"},
    {"Alternatives", "a|b", R"(0:BRANCH->2 1:"a"->4 2:BRANCH->4 3:"b"->4 4:END)"},
    {"Group", "{ab}", R"(0:BRANCH->5 1:OPEN1->2 2:BRANCH->4 3:"ab"->4 4:CLOSE1->5 5:END)"},
    {"GroupPlus", "{ab}+c",
     "0:BRANCH->10 1:OPEN1->2 2:BRANCH->4 3:\"ab\"->4 4:CLOSE1->5 5:BRANCH->7 6:BACK->1 "
     "7:BRANCH->8 8:NOTHING->9 9:\"c\"->10 10:END"},
    {"GroupStar", "{a}*",
     "0:BRANCH->9 1:BRANCH->7 2:OPEN1->3 3:BRANCH->5 4:\"a\"->5 5:CLOSE1->6 6:BACK->1 "
     "7:BRANCH->8 8:NOTHING->9 9:END"},
    {"Optional", "ab?",
     R"(0:BRANCH->6 1:"a"->2 2:BRANCH->4 3:"b"->5 4:BRANCH->5 5:NOTHING->6 6:END)"},
};

TEST(RegexCompile, BuildsTheNodeProgram) {
  for (const DumpCase& c : kDumps) {
    SCOPED_TRACE(c.name);
    RegexProgram program;
    ASSERT_EQ(compile_regex(c.pattern, false, program), RegexError::None);
    EXPECT_EQ(dump(program), c.program);
  }
}

struct ErrorCase {
  const char* name;
  std::string_view pattern;
  RegexError error;
};

constexpr ErrorCase kErrors[] = {
    {"LeadingStar", "*a", RegexError::NothingToRepeat},
    {"LeadingPlus", "+", RegexError::NothingToRepeat},
    {"QuestionAfterBar", "a|?", RegexError::NothingToRepeat},
    {"DoubleQuantifier", "a**", RegexError::NothingToRepeat},
    {"LeadingBar", "|a", RegexError::MissingAtom},
    {"TrailingBar", "a|", RegexError::MissingAtom},
    {"DoubleBar", "a||b", RegexError::MissingAtom},
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

struct SetCase {
  const char* name;
  std::string_view pattern;
  std::string_view members;  // every member, in code order
};

constexpr SetCase kSets[] = {
    {"Range", "[a-d]", "abcd"},
    {"BracketFirstIsMember", "[]a]", "]a"},
    {"DashFirstIsMember", "[-a]", "-a"},
    {"DashLastIsMember", "[a-]", "-a"},
    {"NegatedBracketFirst", "[^]]", "]"},
    {"RangeOfOne", "[a-a]", "a"},
    {"RangeAfterRange", "[a-c-e]", "abcde"},
    {"MetacharactersPlain", "[.*{]", "*.{"},
};

TEST(RegexCompile, ReadsSetMembers) {
  for (const SetCase& c : kSets) {
    SCOPED_TRACE(c.name);
    RegexProgram program;
    ASSERT_EQ(compile_regex(c.pattern, false, program), RegexError::None);
    const RegexNode& node = program.nodes()[1];
    std::string members;
    for (unsigned code = 0; code < 256; ++code) {
      if (set_has(program.pool().data() + node.operand, static_cast<std::uint8_t>(code))) {
        members += static_cast<char>(code);
      }
    }
    EXPECT_EQ(members, c.members);
  }
}

struct FactCase {
  const char* name;
  std::string_view pattern;
  bool anchored;
  int first_char;
  std::string_view must;
};

constexpr FactCase kFacts[] = {
    {"LiteralStartsAndMust", "abc", false, 'a', "abc"},
    {"Anchored", "^ab", true, -1, "ab"},
    {"LongestLiteralWins", "a.bcd.ef", false, 'a', "bcd"},
    {"TieGoesToLater", "ab.cd", false, 'a', "cd"},
    {"StarredLiteralIsNotRequired", "x*yz", false, -1, "yz"},
    {"AlternativesHaveNoFacts", "abc|abd", false, -1, ""},
    {"GroupContentsAreNotLookedInto", "{abc}d", false, -1, "d"},
};

TEST(RegexCompile, RecordsSearchFacts) {
  for (const FactCase& c : kFacts) {
    SCOPED_TRACE(c.name);
    RegexProgram program;
    ASSERT_EQ(compile_regex(c.pattern, false, program), RegexError::None);
    const RegexFacts& facts = program.facts();
    EXPECT_EQ(facts.anchored, c.anchored);
    EXPECT_EQ(facts.first_char, c.first_char);
    EXPECT_EQ(
        std::string_view(reinterpret_cast<const char*>(program.pool().data()) + facts.must_offset,
                         facts.must_length),
        c.must);
  }
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
  EXPECT_LT(std::chrono::steady_clock::now() - begun, std::chrono::seconds(2));
  // A branch and a literal per alternative, then the end node.
  EXPECT_EQ(program.nodes().size(), 2u * 20001u + 1u);
}

}  // namespace
}  // namespace kes::numeric

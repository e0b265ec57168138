// The parser: texts to tree dumps, failures with their error numbers, and the limits that keep
// hostile texts from exhausting the machine or the string stack.
#include "data/evaluate/expression_parser.h"

#include <string>

#include <gtest/gtest.h>

#include "tests/data/evaluate/evaluate_fixture.h"

namespace kes::test {
namespace {

using files::ErrorCode;

class ExpressionParserTest : public EvaluateTest {
 protected:
  void SetUp() override {
    EvaluateTest::SetUp();
    s_.type = 18;
    arr_.type = 24;
    arr_.elements.resize(3);
    bind("a", a_);
    bind("b", b_);
    bind("c", c_);
    bind("s", s_);
    bind("arr", arr_);
    bind("Pre:Name$", c_);
  }
  static std::string dump(std::string_view text) {
    const data::ParseResult result = data::parse_expression(data::bind_scopes(), text, true);
    if (result.tree == nullptr) return "error " + std::to_string(static_cast<int>(result.error));
    std::string out;
    result.tree->write_dump(out);
    return out;
  }
  Cell a_, b_, c_, s_, arr_;
};

struct DumpCase {
  const char* name;
  const char* text;
  const char* dump;
};

constexpr DumpCase kDumps[] = {
    {"ProductBeforeSum", "1+2*3", "add(num 1,mul(num 2,num 3))"},
    {"SignBeforePower", "-2^2", "pow(neg(num 2),num 2)"},
    {"PowerLeftAssociative", "2^3^2", "pow(pow(num 2,num 3),num 2)"},
    {"SumLeftAssociative", "a-b-c", "sub(sub(var a,var b),var c)"},
    {"ModuloIsATerm", "a%b*c", "mul(mod(var a,var b),var c)"},
    {"ConcatBelowSum", "a&b+c", "cat(var a,add(var b,var c))"},
    {"ComparisonBelowConcat", "a&b=c", "eq(cat(var a,var b),var c)"},
    {"AndBeforeOr", "a OR b AND c", "or(var a,and(var b,var c))"},
    {"XorWithOr", "a xor b or c", "or(xor(var a,var b),var c)"},
    {"NotAboveComparison", "NOT a = 1", "not(eq(var a,num 1))"},
    {"TildeIsNot", "~a", "not(var a)"},
    {"EvenNotsCancel", "NOT ~a", "var a"},
    {"EvenMinusesCancel", "--3", "num 3"},
    {"OddMinuses", "- + -  -3", "neg(num 3)"},
    {"NotEqualPair", "a <> b", "ne(var a,var b)"},
    {"TildeEqual", "a ~= b", "ne(var a,var b)"},
    {"NotKeywordEqual", "a NOT = b", "ne(var a,var b)"},
    {"EqualLess", "a =< b", "le(var a,var b)"},
    {"EqualGreater", "a => b", "ge(var a,var b)"},
    {"TildeLess", "a ~< b", "ge(var a,var b)"},
    {"TildeGreater", "a ~> b", "le(var a,var b)"},
    {"LessEqual", "a<=b", "le(var a,var b)"},
    {"GreaterEqual", "a>=b", "ge(var a,var b)"},
    {"QuoteDoubled", "'it''s'", "str 'it''s'"},
    {"EmptyText", "''", "str ''"},
    {"PointFraction", ".5", "real 0.5"},
    {"Exponent", "1.5e2", "real 150.0"},
    {"NegativeExponent", "25.0E-1", "real 2.5"},
    {"WholeBeyond32BitsIsReal", "3000000000", "real 3.0e09"},
    {"LargestWhole", "2147483647", "num 2147483647"},
    {"PictureUpperCased", "@n10.2", "pic @N10.2"},
    {"ShortestPicture", "FORMAT(1,@n)", "call FORMAT(num 1,pic @N)"},
    {"PictureEndsAtComma", "FORMAT(a,@d6,b)", "error 800"},
    {"PictureWithBlankSuffix", "FORMAT(a,@n10B)", "call FORMAT(var a,pic @N10B)"},
    {"PatternPictureRunsToItsLetter", "FORMAT(a,@p(###) ###p)",
     "call FORMAT(var a,pic @P(###) ###p)"},
    {"TildeTextNotExamined", "FORMAT(a,@s5~ ,)~)", "call FORMAT(var a,pic @s5~ ,)~)"},
    {"BuiltinAnyCase", "sub('abc',1)", "call sub(str 'abc',num 1)"},
    {"NoArguments", "TODAY()", "call TODAY()"},
    {"SqlTextKeptRaw", "SQL(x = ')' AND (y))", "sql(x = ')' AND (y))"},
    {"Slice", "s[2:4]", "slice(var s,num 2,num 4)"},
    {"Subscript", "arr[2]", "index(var arr,num 2)"},
    {"SubscriptThenSlice", "arr[2,3:5]", "slice(index(var arr,num 2),num 3,num 5)"},
    {"CharacterOfAPlainVariable", "s[1]", "index(var s,num 1)"},
    {"NameWithColonAndSuffix", "pre:name$+1", "add(var pre:name$,num 1)"},
};

TEST_F(ExpressionParserTest, BuildsTreesByPrecedence) {
  for (const DumpCase& c : kDumps) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(dump(c.text), c.dump);
  }
}

struct FailureCase {
  const char* name;
  std::string text;
  ErrorCode error;
};

TEST_F(ExpressionParserTest, RefusesBadTexts) {
  const FailureCase cases[] = {
      {"Empty", "", ErrorCode::InvalidExpression},
      {"MissingOperand", "1 +", ErrorCode::InvalidExpression},
      {"UnclosedParenthesis", "(1", ErrorCode::InvalidExpression},
      {"TrailingParenthesis", "1)", ErrorCode::InvalidExpression},
      {"UnterminatedText", "'abc", ErrorCode::InvalidExpression},
      {"UnknownCharacter", "1 # 2", ErrorCode::InvalidExpression},
      {"PointWithoutDigit", "1.", ErrorCode::InvalidExpression},
      {"FunctionWithoutParentheses", "LEN 1", ErrorCode::InvalidExpression},
      {"TooManyArguments", "LEN('a','b')", ErrorCode::InvalidExpression},
      {"UnclosedSubscript", "arr[1", ErrorCode::InvalidExpression},
      {"SubscriptPastCharacter", "s[1,2]", ErrorCode::InvalidExpression},
      {"UnclosedSql", "SQL(abc", ErrorCode::InvalidExpression},
      {"KeywordAsOperand", "AND", ErrorCode::InvalidExpression},
      {"DanglingTilde", "1 ~ 2", ErrorCode::InvalidExpression},
      {"BarePicture", "@", ErrorCode::InvalidExpression},
      {"UnclosedPatternPicture", "@P###", ErrorCode::InvalidExpression},
      {"WholeWithExponentLeavesAName", "12e3", ErrorCode::NoBind},
      {"TrailingOperand", "1 2", ErrorCode::InvalidExpression},
      {"UnboundName", "a + missing", ErrorCode::NoBind},
      {"NameLongerThanAnyBinding", std::string(5000, 'n'), ErrorCode::NoBind},
      {"TextTooLong", "'" + std::string(data::kMaxLiteralLength + 1, 'x') + "'",
       ErrorCode::InvalidExpression},
      {"NumberTooLong", std::string(65, '1'), ErrorCode::InvalidExpression},
      {"RealOverflows", "1.0e400", ErrorCode::InvalidExpression},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.name);
    const data::ParseResult result = data::parse_expression(data::bind_scopes(), c.text, true);
    EXPECT_EQ(result.tree, nullptr);
    EXPECT_EQ(result.error, c.error);
  }
}

TEST_F(ExpressionParserTest, ReportsTheUnboundName) {
  const data::ParseResult result = data::parse_expression(data::bind_scopes(), "a+Total", true);
  EXPECT_EQ(result.unbound_name, "Total");
}

std::string repeat(std::string_view part, int count) {
  std::string text;
  for (int index = 0; index < count; ++index)
    text += part;
  return text;
}

struct LimitCase {
  const char* name;
  std::string text;
  bool parses;
};

TEST_F(ExpressionParserTest, LimitsNestingHeightAndStackNeed) {
  const LimitCase cases[] = {
      {"HundredThousandBrackets", repeat("(", 100000) + "1" + repeat(")", 100000), false},
      {"NestingAtTheLimit", repeat("(", data::kMaxNesting) + "1" + repeat(")", data::kMaxNesting),
       true},
      {"NestingOneOver",
       repeat("(", data::kMaxNesting + 1) + "1" + repeat(")", data::kMaxNesting + 1), false},
      {"LongChainTooHigh", "1" + repeat("+1", data::kMaxTreeHeight), false},
      {"LongChainAtTheLimit", "1" + repeat("+1", data::kMaxTreeHeight - 1), true},
      {"ConcatenationsFillingTheStack", repeat("'a'&(", 31) + "'a'" + repeat(")", 31), true},
      {"ConcatenationsBeyondTheStack", repeat("'a'&(", 32) + "'a'" + repeat(")", 32), false},
      {"ArithmeticNeedsNoStack", repeat("1+(", 100) + "1" + repeat(")", 100), true},
      {"SqlTextAtTheLimit", "SQL(" + std::string(data::kMaxLiteralLength, 'x') + ")", true},
      {"SqlTextOneOver", "SQL(" + std::string(data::kMaxLiteralLength + 1, 'x') + ")", false},
  };
  for (const LimitCase& c : cases) {
    SCOPED_TRACE(c.name);
    const data::ParseResult result = data::parse_expression(data::bind_scopes(), c.text, true);
    EXPECT_EQ(result.tree != nullptr, c.parses);
    if (!c.parses) {
      EXPECT_EQ(result.error, ErrorCode::InvalidExpression);
    }
  }
}

struct LeadingCase {
  const char* name;
  const char* text;
  std::size_t consumed;
};

constexpr LeadingCase kLeading[] = {
    {"StopsAtComma", "a+1, b", 3}, {"StopsAtColon", "a : b", 2},
    {"StopsAtAName", "a b", 2},    {"StopsBeforeExponentName", "12e3", 2},
    {"WholeText", "a = 1", 5},
};

TEST_F(ExpressionParserTest, TakesTheLongestLeadingExpression) {
  for (const LeadingCase& c : kLeading) {
    SCOPED_TRACE(c.name);
    const data::ParseResult result = data::parse_expression(data::bind_scopes(), c.text, false);
    ASSERT_NE(result.tree, nullptr);
    EXPECT_EQ(result.consumed, c.consumed);
  }
}

}  // namespace
}  // namespace kes::test

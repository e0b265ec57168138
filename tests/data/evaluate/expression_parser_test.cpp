// The parser: texts to tree dumps, failures with their error numbers, and the limits that keep
// hostile texts from exhausting the machine or the string stack; and SQL printing of conditions
// and ordering terms through a driver's callback.
#include "data/evaluate/expression_parser.h"

#include <cstring>
#include <map>
#include <string>

#include <kestrel/evaluate.h>

#include <gtest/gtest.h>

#include "data/evaluate/sql_printer.h"
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

// The driver: columns known by their storage's address; dates and times in its own syntax.
struct Driver {
  std::map<const void*, std::string> columns;
};

std::int32_t write(const std::string& text, char* out, std::uint32_t capacity) {
  if (text.size() > capacity) return -1;
  std::memcpy(out, text.data(), text.size());
  return static_cast<std::int32_t>(text.size());
}
std::int32_t column_name(void* context, const void* address, std::uint8_t, char* out,
                         std::uint32_t capacity) {
  const auto& columns = static_cast<Driver*>(context)->columns;
  const auto found = columns.find(address);
  return found == columns.end() ? -1 : write(found->second, out, capacity);
}
std::int32_t format_date(void*, std::int32_t serial, char* out, std::uint32_t capacity) {
  return write("DATE(" + std::to_string(serial) + ")", out, capacity);
}
std::int32_t format_time(void*, std::int32_t time, char* out, std::uint32_t capacity) {
  return write("TIME(" + std::to_string(time) + ")", out, capacity);
}
std::int32_t format_string(void*, const char* text, std::uint32_t length, char* out,
                           std::uint32_t capacity) {
  return write("N'" + std::string(text, length) + "'", out, capacity);
}

class SqlPrinterTest : public EvaluateTest {
 protected:
  void SetUp() override {
    EvaluateTest::SetUp();
    hired_.type = 4;
    start_.type = 5;
    for (auto [name, cell] :
         {std::pair{"Name", &name_}, {"Qty", &qty_}, {"Hired", &hired_}, {"Start", &start_}}) {
      bind(name, *cell);
      driver_.columns[cell] = name == std::string("Name") ? "NAME" : name;
    }
    bind("Since", since_);
    bind("Limit", limit_);
  }
  std::string print(const char* text, bool order = false) {
    const data::ParseResult parsed = data::parse_expression(data::bind_scopes(), text, true);
    EXPECT_NE(parsed.tree, nullptr) << text;
    if (parsed.tree == nullptr) return "(no tree)";
    const char* sql = data::print_sql(*parsed.tree, callback_, order);
    return sql == nullptr ? "(null)" : sql;
  }
  Cell name_{.type = 18, .text = "Smith"};
  Cell qty_{.whole = 4};
  Cell hired_, start_;
  Cell since_{.whole = 80000};
  Cell limit_{.type = 18, .text = "O'Neil   "};
  Driver driver_;
  KesSqlCallback callback_{&driver_, column_name, format_date, format_time, nullptr};
};

struct SqlCase {
  const char* name;
  const char* text;
  const char* sql;
};

constexpr SqlCase kConditions[] = {
    {"SubPrefixIsLike", "SUB(Name,1,3) = 'ABC'", "NAME LIKE 'ABC%'"},
    {"LikeDoublesQuotes", "SUB(Name,1,2) = 'O'''", "NAME LIKE 'O''%'"},
    {"SubLengthMustMatch", "SUB(Name,1,2) = 'ABC'", "(null)"},
    {"WildcardInPrefixAbandons", "SUB(Name,1,3) = 'A%C'", "(null)"},
    {"InstringIsContains", "INSTRING('mit', Name, 1, 1) <> 0", "NAME LIKE '%mit%'"},
    {"BareInstringIsContains", "INSTRING('mit', Name, 1)", "NAME LIKE '%mit%'"},
    {"NullEqualZero", "NULL(Name) = 0", "NAME IS NOT NULL"},
    {"NullNotEqualZero", "NULL(Name) <> 0", "NAME IS NULL"},
    {"NullEqualOne", "NULL(Name) = 1", "NAME IS NULL"},
    {"XorAbandons", "Qty = 1 XOR Qty = 2", "(null)"},
    {"PowerAbandons", "Qty ^ 2 > 1", "(null)"},
    {"ConcatenationAbandons", "Name & 'x' = 'y'", "(null)"},
    {"SliceAbandons", "Name[1:2] = 'ab'", "(null)"},
    {"DateColumnThroughTheDriver", "Hired > Since", "Hired > DATE(80000)"},
    {"TimeColumnThroughTheDriver", "Start = 100 + 1", "Start = TIME(101)"},
    {"StringOperandQuotedAndClipped", "Name = Limit", "NAME = 'O''Neil'"},
    {"ColumnAgainstColumn", "Qty = Qty", "Qty = Qty"},
    {"OperatorsInParentheses", "Qty * 2 >= 10 AND NOT Qty = 3",
     "((Qty * 2) >= 10) AND (NOT (Qty = 3))"},
    {"ProgramVariableAsConstant", "Qty < Since / 2", "Qty < (80000 / 2)"},
    {"NumberBecomesCondition", "Qty", "Qty <> 0"},
    {"TextBecomesCondition", "Name OR Qty = 1", "(NAME <> '') OR (Qty = 1)"},
    {"SqlTextAsItStands", "SQL(x IN (1,2)) AND Qty = 1", "(x IN (1,2)) AND (Qty = 1)"},
    {"UpperKept", "UPPER(Name) = 'A'", "UPPER(NAME) = 'A'"},
    {"OtherBuiltinsAbandon", "LEN(Name) = 3", "(null)"},
    {"PictureAbandons", "Qty = @n3 ", "(null)"},
};

TEST_F(SqlPrinterTest, PrintsConditions) {
  for (const SqlCase& c : kConditions) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(print(c.text), c.sql);
  }
}

TEST_F(SqlPrinterTest, PrintsOrderingTermsAlsoThroughTheExports) {
  EXPECT_EQ(print("-Name", true), "NAME DESC");
  EXPECT_EQ(print("Qty", true), "Qty");
  EXPECT_EQ(print("Name & Qty", true), "(null)");
  KesExpression* tree = Kes$ParseCString("-Qty");
  EXPECT_STREQ(Kes$PrintSQL(tree, &callback_), "(-Qty) <> 0");
  EXPECT_STREQ(Kes$PrintSQLOrder(tree, &callback_), "Qty DESC");
  EXPECT_EQ(Kes$PrintSQL(nullptr, &callback_), nullptr);
  Kes$FreeParsed(tree);
}

TEST_F(SqlPrinterTest, AbandonsWhatDoesNotFit) {
  Cell long_text{.type = 18, .text = std::string(40000, 'x')};
  bind("Huge", long_text);
  EXPECT_EQ(print("Name = Huge"), "(null)");
  callback_.format_date = nullptr;  // a driver without dates cannot take date comparisons
  EXPECT_EQ(print("Hired > 1"), "(null)");
  // The driver's own texts: "NAME = N'...'" and the terminator fill the buffer exactly.
  callback_.format_string = format_string;
  for (const std::size_t length : {data::kSqlBufferCapacity - 11, data::kSqlBufferCapacity - 10}) {
    long_text.text.assign(length, 'x');
    const bool fits = length == data::kSqlBufferCapacity - 11;
    EXPECT_EQ(print("Name = Huge"), fits ? "NAME = N'" + long_text.text + "'" : "(null)");
  }
  // A comparison whose value has no room on the string stack is not printed.
  for (int index = 0; index < runtime::kStringStackCapacity; ++index)
    runtime::push_reference("x");
  EXPECT_EQ(print("Name = Limit"), "(null)");
  drain_string_stack();
}

}  // namespace
}  // namespace kes::test

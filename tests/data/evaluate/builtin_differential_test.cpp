// Each built-in evaluated through EVALUATE gives what compiled code gets from the run-time
// operation it calls; and parsing, printing back and parsing again gives the same tree.
#include <random>
#include <string>
#include <vector>

#include <kestrel/dates.h>
#include <kestrel/evaluate.h>
#include <kestrel/matching.h>
#include <kestrel/maths.h>
#include <kestrel/string_builtins.h>
#include <kestrel/string_stack.h>

#include <gtest/gtest.h>

#include "data/evaluate/expression_parser.h"
#include "tests/data/evaluate/evaluate_fixture.h"

namespace kes::test {
namespace {

struct DifferentialCase {
  const char* name;
  const char* text;
  std::vector<const char*> pushes;  // the operands, in the order compiled code pushes them
  void (*direct)();                 // leaves compiled code's result on the string stack
};

// One row per built-in, with arguments that tell their order apart; what each operation does
// with them is tested beside the operation itself.
const DifferentialCase kCases[] = {
    {"SubMiddle", "SUB('ABCDE',2,3)", {"ABCDE"}, [] { Kes$StackSUB(2, 3); }},
    {"InstringSlots",
     "INSTRING('CD','ABCDEF',2,1)",
     {"ABCDEF", "CD"},
     [] { Kes$PushLong(Kes$StackINSTRING(2, 1)); }},
    {"CenterPads", "CENTER('AB',5)", {"AB"}, [] { Kes$StackCENTER(5); }},
    {"RightCuts", "RIGHT('ABCDE',3)", {"ABCDE"}, [] { Kes$StackRIGHT(3); }},
    {"LeftOwnWidth", "LEFT('  AB')", {"  AB"}, [] { Kes$StackLEFT(-1); }},
    {"AllRepeats", "ALL('AB',5)", {"AB"}, [] { Kes$StackALL(5); }},
    {"UpperCase", "UPPER('abc')", {"abc"}, [] { Kes$StackUPPER(); }},
    {"LowerCase", "LOWER('ABC')", {"ABC"}, [] { Kes$StackLOWER(); }},
    {"ClipTrailing", "CLIP('ab  ')", {"ab  "}, [] { Kes$StackCLIP(); }},
    {"LenCountsBlanks", "LEN('abc  ')", {"abc  "}, [] { Kes$PushLong(Kes$StackLen()); }},
    {"ValOfEmpty", "VAL('')", {""}, [] { Kes$PushLong(Kes$StackVAL()); }},
    {"NumericExponent", "NUMERIC('1e3')", {"1e3"}, [] { Kes$PushLong(Kes$StackNUMERIC()); }},
    {"InlistPadded",
     "INLIST('B','A','B  ')",
     {"B  ", "A", "B"},
     [] { Kes$PushLong(Kes$StackINLIST(2)); }},
    {"FormatNumber", "FORMAT(1234.5,@n10.2)", {"@N10.2", "1234.5"}, [] { Kes$StackFORMAT2(); }},
    {"DeformatNumber",
     "DEFORMAT('1,234.50',@n10.2)",
     {"@N10.2", "1,234.50"},
     [] { Kes$StackDEFORMAT2(); }},
    {"MatchWildcard", "MATCH('abc','a*',1)", {"a*", "abc"}, [] { Kes$PushLong(Kes$MATCH(1)); }},
    {"DateLeapDay", "DATE(2,29,2000)", {}, [] { Kes$PushLong(Kes$DATE(2, 29, 2000)); }},
    {"YearOfSerial", "YEAR(73000)", {}, [] { Kes$PushLong(Kes$YEAR(73000)); }},
    {"MonthOfSerial", "MONTH(73000)", {}, [] { Kes$PushLong(Kes$MONTH(73000)); }},
    {"DayOfSerial", "DAY(73000)", {}, [] { Kes$PushLong(Kes$DAY(73000)); }},
    {"AgeInYears", "AGE(36524,73000)", {}, [] { Kes$StackAGE(36524, 73000); }},
    {"RoundToTenths", "ROUND(2.449,0.1)", {}, [] { Kes$PushReal(Kes$ROUND(2.449, 0.1)); }},
    {"SquareRoot", "SQRT(2)", {}, [] { Kes$PushReal(Kes$SQRT(2)); }},
    {"Sine", "SIN(1)", {}, [] { Kes$PushReal(Kes$SIN(1)); }},
    {"Cosine", "COS(1)", {}, [] { Kes$PushReal(Kes$COS(1)); }},
    {"Tangent", "TAN(1)", {}, [] { Kes$PushReal(Kes$TAN(1)); }},
    {"ArcSine", "ASIN(0.5)", {}, [] { Kes$PushReal(Kes$ASIN(0.5)); }},
    {"ArcCosine", "ACOS(0.5)", {}, [] { Kes$PushReal(Kes$ACOS(0.5)); }},
    {"ArcTangent", "ATAN(1)", {}, [] { Kes$PushReal(Kes$ATAN(1)); }},
    {"Log10", "LOG10(1000)", {}, [] { Kes$PushReal(Kes$LOG10(1000)); }},
    {"NaturalLog", "LOGE(10)", {}, [] { Kes$PushReal(Kes$LOGE(10)); }},
    {"IntTruncates", "INT(2.7)", {}, [] { Kes$PushReal(Kes$INT(2.7)); }},
    {"ShiftLeft", "BSHIFT(1,4)", {}, [] { Kes$PushLong(Kes$BSHIFT(1, 4)); }},
    {"RandomOneValue", "RANDOM(5,5)", {}, [] { Kes$PushLong(Kes$RANDOM(5, 5)); }},
    // Compiled code does these inline; the results by hand.
    {"BitAnd", "BAND(12,10)", {}, [] { Kes$PushLong(8); }},
    {"BitOr", "BOR(12,10)", {}, [] { Kes$PushLong(14); }},
    {"BitXor", "BXOR(12,10)", {}, [] { Kes$PushLong(6); }},
    {"AbsoluteValue", "ABS(-2.5)", {}, [] { Kes$PushReal(2.5); }},
    {"CharacterOfCode", "CHR(65)", {"A"}, [] {}},
};

TEST_F(EvaluateTest, BuiltinsMatchTheRunTimeOperations) {
  for (const DifferentialCase& c : kCases) {
    SCOPED_TRACE(c.name);
    for (const char* operand : c.pushes)
      runtime::push_reference(operand);
    c.direct();
    const std::string direct = pop_top_text();
    EXPECT_EQ(evaluate(c.text), direct);
    EXPECT_EQ(Kes$ERRCODE, 0);
  }
}

// Random expressions from the grammar, with a fixed seed.
class ExpressionGenerator {
 public:
  explicit ExpressionGenerator(unsigned seed) : random_(seed) {}
  std::string expression(int depth) {
    if (depth <= 0) return operand();
    switch (pick(9)) {
      case 0: return expression(depth - 1) + pick_of(kBinary) + expression(depth - 1);
      case 1: return "(" + expression(depth - 1) + ")";
      // NOT binds looser than the other operators, so inside them it needs parentheses.
      case 2: return "(" + pick_of(kUnary) + expression(depth - 1) + ")";
      case 3: return pick_of(kFunctions1) + "(" + expression(depth - 1) + ")";
      case 4:
        return "SUB(" + expression(depth - 1) + "," + expression(depth - 1) + "," + operand() + ")";
      // ":" continues a name, so a blank keeps it apart.
      case 5: return "s[" + expression(depth - 1) + " :" + operand() + "]";
      case 6: return "INLIST(" + operand() + "," + operand() + "," + expression(depth - 1) + ")";
      default: return expression(depth - 1) + pick_of(kRelations) + operand();
    }
  }

 private:
  static constexpr const char* kBinary[] = {"+", " - ",   "*",    "/",     "%", "^",
                                            "&", " AND ", " OR ", " XOR ", "="};
  static constexpr const char* kRelations[] = {"<>", "~=", " NOT = ", "=<", "=>", "~<",
                                               "~>", "<=", ">=",      "<",  ">",  "="};
  static constexpr const char* kUnary[] = {"-", "+", "NOT ", "~", "--", "- -"};
  static constexpr const char* kFunctions1[] = {"LEN", "UPPER", "ABS", "clip", "Int"};
  template <std::size_t N>
  std::string pick_of(const char* const (&options)[N]) {
    return options[pick(N)];
  }
  std::size_t pick(std::size_t count) { return random_() % count; }
  std::string operand() {
    switch (pick(7)) {
      case 0: return std::to_string(pick(100000));
      case 1: return std::to_string(pick(1000)) + "." + std::to_string(pick(100));
      case 2: return "'t''" + std::to_string(pick(10)) + "'";
      case 3: return "a";
      case 4: return "s";
      case 5: return "@n" + std::to_string(pick(20)) + ".2 ";  // a blank ends a picture
      default: return "." + std::to_string(pick(10)) + "e" + std::to_string(pick(5));
    }
  }
  std::mt19937 random_;
};

TEST_F(EvaluateTest, PrintedTreesParseBackTheSame) {
  Cell a{.whole = 7}, s{.type = 18, .text = "Kestrel"};
  bind("a", a);
  bind("s", s);
  ExpressionGenerator generator(20240611);
  int parsed = 0;
  for (int round = 0; round < 2000; ++round) {
    const std::string text = generator.expression(1 + round % 5);
    SCOPED_TRACE(text);
    const data::ParseResult first = data::parse_expression(data::bind_scopes(), text, true);
    ASSERT_NE(first.tree, nullptr);
    std::string printed;
    first.tree->write_text(printed);
    const data::ParseResult second = data::parse_expression(data::bind_scopes(), printed, true);
    ASSERT_NE(second.tree, nullptr) << printed;
    std::string dump_first, dump_second;
    first.tree->write_dump(dump_first);
    second.tree->write_dump(dump_second);
    EXPECT_EQ(dump_first, dump_second);
    ++parsed;
  }
  EXPECT_EQ(parsed, 2000);
}

}  // namespace
}  // namespace kes::test

// The expression engine: EVALUATE through the exports as compiled code calls them (values,
// conversions, comparisons, the error state, scopes, bound procedures, answers at a level,
// variables bound through value descriptors), each built-in against the run-time operation
// compiled code calls, printed trees that parse back the same, the parser's trees, failures and
// limits, and SQL printing through a driver's callback.
#include "data/evaluate/evaluate.h"

#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <kestrel/dates.h>
#include <kestrel/evaluate.h>
#include <kestrel/matching.h>
#include <kestrel/maths.h>
#include <kestrel/string_builtins.h>
#include <kestrel/string_stack.h>
#include <kestrel/types.h>
#include <kestrel/values.h>

#include <gtest/gtest.h>

#include "data/evaluate/bind_scopes.h"
#include "data/evaluate/bound_value.h"
#include "data/evaluate/expression_parser.h"
#include "data/evaluate/sql_printer.h"
#include "data/evaluate/ufo_value.h"
#include "files/errors/error_state.h"
#include "runtime/fatal/fatal.h"
#include "runtime/stack/string_stack.h"
#include "tests/support/stack_helpers.h"

namespace kes::test {
namespace {

// Variables held by the test stand in for the program's value descriptors. A variable's storage: a
// number or a text by its type code, or elements when dimensioned; written as designated
// initializers: Cell{.whole = 3}, Cell{.type = 18, .text = "x"}.
struct Cell {
  std::uint8_t type = 6;  // LONG
  std::int32_t whole = 0;
  double real = 0.0;
  std::string text{};
  std::vector<Cell> elements{};
};

bool is_text_type(std::uint8_t type) { return type >= 18; }

class CellValue final : public data::BoundValue {
 public:
  explicit CellValue(Cell* cell) : cell_(cell) {}
  std::uint8_t type_code() const noexcept override { return cell_->type; }
  void push() const noexcept override {
    if (is_text_type(cell_->type)) {
      runtime::push_reference(cell_->text);  // by reference, as string variables are pushed
    } else if (cell_->type <= 6) {
      runtime::push_long(cell_->whole);
    } else {
      runtime::push_real(cell_->real);
    }
  }
  std::int32_t to_long() const noexcept override {
    if (!is_text_type(cell_->type))
      return cell_->type <= 6 ? cell_->whole : static_cast<std::int32_t>(cell_->real);
    push();
    return runtime::pop_long();
  }
  double to_real() const noexcept override {
    if (!is_text_type(cell_->type)) return cell_->type <= 6 ? cell_->whole : cell_->real;
    push();
    return runtime::pop_real();
  }
  bool is_null() const noexcept override {
    if (is_text_type(cell_->type)) return cell_->text.find_first_not_of(' ') == std::string::npos;
    return to_real() == 0.0;
  }
  const void* address() const noexcept override { return cell_; }
  void* descriptor() const noexcept override { return cell_; }
  std::unique_ptr<BoundValue> clone() const override { return std::make_unique<CellValue>(cell_); }
  std::unique_ptr<BoundValue> element(std::uint32_t index) const override {
    if (index < 1 || index > cell_->elements.size()) return nullptr;
    return std::make_unique<CellValue>(&cell_->elements[index - 1]);
  }

 private:
  Cell* cell_;
};

void bind(const std::string& name, Cell& cell) {
  data::bind_variable(data::bind_scopes(), name, std::make_unique<CellValue>(&cell));
}

// EVALUATE(text) as compiled code calls it; returns the pushed text.
std::string evaluate(const std::string& text) {
  runtime::push_reference(text);
  Kes$Evaluate();
  return pop_top_text();
}

class EvaluateTest : public ::testing::Test {
 protected:
  void SetUp() override { reset(); }
  void TearDown() override {
    EXPECT_EQ(runtime::string_stack_depth(), 0);  // every operation leaves the stack balanced
    reset();
  }
  static void reset() {
    data::restore_bind_scopes(nullptr);
    drain_string_stack();
    files::clear_error();
  }
};

struct ValueCase {
  const char* name;
  const char* text;
  const char* value;
};

constexpr ValueCase kValues[] = {
    {"ProductBeforeSum", "1+2*3", "7"},
    {"PowerFromTheLeft", "2^3^2", "64"},
    {"DivisionIsReal", "7/2", "3.5"},
    {"DivisionByZeroIsZero", "7/0", "0"},
    {"Modulo", "7 % 3", "1"},
    {"DoubledQuote", "'it''s'", "it's"},
    {"Concatenation", "'ab' & 1+1", "ab2"},
    {"TrueIsOne", "1 < 2", "1"},
    {"FalseIsEmpty", "2 < 1", ""},
    {"NotEqualForms", "(1 <> 2) & (1 ~= 2) & (1 NOT = 2)", "111"},
    {"LessEqualForms", "(2 =< 2) & (2 <= 2) & (3 ~> 2)", "11"},
    {"TextAgainstNumberIsNumeric", "'10' > 9", "1"},
    {"TextsByCollation", "'10' > '9'", ""},
    {"TextsIgnoreTrailingSpaces", "'abc' = 'abc   '", "1"},
    {"RealTolerance", "0.1 + 0.2 = 0.3", "1"},
    {"NoShortCut", "0 AND 1 OR 1 XOR 0", "1"},
    {"BlankTextIsFalse", "NOT '  '", "1"},
    {"TrailingBlanksOfTheTextCut", "1+1   ", "2"},
    {"ChooseByCondition", "CHOOSE(1 > 2, 'a', 'b', 'c')", "b"},
    {"OmittedBitOperands", "BAND(13) & BXOR(13)", "013"},
    {"ChooseByNumber", "CHOOSE(2, 'a', 'b', 'c')", "b"},
    {"ChooseOutOfRangeTakesLast", "CHOOSE(9, 'a', 'b', 'c')", "c"},
    {"SqlTextIsItsValue", "SQL(a = 'x')", "a = 'x'"},
    {"IntOfNegative", "INT(-2.7)", "-2"},
    {"OmittedLengthTakesTheRest", "SUB('ABCDE', 2)", "BCDE"},
    {"NegatedZeroIsZero", "-0 & 0 * -1", "00"},
    {"LargeReal", "1.5e20", "1.5e20"},
};

TEST_F(EvaluateTest, EvaluatesTexts) {
  for (const ValueCase& c : kValues) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(evaluate(c.text), c.value);
    EXPECT_EQ(Kes$ERRCODE, 0);
  }
}

TEST_F(EvaluateTest, ReadsBoundVariables) {
  Cell amount{.type = 9, .real = 12.5}, name{.type = 18, .text = "Smith     "}, count{.whole = 3};
  Cell list{.type = 24, .elements = {Cell{.whole = 10}, Cell{.whole = 20}}};
  bind("Amount", amount);
  bind("Name", name);
  bind("Count", count);
  bind("List", list);
  EXPECT_EQ(evaluate("Amount * Count"), "37.5");
  EXPECT_EQ(evaluate("CLIP(Name) & '!'"), "Smith!");
  EXPECT_EQ(evaluate("UPPER(name[1:3])"), "SMI");
  EXPECT_EQ(evaluate("Name[2]"), "m");
  EXPECT_EQ(evaluate("List[2] + List[1]"), "30");
  EXPECT_EQ(evaluate("List[3] = 0"), "1");  // past the elements: zero
  // The tree reads the variable when it runs, not when it was parsed.
  KesExpression* tree = Kes$ParseCString("Count > 2");
  EXPECT_EQ(Kes$EvalR(tree), 1);
  count.whole = 1;
  EXPECT_EQ(Kes$EvalR(tree), 0);
  Kes$FreeParsed(tree);
}

TEST_F(EvaluateTest, PostsUnboundNamesAndBadTexts) {
  EXPECT_EQ(evaluate("X"), "");
  EXPECT_EQ(Kes$ERRCODE, 801);
  EXPECT_EQ(files::error_text(), "No BIND on variable (X)");
  EXPECT_EQ(evaluate("1 +"), "");
  EXPECT_EQ(Kes$ERRCODE, 800);
  EXPECT_EQ(files::error_text(), "Invalid expression for EVALUATE");
  EXPECT_EQ(evaluate("1"), "1");
  EXPECT_EQ(Kes$ERRCODE, 0);  // cleared by the next EVALUATE
  EXPECT_EQ(Kes$ParseCString("(1"), nullptr);
  EXPECT_EQ(Kes$ERRCODE, 800);
}

TEST_F(EvaluateTest, ScopesHideInheritAndSwapWithTheThread) {
  Cell total{.whole = 5};
  Kes$PushBind();
  bind("Total", total);
  EXPECT_EQ(evaluate("TOTAL"), "5");  // names match without regard to case
  Kes$PushBind2(1);
  EXPECT_EQ(evaluate("total + 1"), "6");  // an inheriting scope looks outward
  Kes$PushBind();
  EXPECT_EQ(evaluate("total"), "");
  EXPECT_EQ(Kes$ERRCODE, 801);
  Kes$PopBind();
  Kes$PopBind();
  Kes$PopBind();
  EXPECT_EQ(evaluate("Total"), "");
  EXPECT_EQ(Kes$ERRCODE, 801);
  bind("Total", total);  // a thread switch swaps the scopes
  data::BindScopes* const first_thread = data::save_bind_scopes();
  EXPECT_EQ(evaluate("Total"), "");  // the incoming thread has scopes of its own
  data::restore_bind_scopes(first_thread);
  EXPECT_EQ(evaluate("Total"), "5");
}

TEST_F(EvaluateTest, UnbindsNames) {
  Cell a{.whole = 1};
  for (const char* name : {"m", "a", "z", "MMMMMMM", "b", "y"})
    bind(name, a);
  runtime::push_reference("a");
  Kes$UnbindV();
  EXPECT_EQ(Kes$ERRCODE, 0);
  EXPECT_EQ(evaluate("z + y + b + m + MMMMMMM"), "5");  // the tree keeps its other entries
  runtime::push_reference("a");
  Kes$UnbindV();
  EXPECT_EQ(Kes$ERRCODE, 801);
  EXPECT_EQ(files::error_text(), "No BIND on variable (a)");
  Kes$UnbindA();
  EXPECT_EQ(evaluate("z"), "");
  EXPECT_EQ(Kes$ERRCODE, 801);
  EXPECT_EQ(evaluate("LEN('abc')"), "3");  // the built-ins stay
}

using EvaluateDeathTest = EvaluateTest;

TEST_F(EvaluateDeathTest, PopBindWithoutPushIsFatal) {
  EXPECT_EXIT(Kes$PopBind(), ::testing::ExitedWithCode(runtime::kFatalExitCode), "Mismatched");
}

// Bound procedures pop their parameters, the first on top.
std::int32_t g_calls = 0;
void join_texts() {
  const std::string first = pop_top_text();
  const std::string second = pop_top_text();
  runtime::push_text(first + "+" + second);
  ++g_calls;
}
std::int32_t count_parameter() {
  const std::int32_t value = runtime::pop_long();
  runtime::pop_discard();
  return value * 2;
}

TEST_F(EvaluateTest, CallsBoundProcedures) {
  runtime::push_reference("Join");
  Kes$BindP(join_texts, 2, 18);
  runtime::push_reference("Twice");
  Kes$BindP(reinterpret_cast<KesBoundProcedure>(count_parameter), 2, 6);
  EXPECT_EQ(evaluate("Join('a', 1+1)"), "a+2");
  EXPECT_EQ(evaluate("Join('a')"), "a+");  // omitted: the empty text
  EXPECT_EQ(evaluate("Twice(21) + 1"), "43");
  // Both sides of AND run, so a procedure on the right is called either way.
  g_calls = 0;
  EXPECT_EQ(evaluate("0 AND Join('x','y')"), "");
  EXPECT_EQ(g_calls, 1);
}

std::int32_t level_of(void* descriptor) { return static_cast<Cell*>(descriptor)->whole; }

TEST_F(EvaluateTest, DecidesLevelByLevel) {
  Cell first{.whole = 1}, second{.whole = 2};  // a value is also its level
  bind("First", first);
  bind("Second", second);
  struct Row {
    const char* text;
    int at_zero, at_one, at_two;
  };
  const Row rows[] = {
      {"First = 1 AND Second = 3", 2, 2, 1},
      {"First = 9 AND Second = 2", 2, 1, 1},
      {"First = 1 OR Second = 3", 2, 0, 0},
      {"NOT First = 1", 2, 1, 1},
      {"1 = 1", 0, 0, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    KesExpression* tree = Kes$ParseCString(row.text);
    EXPECT_EQ(Kes$AnnotateParsed(&tree, level_of), row.at_zero);
    EXPECT_EQ(Kes$EvalS(tree, 1), row.at_one);
    EXPECT_EQ(Kes$EvalS(tree, 2), row.at_two);
    Kes$FreeParsed(tree);
  }
  // Without a level procedure every variable is at level 0.
  KesExpression* tree = Kes$ParseCString("First = 1");
  EXPECT_EQ(Kes$AnnotateParsed(&tree, nullptr), 0);
  Kes$FreeParsed(tree);
  KesExpression* none = nullptr;
  EXPECT_EQ(Kes$AnnotateParsed(&none, level_of), 2);
}

TEST_F(EvaluateTest, NullTreesAndAFullStack) {
  Kes$EvaluateParsed(nullptr);
  EXPECT_EQ(pop_top_text(), "");
  EXPECT_EQ(Kes$EvalR(nullptr), 0);
  KesExpression* tree = Kes$ParseCString("'a' & 'b'");
  for (int index = 0; index < runtime::kStringStackCapacity - 1; ++index)
    runtime::push_reference("x");
  // One free entry, and the concatenation holds two: the value is not computed.
  Kes$EvaluateParsed(tree);
  EXPECT_EQ(runtime::string_stack_depth(), runtime::kStringStackCapacity);
  EXPECT_EQ(pop_top_text(), "");
  drain_string_stack();
  Kes$FreeParsed(tree);
}

TEST_F(EvaluateTest, ComputesKnownArgumentsOnlyWhenPureAndRoomy) {
  // RANDOM runs at each evaluation, not once when parsed.
  KesExpression* random = Kes$ParseCString("RANDOM(1, 1000000000)");
  std::set<std::string> values;
  for (int round = 0; round < 3; ++round) {
    Kes$EvaluateParsed(random);
    values.insert(pop_top_text());
  }
  EXPECT_GT(values.size(), 1u);
  Kes$FreeParsed(random);
  // Parsed on a full stack, a pure call is left for later and the stack stays untouched.
  for (int index = 0; index < runtime::kStringStackCapacity; ++index)
    runtime::push_reference("x");
  KesExpression* tree = Kes$ParseCString("LEN(CLIP('ab  '))");
  EXPECT_EQ(runtime::string_stack_depth(), runtime::kStringStackCapacity);
  EXPECT_EQ(pop_top_text(), "x");
  Kes$EvaluateParsed(tree);
  EXPECT_EQ(pop_top_text(), "2");
  drain_string_stack();
  Kes$FreeParsed(tree);
}

TEST_F(EvaluateTest, ParsesLeadingExpressionsWhoseValuesOutliveTheirTrees) {
  const char* text = "Len('ab') + 1, rest";
  const char* cursor = text;
  KesExpression* tree = Kes$ParseCStringR(&cursor);
  ASSERT_NE(tree, nullptr);
  EXPECT_EQ(cursor - text, 13);
  Kes$EvaluateParsed(tree);
  EXPECT_EQ(pop_top_text(), "3");
  Kes$FreeParsed(tree);
  for (const char* value :
       {"'a text longer than an entry holds'", "CLIP('folded when parsed   ')"}) {
    tree = Kes$ParseCString(value);
    Kes$EvaluateParsed(tree);
    Kes$FreeParsed(tree);
    EXPECT_EQ(pop_top_text().substr(0, 6), value[0] == '\'' ? "a text" : "folded");
  }
}

// BIND(name, descriptor) as compiled code does it; the caller's descriptor is freed at once,
// since the scope keeps its own clone.
void bind_ufo(const char* name, Ufo* ufo) {
  runtime::push_reference(name);
  Kes$BindV(ufo);
  Kes$FreeUfo(ufo);
}

class UfoValueTest : public EvaluateTest {
 protected:
  std::int32_t qty_ = 3;
  unsigned char price_[4] = {0x00, 0x00, 0x19, 0x95};  // DECIMAL(7,2) 19.95
  char name_[10] = {'S', 'm', 'i', 't', 'h', ' ', ' ', ' ', ' ', ' '};
  char city_[8] = "Leeds";                        // CSTRING(8)
  std::uint32_t hired_ = Kes$storebtdate(73000);  // DATE 9 November 2000, as DATEs are stored
};

TEST_F(UfoValueTest, ReadsVariablesWhenEvaluatedAndGivesClones) {
  bind_ufo("Qty", Kes$Mem2Ufo(&qty_, KesTypeLong, 4, 0));
  bind_ufo("Price", Kes$Mem2Ufo(price_, KesTypeDecimal, 4 | (2 << 8), 0));
  bind_ufo("Name", Kes$Mem2Ufo(name_, KesTypeString, sizeof name_, 0));
  bind_ufo("City", Kes$Mem2Ufo(city_, KesTypeCstring, sizeof city_, 0));
  bind_ufo("Hired", Kes$Mem2Ufo(&hired_, KesTypeDate, 4, 0));
  EXPECT_EQ(evaluate("Price * Qty"), "59.85");
  EXPECT_EQ(evaluate("Name = 'Smith' AND City = 'Leeds'"), "1");
  EXPECT_EQ(evaluate("CLIP(Name) & '/' & City & '/' & YEAR(Hired)"), "Smith/Leeds/2000");
  EXPECT_EQ(evaluate("NULL(Name) & NULL(Qty)"), "00");
  qty_ = 0;
  std::memcpy(name_, "Jones", 5);
  EXPECT_EQ(evaluate("Qty + LEN(CLIP(Name)) & Name[1:2] & NULL(Qty)"), "5Jo1");
  Ufo* clone = Kes$EvaluateVariable("QTY");  // a clone over the same storage
  ASSERT_NE(clone, nullptr);
  qty_ = 12;
  EXPECT_EQ(Kes$Ufo2Long(clone), 12);
  Kes$FreeUfo(clone);
  EXPECT_EQ(Kes$EvaluateVariable("Missing"), nullptr);
  EXPECT_EQ(Kes$EvaluateVariable("LEN"), nullptr);  // a built-in is no variable
}

TEST_F(UfoValueTest, BindsGroupsByTheirFieldLabelsAndArraysByElement) {
  // Rec GROUP; Id LONG; Label STRING(6); END
  class_descriptor descriptor;
  descriptor.StartGroup("Rec");
  descriptor.AddSimple(KesTypeLong, "Id", nullptr);
  descriptor.AddField(KesTypeString, 6, "Label", 0, nullptr, nullptr);
  descriptor.EndDeclaration();
  unsigned char record[10] = {7, 0, 0, 0, 'K', 'e', 's', ' ', ' ', ' '};
  Ufo* group = Kes$Group2Ufo(record, descriptor.stream());
  Kes$BindG(group);
  Kes$FreeUfo(group);
  EXPECT_EQ(evaluate("Id * 6 & CLIP(Label)"), "42Kes");
  std::int32_t values[3] = {10, 20, 30};
  bind_ufo("List", Kes$ArrayOfUfo(Kes$Mem2Ufo(values, KesTypeLong, 4, 0), 3));
  EXPECT_EQ(evaluate("List[3] - List[1]"), "20");
  EXPECT_EQ(evaluate("List[4] + List[0]"), "0");  // outside the elements: nothing selected
}

TEST_F(UfoValueTest, ComputedUfoReadsTheTree) {
  bind_ufo("Qty", Kes$Mem2Ufo(&qty_, KesTypeLong, 4, 0));
  const data::ParseResult parsed =
      data::parse_expression(data::bind_scopes(), "Qty * 2.5 & 'x'", true);
  ASSERT_NE(parsed.tree, nullptr);
  Ufo* computed = data::computed_ufo(*parsed.tree);
  Kes$PushUfo(computed);
  EXPECT_EQ(pop_top_text(), "7.5x");
  EXPECT_EQ(computed->BaseType(), KesTypeString);
  const data::ParseResult number = data::parse_expression(data::bind_scopes(), "Qty * 2.5", true);
  Ufo* real = data::computed_ufo(*number.tree);
  EXPECT_EQ(Kes$Ufo2Real(real), 7.5);
  EXPECT_EQ(real->BaseType(), KesTypeReal);
  Kes$FreeUfo(computed);
  Kes$FreeUfo(real);
}

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

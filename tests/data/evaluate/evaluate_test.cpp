// EVALUATE through the exports as compiled code calls them: values, conversions, comparisons,
// the error state, scopes, bound procedures and answers at a level.
#include "data/evaluate/evaluate.h"

#include <set>
#include <string>

#include <kestrel/evaluate.h>
#include <kestrel/string_stack.h>

#include <gtest/gtest.h>

#include "runtime/fatal/fatal.h"
#include "tests/data/evaluate/evaluate_fixture.h"

namespace kes::test {
namespace {

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

}  // namespace
}  // namespace kes::test

// SQL printing of conditions and ordering terms through a driver's callback.
#include "data/evaluate/sql_printer.h"

#include <cstring>
#include <map>
#include <string>

#include <kestrel/evaluate.h>

#include <gtest/gtest.h>

#include "data/evaluate/expression_parser.h"
#include "tests/data/evaluate/evaluate_fixture.h"

namespace kes::test {
namespace {

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

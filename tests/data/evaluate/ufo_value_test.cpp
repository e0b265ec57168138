// Bound variables through value descriptors, as compiled code binds them: BIND of variables,
// groups and arrays, EvaluateVariable, and ComputedUfo reading a parsed tree.
#include "data/evaluate/ufo_value.h"

#include <cstring>
#include <string>

#include <kestrel/dates.h>
#include <kestrel/evaluate.h>
#include <kestrel/types.h>
#include <kestrel/values.h>

#include <gtest/gtest.h>

#include "data/evaluate/expression_parser.h"
#include "tests/data/evaluate/evaluate_fixture.h"

namespace kes::test {
namespace {

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

}  // namespace
}  // namespace kes::test

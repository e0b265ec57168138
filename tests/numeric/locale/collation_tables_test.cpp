// The start-up defaults of the collation, case and class tables, byte by byte.
#include "numeric/locale/collation_tables.h"

#include <gtest/gtest.h>

#include "numeric/locale/collation_state.h"

namespace kes::numeric {
namespace {

class CollationTablesDefaults : public testing::Test {
 protected:
  void SetUp() override { reset_all_tables(); }
  void TearDown() override { reset_all_tables(); }
};

TEST_F(CollationTablesDefaults, WeightsAreByteOrderForEveryCharacter) {
  const CollationTables& t = collation_tables();
  for (int c = 0; c < 256; ++c) {
    SCOPED_TRACE(c);
    EXPECT_EQ(t.ansi_weight[static_cast<std::size_t>(c)], c);
    EXPECT_EQ(t.oem_weight[static_cast<std::size_t>(c)], c);
  }
}

TEST_F(CollationTablesDefaults, NoDigraphs) {
  EXPECT_EQ(collation_tables().digraphs[0][0], 0);
  EXPECT_EQ(collation_tables().oem_digraphs[0][0], 0);
}

TEST_F(CollationTablesDefaults, CaseConversionOfEveryByte) {
  for (int c = 0; c < 256; ++c) {
    SCOPED_TRACE(c);
    const auto b = static_cast<std::uint8_t>(c);
    const int upper = (c >= 'a' && c <= 'z') ? c - 32 : c;
    const int lower = (c >= 'A' && c <= 'Z') ? c + 32 : c;
    EXPECT_EQ(to_upper_char(b), upper);
    EXPECT_EQ(to_lower_char(b), lower);
  }
}

}  // namespace
}  // namespace kes::numeric

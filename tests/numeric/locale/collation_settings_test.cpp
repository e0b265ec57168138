// Collation, case and digraph tables built from setting values.
#include "numeric/locale/collation_settings.h"

#include <string>

#include <gtest/gtest.h>

#include "numeric/locale/collation_compare.h"
#include "numeric/locale/collation_state.h"

namespace kes::numeric {
namespace {

class CollationSettingsTest : public testing::Test {
 protected:
  void SetUp() override { reset_all_tables(); }
  void TearDown() override { reset_all_tables(); }
};

std::string range(int from, int to) {  // the codes from..to, descending when from > to
  std::string s;
  const int step = from <= to ? 1 : -1;
  for (int c = from;; c += step) {
    s += static_cast<char>(c);
    if (c == to) break;
  }
  return s;
}

struct WeightCheck {
  std::uint8_t c;
  std::uint8_t weight;
};
struct ListCase {
  const char* name;
  std::string list;
  std::vector<WeightCheck> checks;
};

TEST_F(CollationSettingsTest, CollatingListsGiveWeights) {
  const ListCase cases[] = {
      {"Empty", "", {{'a', 'a'}, {0, 0}, {255, 255}}},
      {"OneCharacter", "q", {{'q', 'q'}, {'a', 'a'}}},
      {"TwoSwapped", "ba", {{'b', 'a'}, {'a', 'b'}, {'c', 'c'}, {'B', 'B'}}},
      {"ThreeRotated", "cab", {{'c', 'a'}, {'a', 'b'}, {'b', 'c'}, {'d', 'd'}}},
      {"FarApart", "zA", {{'z', 'A'}, {'A', 'z'}, {'B', 'B'}}},
      {"DuplicateDropped", "bab", {{'b', 'a'}, {'a', 'b'}}},
      {"DuplicatesInOrder", "abca", {{'a', 'a'}, {'b', 'b'}, {'c', 'c'}}},
      {"ExactlyTwoTwentyTwoReversed",
       range(126, 32) + range(254, 128),
       {{126, 32}, {32, 126}, {254, 128}, {128, 254}, {0, 0}, {127, 127}, {255, 255}}},
      {"ExactlyTwoTwentyTwoFromOne",
       range(1, 222),
       {{1, 32}, {95, 126}, {96, 128}, {222, 254}, {0, 0}, {223, 223}, {255, 255}}},
      {"TwoTwentyTwoWithADuplicate",
       range(1, 221) + "\x01",
       {{1, 1}, {95, 95}, {96, 96}, {221, 221}}},
      {"TwoTwentyOneInOrder", range(1, 221), {{1, 1}, {96, 96}, {221, 221}}},
      {"TwoTwentyThree", range(223, 1), {{223, 1}, {1, 223}, {112, 112}, {113, 111}}},
      {"LongerThanTheTable", range(255, 0) + range(0, 255), {{255, 0}, {0, 255}, {128, 127}}},
  };
  for (const ListCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::array<std::uint8_t, 256> weights{};
    weights.fill(7);
    apply_collating_list(c.list, weights);
    for (const WeightCheck& check : c.checks) {
      EXPECT_EQ(weights[check.c], check.weight) << int{check.c};
    }
  }
}

TEST_F(CollationSettingsTest, SequenceBuildsBothTables) {
  set_collating_sequence("ba", false);
  const CollationTables& t = collation_tables();
  EXPECT_EQ(t.ansi_weight['b'], 'a');
  EXPECT_EQ(t.oem_weight['b'], 'a');
  set_collating_sequence("", false);
  EXPECT_EQ(t.ansi_weight['b'], 'b');
  EXPECT_EQ(t.oem_weight['b'], 'b');
}

TEST_F(CollationSettingsTest, OemListBuildsTheOemTableAndConvertsForAnsi) {
  // OEM 82h is e acute, ANSI E9h.
  set_collating_sequence(
      "\x82"
      "e",
      true);
  const CollationTables& t = collation_tables();
  EXPECT_EQ(t.oem_weight[0x82], 'e');
  EXPECT_EQ(t.oem_weight['e'], 0x82);
  EXPECT_EQ(t.ansi_weight[0xE9], 'e');
  EXPECT_EQ(t.ansi_weight['e'], 0xE9);
  set_collating_sequence(
      "\xe9"
      "e",
      false);
  EXPECT_EQ(t.ansi_weight[0xE9], 'e');
  EXPECT_EQ(t.oem_weight[0x82], 'e');
}

TEST_F(CollationSettingsTest, PlatformOrderPutsAccentsBesideTheirLetters) {
  const std::array<std::uint8_t, 254> list = platform_collating_list();
  std::array<bool, 256> present{};
  for (std::uint8_t c : list)
    present[c] = true;
  for (int c = 1; c <= 254; ++c)
    EXPECT_TRUE(present[static_cast<std::size_t>(c)]) << c;

  set_platform_collating_sequence();
  const auto& w = collation_tables().ansi_weight;
  EXPECT_EQ(w[0], 0);
  EXPECT_EQ(w[255], 255);
  EXPECT_LT(w['a'], w[0xE1]);  // a, a acute
  EXPECT_LT(w[0xE1], w['b']);
  EXPECT_LT(w[0xC1], w['b']);  // A acute
  EXPECT_LT(w['9'], w['a']);
  EXPECT_LT(w['n'], w[0xF1]);  // n tilde before o
  EXPECT_LT(w[0xF1], w['o']);
  // Byte order would put "\xe1l" after "b"; the language order puts it before.
  EXPECT_LT(compare_padded("\xe1l", "b"), 0);
  EXPECT_GT(compare_padded("Zebra", "\xc9t\xe9"), 0);  // byte order says below
  // Control characters are ignored by the language rules: they tie, so stay in code order.
  int last = 0;
  for (std::uint8_t c : list) {
    if (c >= 1 && c <= 8) {
      EXPECT_GT(c, last);
      last = c;
    }
  }
  EXPECT_EQ(last, 8);
}

struct PairCheck {
  std::uint8_t c;
  std::uint8_t partner;
  std::uint8_t char_class;
};

TEST_F(CollationSettingsTest, CasePairsEnterOnlyTheUpperHalf) {
  CollationTables& t = collation_tables();
  t.case_partner[0xD1] = 0xF1;  // cleared first
  t.char_class[0xD1] = kClassUpper;
  set_case_pairs("A\xc9\xc0", "\xe1\xe9\xe0");
  const PairCheck checks[] = {
      {0xC9, 0xE9, kClassUpper},
      {0xE9, 0xC9, kClassLower},
      {0xC0, 0xE0, kClassUpper},
      {0xE0, 0xC0, kClassLower},
      {'A', 'a', kClassUpper},
      {0xE1, 0, 0},  // pair with "A" skipped
      {0xD1, 0, 0},
      {'z', 'Z', kClassLower},
      {'5', 0, kClassDigit},
  };
  for (const PairCheck& c : checks) {
    SCOPED_TRACE(int{c.c});
    EXPECT_EQ(t.case_partner[c.c], c.partner);
    EXPECT_EQ(t.char_class[c.c], c.char_class);
  }
  EXPECT_EQ(to_upper_char(0xE9), 0xC9);
  EXPECT_EQ(to_lower_char(0xC0), 0xE0);
}

TEST_F(CollationSettingsTest, CasePairsStopAtAnEmptyPosition) {
  set_case_pairs(std::string_view("\xc9\0\xc0", 3), std::string_view("\xe9\xe1\xe0", 3));
  EXPECT_EQ(collation_tables().case_partner[0xC9], 0xE9);
  EXPECT_EQ(collation_tables().case_partner[0xC0], 0);
  EXPECT_EQ(collation_tables().case_partner[0xE1], 0);
  // 128 pairs of ASCII filler, then one that would count: it is beyond the cut.
  const std::string uppers = std::string(128, 'Q') + "\xc9";
  const std::string lowers = std::string(128, 'q') + "\xe9";
  set_case_pairs(uppers, lowers);
  EXPECT_EQ(collation_tables().case_partner[0xC9], 0);
}

TEST_F(CollationSettingsTest, PlatformCaseTables) {
  set_platform_case_tables();
  const CollationTables& t = collation_tables();
  const PairCheck checks[] = {
      {0xC9, 0xE9, kClassUpper},
      {0xE9, 0xC9, kClassLower},
      {0x8A, 0x9A, kClassUpper},
      {0x9A, 0x8A, kClassLower},
      {0x9F, 0xFF, kClassUpper},
      {0xFF, 0x9F, kClassLower},
      {0xDE, 0xFE, kClassUpper},
      {0xD7, 0, 0},
      {0xDF, 0, 0},
      {0xF7, 0, 0},
      {'A', 'a', kClassUpper},
      {'0', 0, kClassDigit},
  };
  for (const PairCheck& c : checks) {
    SCOPED_TRACE(int{c.c});
    EXPECT_EQ(t.case_partner[c.c], c.partner);
    EXPECT_EQ(t.char_class[c.c], c.char_class);
  }
}

TEST_F(CollationSettingsTest, UnequalOrEmptyCaseItemsTakeThePlatformLetters) {
  set_case_pairs("\xc9\xc0", "\xe9");
  EXPECT_EQ(collation_tables().case_partner[0xD1], 0xF1);
  reset_case_tables(collation_tables());
  set_case_pairs("", "");
  EXPECT_EQ(collation_tables().case_partner[0xD1], 0xF1);
}

TEST_F(CollationSettingsTest, DigraphItems) {
  clear_digraphs();
  EXPECT_TRUE(
      add_digraph_item("\xdfss,\xe6"
                       "ae"));
  EXPECT_TRUE(
      add_digraph_item("xy,toolong,\xc6"
                       "AE"));  // wrong lengths skipped
  const CollationTables& t = collation_tables();
  EXPECT_EQ(t.digraphs[0], (std::array<std::uint8_t, 4>{0xDF, 's', 's', 0}));
  EXPECT_EQ(t.digraphs[1], (std::array<std::uint8_t, 4>{0xE6, 'a', 'e', 0}));
  EXPECT_EQ(t.digraphs[2], (std::array<std::uint8_t, 4>{0xC6, 'A', 'E', 0}));
  EXPECT_EQ(t.digraphs[3][0], 0);
  // The OEM copy in the OEM code page: sharp s E1h, ae 91h, AE 92h.
  EXPECT_EQ(t.oem_digraphs[0], (std::array<std::uint8_t, 4>{0xE1, 's', 's', 0}));
  EXPECT_EQ(t.oem_digraphs[1], (std::array<std::uint8_t, 4>{0x91, 'a', 'e', 0}));
  EXPECT_EQ(t.oem_digraphs[2], (std::array<std::uint8_t, 4>{0x92, 'A', 'E', 0}));
}

TEST_F(CollationSettingsTest, AtMostSixteenDigraphs) {
  clear_digraphs();
  std::string item;
  for (int i = 0; i < 20; ++i) {
    if (i != 0) item += ',';
    item += static_cast<char>(0xC0 + i);
    item += "xy";
  }
  EXPECT_FALSE(add_digraph_item(item));
  const CollationTables& t = collation_tables();
  EXPECT_EQ(t.digraphs[15][0], 0xC0 + 15);
  EXPECT_FALSE(add_digraph_item("\xfezz"));
  EXPECT_EQ(t.digraphs[15][0], 0xC0 + 15);
  clear_digraphs();
  EXPECT_EQ(t.digraphs[0][0], 0);
  EXPECT_EQ(t.oem_digraphs[15][0], 0);
}

}  // namespace
}  // namespace kes::numeric

// Comparison, case conversion and sort forms by the collation tables, and the tables built from
// setting values.
#include "numeric/locale/collation_compare.h"

#include <array>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "numeric/locale/collation_settings.h"
#include "numeric/locale/collation_state.h"
#include "numeric/locale/collation_tables.h"
#include "tests/support/allocation_counter.h"

namespace kes::numeric {
namespace {

class CollationTest : public testing::Test {
 protected:
  void SetUp() override { reset_all_tables(); }
  void TearDown() override { reset_all_tables(); }
};

// Sets one digraph entry in both tables (the OEM copy as given).
void set_digraph(std::size_t index, char c, char first, char second) {
  CollationTables& t = collation_tables();
  t.digraphs[index] = {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(first),
                       static_cast<std::uint8_t>(second), 0};
  t.oem_digraphs[index] = t.digraphs[index];
}

struct PaddedCase {
  const char* name;
  std::string_view a;
  std::string_view b;
  int expected;
};

// Byte-order weights: results are code differences. A difference at every position of every
// length is checked by the sweep below.
constexpr PaddedCase kPaddedDefault[] = {
    {"BothEmpty", "", "", 0},
    {"EmptyAgainstSpaces", "", "   ", 0},
    {"TrailingSpacesIgnored", "abc", "abc  ", 0},
    {"TrailingSpacesOnLeft", "abc  ", "abc", 0},
    {"LongerLeftBelowSpace", std::string_view("ab\x1f", 3), "ab", -1},  // 31 - 32
    {"LongerRightAboveSpace", "ab", "ab~", -94},                        // 32 - 126
    {"LongRestOfSpacesThenByte", "x", "x                z", -90},       // 32 - 122
    {"EmbeddedZero", std::string_view("a\0b", 3), std::string_view("a\0c", 3), -1},
    {"HighBytesAreAboveLow", "\xff", "\x01", 254},
};

TEST_F(CollationTest, ComparePaddedByteOrder) {
  for (const PaddedCase& c : kPaddedDefault) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(compare_padded(c.a, c.b), c.expected);
  }
}

TEST_F(CollationTest, FindsTheDifferenceAtEveryPositionOfEveryLength) {
  // Lengths around the word and block sizes the comparison skips by.
  for (std::size_t n = 1; n <= 80; ++n) {
    std::string a(n, 'm');
    for (std::size_t i = 0; i < n; ++i)
      a[i] = static_cast<char>('a' + i % 26);
    for (std::size_t p = 0; p < n; ++p) {
      std::string b = a;
      b[p] = '~';  // 126, above every letter
      ASSERT_EQ(compare_padded(a, b), a[p] - '~') << n << " " << p;
      ASSERT_EQ(compare_counted(b.data(), a.data(), n, CodePage::Ansi, true), '~' - (a[p] - 32))
          << n << " " << p;
      std::string longer = a + std::string(n, ' ');
      longer[n + p] = '!';
      ASSERT_EQ(compare_padded(longer, a), '!' - ' ') << n << " " << p;
    }
  }
}

TEST_F(CollationTest, ComparePaddedFollowsWeightsNotBytes) {
  collation_tables().ansi_weight['b'] = 97;
  collation_tables().ansi_weight['a'] = 98;
  EXPECT_EQ(compare_padded("b", "a"), -1);
  EXPECT_EQ(compare_padded("xa", "xb"), 1);
  EXPECT_EQ(compare_padded("c", "a"), 1);  // 99 - 98
  // Two different bytes that share a weight compare equal and the comparison goes on.
  reset_all_tables();
  collation_tables().ansi_weight['x'] = 'y';
  EXPECT_EQ(compare_padded("xa", "yb"), -1);
  EXPECT_EQ(compare_padded("xb", "yb"), 0);
  // Padding takes the weight of the space.
  collation_tables().ansi_weight[' '] = 200;
  EXPECT_EQ(compare_padded("ab", "ab!"), 200 - 33);
  EXPECT_EQ(compare_padded("ab ", "ab"), 0);
}

struct DigraphCase {
  const char* name;
  std::string_view a;
  std::string_view b;
  int padded;  // compare_padded(a, b)
};

// "\xdf" (sharp s) collates as "ss", "\xe6" (ae ligature) as "ae".
constexpr DigraphCase kDigraphs[] = {
    {"SharpSEqualsSS", "\xdf", "ss", 0},          {"SSEqualsSharpS", "ss", "\xdf", 0},
    {"BothSidesExpanded", "\xdf\xe6", "ssae", 0}, {"LigatureBeforeAf", "\xe6", "af", -1},
    {"SharpSBeforeSt", "\xdf", "st", -1},         {"SharpSAfterSr", "\xdf", "sr", 1},
    {"PaddedExpansion", "\xdf", "s", 's' - ' '},  // "ss" against "s ", where counting says 1
    {"PaddedOtherSide", "s", "\xdf", ' ' - 's'},  {"NoPaddingNeeded", "\xdf", "s!", 's' - '!'},
};

TEST_F(CollationTest, DigraphsExpandOnBothSides) {
  set_digraph(0, '\xdf', 's', 's');
  set_digraph(1, '\xe6', 'a', 'e');
  for (const DigraphCase& c : kDigraphs) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(compare_padded(c.a, c.b), c.padded);
  }
}

TEST_F(CollationTest, CountedComparisonEndsByExhaustionWithDigraphs) {
  set_digraph(0, '\xdf', 's', 's');
  // One character each: "ss" against "s": b runs out first.
  EXPECT_EQ(compare_counted("\xdf", "s", 1, CodePage::Ansi, false), 1);
  EXPECT_EQ(compare_counted("s", "\xdf", 1, CodePage::Ansi, false), -1);
  EXPECT_EQ(compare_counted("\xdfx", "ssx", 2, CodePage::Ansi, false), 1);   // "ssx" vs "ss"
  EXPECT_EQ(compare_counted("\xdfz", "ssa", 3, CodePage::Ansi, false), 25);  // "ssz\0" vs "ssa"
  EXPECT_EQ(compare_counted("\xdfz", "ssa", 1, CodePage::Ansi, false), 1);   // "ss" vs "s"
  // Ignoring case, the expansions are folded too.
  set_digraph(1, '\xe6', 'a', 'e');
  set_digraph(2, '\xc6', 'A', 'E');
  EXPECT_EQ(compare_counted("\xe6", "AE", 1, CodePage::Ansi, true), 1);        // "AE" vs "A"
  EXPECT_EQ(compare_counted("\xe6\xe6", "AEAE", 2, CodePage::Ansi, true), 1);  // "AEAE" vs "AE"
  EXPECT_EQ(compare_counted("AEAE", "\xe6\xe6", 2, CodePage::Ansi, true), -1);
}

struct CountedCase {
  const char* name;
  const char* a;
  const char* b;
  std::size_t count;
  int sensitive;
  int insensitive;
};

constexpr CountedCase kCounted[] = {
    {"ZeroCount", "abc", "xyz", 0, 0, 0},
    {"EqualPrefixOnly", "abcX", "abcY", 3, 0, 0},
    {"CaseDiffers", "Abc", "abc", 3, -32, 0},
    {"LowerAgainstUpperOther", "a", "B", 1, 31, -1},  // insensitive: "A" 65 - "B" 66
    {"UpperAgainstLower", "b", "A", 1, 33, 1},
    {"DigitsUnaffected", "1", "2", 1, -1, -1},
    {"NoStopAtZeroBytes", "a\0b", "a\0c", 3, -1, -1},
    {"BracketAfterZ", "[", "z", 1, 91 - 122, 91 - 90},  // "z" folds to "Z" 90
};

TEST_F(CollationTest, CompareCountedWithAndWithoutCase) {
  for (const CountedCase& c : kCounted) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(compare_counted(c.a, c.b, c.count, CodePage::Ansi, false), c.sensitive);
    EXPECT_EQ(compare_counted(c.a, c.b, c.count, CodePage::Ansi, true), c.insensitive);
  }
}

TEST_F(CollationTest, OemComparisonUsesOemTables) {
  CollationTables& t = collation_tables();
  t.oem_weight['a'] = 200;
  EXPECT_EQ(compare_counted("a", "b", 1, CodePage::Oem, false), 200 - 98);
  EXPECT_EQ(compare_counted("a", "b", 1, CodePage::Ansi, false), -1);
  t.oem_digraphs[0] = {'q', 'k', 'w', 0};
  EXPECT_EQ(compare_counted("q", "kw", 1, CodePage::Oem, false), 1);  // "kw" vs "k": b ran out
  EXPECT_EQ(compare_counted("q", "kw", 1, CodePage::Ansi, false), 'q' - 'k');
}

TEST_F(CollationTest, CaseConversionOfTexts) {
  std::string text = "Hello, World 123 \xe9";
  to_upper(text);
  EXPECT_EQ(text, "HELLO, WORLD 123 \xe9");
  to_lower(text);
  EXPECT_EQ(text, "hello, world 123 \xe9");
  collation_tables().case_partner[0xC9] = 0xE9;
  collation_tables().case_partner[0xE9] = 0xC9;
  collation_tables().char_class[0xC9] = kClassUpper;
  collation_tables().char_class[0xE9] = kClassLower;
  to_upper(text);
  EXPECT_EQ(text, "HELLO, WORLD 123 \xc9");
}

// The start-up tables: byte-order weights, ASCII letters and digits only.
TEST_F(CollationTest, DefaultTablesForEveryByte) {
  for (int c = 0; c < 256; ++c) {
    SCOPED_TRACE(c);
    const auto b = static_cast<std::uint8_t>(c);
    const bool upper = c >= 'A' && c <= 'Z';
    const bool lower = c >= 'a' && c <= 'z';
    const bool digit = c >= '0' && c <= '9';
    EXPECT_EQ(is_upper(b), upper);
    EXPECT_EQ(is_lower(b), lower);
    EXPECT_EQ(is_alpha(b), upper || lower);
    EXPECT_EQ(is_alnum(b), upper || lower || digit);
    EXPECT_EQ(to_upper_char(b), lower ? c - 32 : c);
    EXPECT_EQ(to_lower_char(b), upper ? c + 32 : c);
    EXPECT_EQ(collation_tables().ansi_weight[b], c);
    EXPECT_EQ(collation_tables().oem_weight[b], c);
  }
  EXPECT_EQ(collation_tables().digraphs[0][0], 0);
  EXPECT_EQ(collation_tables().oem_digraphs[0][0], 0);
}

struct SortFormCase {
  const char* name;
  std::string_view text;
  bool ignore_case;
  std::string_view sort_form;
  std::size_t full_length;
};

TEST_F(CollationTest, SortFormsReplaceByWeightsAndExpandDigraphs) {
  // Weights: "b" and "a" swapped; digraph sharp s as "ss".
  apply_collating_list("ba", collation_tables().ansi_weight);
  set_digraph(0, '\xdf', 's', 's');
  const SortFormCase cases[] = {
      {"Empty", "", false, "", 0},
      {"Swapped", "abc", false, "bac", 3},
      {"CaseKept", "Ab", false, "Aa", 2},
      {"CaseFolded", "Ab", true, "AB", 2},
      {"DigraphCutToLength", "x\xdf", false, "xs", 3},
      {"DigraphInside",
       "\xdf"
       "axy",
       false, "ssbx", 5},
      {"DigraphsEverywhere", "\xdf\xdf\xdf", false, "sss", 6},
  };
  for (const SortFormCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::string text(c.text);
    EXPECT_EQ(to_sort_form(text, CodePage::Ansi, c.ignore_case), c.full_length);
    EXPECT_EQ(text, c.sort_form);
  }
}

TEST_F(CollationTest, CollationValuesPackWeightsAndCharsUnpackThem) {
  EXPECT_EQ(collation_value("AB"), 16706U);  // 65 * 256 + 66
  EXPECT_EQ(collation_value(""), 0U);
  EXPECT_EQ(collation_value("A"), 65U);
  EXPECT_EQ(collation_value("ABCD"), 0x41424344U);
  EXPECT_EQ(collation_value("ABCDE"), 0x41424344U);  // four characters count
  EXPECT_EQ(collation_value("\xff\xff\xff\xff"), 0xFFFFFFFFU);
  set_digraph(0, '\xdf', 's', 's');
  EXPECT_EQ(collation_value("a\xdf"), 0x617373U);
  EXPECT_EQ(collation_value("\xdf\xdf\xdf"), 0x73737373U);  // first four weights kept
  char out[4];  // and back: characters from the lowest byte
  ASSERT_EQ(collation_chars(16706, out), 2U);
  EXPECT_EQ(std::string_view(out, 2), "BA");
  EXPECT_EQ(collation_chars(0, out), 0U);
  ASSERT_EQ(collation_chars(0x4100, out), 2U);  // a zero low byte is a character of weight 0
  EXPECT_EQ(std::string_view(out, 2), std::string_view("\0A", 2));
  ASSERT_EQ(collation_chars(0xFFFFFFFF, out), 4U);
  EXPECT_EQ(std::string_view(out, 4), "\xff\xff\xff\xff");
  apply_collating_list("ba", collation_tables().ansi_weight);
  ASSERT_EQ(collation_chars('a', out), 1U);  // weight 97 now belongs to "b"
  EXPECT_EQ(out[0], 'b');
}

TEST_F(CollationTest, ComparisonsAndSortFormsAllocateNothing) {
  set_digraph(0, '\xdf', 's', 's');
  std::string text(300, 'x');
  text[150] = '\xdf';
  test::AllocationCounter counter;
  EXPECT_EQ(compare_padded(text, text), 0);
  EXPECT_EQ(compare_counted(text.data(), text.data(), text.size(), CodePage::Ansi, true), 0);
  EXPECT_EQ(to_sort_form(text, CodePage::Ansi, false), 301U);
  EXPECT_EQ(counter.count(), 0U);
}

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

TEST_F(CollationTest, CollatingListsGiveWeights) {
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

TEST_F(CollationTest, OemListBuildsTheOemTableAndConvertsForAnsi) {
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
  set_collating_sequence("", false);  // both back to byte order
  EXPECT_EQ(t.ansi_weight[0xE9], 0xE9);
  EXPECT_EQ(t.oem_weight[0x82], 0x82);
}

TEST_F(CollationTest, PlatformOrderPutsAccentsBesideTheirLetters) {
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

TEST_F(CollationTest, CasePairsEnterOnlyTheUpperHalf) {
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

TEST_F(CollationTest, CasePairsStopAtAnEmptyPositionOrFallBack) {
  set_case_pairs(std::string_view("\xc9\0\xc0", 3), std::string_view("\xe9\xe1\xe0", 3));
  EXPECT_EQ(collation_tables().case_partner[0xC9], 0xE9);
  EXPECT_EQ(collation_tables().case_partner[0xC0], 0);
  EXPECT_EQ(collation_tables().case_partner[0xE1], 0);
  // 128 pairs of ASCII filler, then one that would count: it is beyond the cut.
  const std::string uppers = std::string(128, 'Q') + "\xc9";
  const std::string lowers = std::string(128, 'q') + "\xe9";
  set_case_pairs(uppers, lowers);
  EXPECT_EQ(collation_tables().case_partner[0xC9], 0);
  // Unequal or empty items take the platform's letters instead.
  reset_case_tables(collation_tables());
  set_case_pairs("\xc9\xc0", "\xe9");
  EXPECT_EQ(collation_tables().case_partner[0xD1], 0xF1);
  reset_case_tables(collation_tables());
  set_case_pairs("", "");
  EXPECT_EQ(collation_tables().case_partner[0xD1], 0xF1);
}

TEST_F(CollationTest, PlatformCaseTables) {
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

TEST_F(CollationTest, DigraphItems) {
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

TEST_F(CollationTest, AtMostSixteenDigraphs) {
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

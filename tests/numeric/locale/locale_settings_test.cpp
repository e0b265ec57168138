// Setting names, value lists, the settings-text reader, every setting's effect, the month texts'
// range and the message override table.
#include "numeric/locale/locale_settings.h"

#include <string>

#include <gtest/gtest.h>

#include "files/errors/error_messages.h"
#include "numeric/locale/collation_compare.h"
#include "numeric/locale/collation_tables.h"
#include "numeric/locale/locale_state.h"
#include "numeric/locale/locale_texts.h"
#include "platform/core/heap.h"

namespace kes::numeric {
namespace {

class LocaleSettingsTest : public testing::Test {
 protected:
  void SetUp() override { reset_locale_for_testing(); }
  void TearDown() override { reset_locale_for_testing(); }
};

// Reads settings text as a file would give it.
void read_text(std::string_view text) {
  SettingsReader reader;
  reader.feed(text);
  reader.finish();
}

// The twelve month names, or abbreviations, each followed by "|".
std::string months(std::string_view (*text)(int) = month_name) {
  std::string s;
  for (int m = 1; m <= 12; ++m)
    s += std::string(text(m)) + "|";
  return s;
}

struct NameCase {
  const char* name;
  std::string_view text;
  SettingKind kind;
  std::int32_t number;
};
// Each kind's own name is read through its setting's effect below; these rows are the spellings.
constexpr NameCase kNames[] = {
    {"CaseMixed", "KesCase", SettingKind::Case, 0},
    {"MessageNineDigitsMixedCase", "KesMsg999999999", SettingKind::Message, 999999999},
    {"MessageTenDigits", "KESMSG1234567890", SettingKind::Unknown, 0},
    {"MessageWithoutNumber", "KESMSG", SettingKind::Unknown, 0},
    {"MessageNotANumber", "KESMSG2a", SettingKind::Unknown, 0},
    {"MessageNegative", "KESMSG-2", SettingKind::Unknown, 0},
    {"Prefix", "KESMONT", SettingKind::Unknown, 0},
    {"Empty", "", SettingKind::Unknown, 0},
};

TEST(SettingNames, Classify) {
  for (const NameCase& c : kNames) {
    SCOPED_TRACE(c.name);
    const SettingName s = classify_setting(c.text);
    EXPECT_EQ(s.kind, c.kind);
    EXPECT_EQ(s.message_number, c.number);
  }
}

struct ListCase {
  const char* name;
  std::string value;
  bool commas_in_items;
  std::string list;
};

TEST(ValueLists, QuotePlainValues) {
  const ListCase cases[] = {
      {"Empty", "", false, "\"\""},
      {"OneItem", "Jan", false, "\"Jan\""},
      {"TwoItems", "Jan,Feb", false, "\"Jan\",\"Feb\""},
      {"EmptyItems", ",,", false, "\"\",\"\",\"\""},
      {"QuoteDoubled", "a\"b", false, "\"a\"\"b\""},
      {"CommasKept", "a,b", true, "\"a,b\""},
      {"WrittenAsIs", "\"x\",\"y\"", false, "\"x\",\"y\""},
      {"WrittenCutAt400", "\"" + std::string(500, 'w'), false, "\"" + std::string(399, 'w')},
      {"PlainCutAt396", std::string(500, 'p'), false, "\"" + std::string(396, 'p') + "\""},
      {"PlainExactly396", std::string(396, 'p'), true, "\"" + std::string(396, 'p') + "\""},
      {"AllCommas", std::string(500, ','), false,
       "\"" +
           [] {
             std::string s;
             for (int i = 0; i < 396; ++i)
               s += "\",\"";
             return s;
           }() +
           "\""},
  };
  for (const ListCase& c : cases) {
    SCOPED_TRACE(c.name);
    ValueList list;
    list.assign(c.value, c.commas_in_items);
    EXPECT_EQ(list.text(), c.list);
  }
}

std::string items_of(std::string_view list) {
  ItemReader reader(list);
  std::string dump;
  while (const std::optional<std::string_view> item = reader.next()) {
    dump += "[" + std::string(*item) + "]";
  }
  return dump;
}

struct ItemsCase {
  const char* name;
  std::string_view list;
  std::string_view items;
};
constexpr ItemsCase kItems[] = {
    {"Nothing", "", ""},
    {"NoQuotes", "abc", ""},
    {"One", "\"a\"", "[a]"},
    {"Empty", "\"\"", "[]"},
    {"Two", "\"a\",\"b\"", "[a][b]"},
    {"SeparatedBySpaces", "\"a\" ,  \"b\"", "[a][b]"},
    {"DoubledQuote", "\"say \"\"hi\"\"\"", "[say \"hi\"]"},
    {"OnlyAQuote", "\"\"\"\"", "[\"]"},
    {"Unterminated", "\"abc", "[abc]"},
    {"CommaInside", "\"a,b\",\"c\"", "[a,b][c]"},
};

TEST(ValueLists, ReadItemsBack) {
  for (const ItemsCase& c : kItems) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(items_of(c.list), c.items);
  }
}

TEST(ValueLists, OverlongItemsAreCut) {
  const std::string list = "\"" + std::string(3000, 'i') + "\",\"next\"";
  ItemReader reader(list);
  EXPECT_EQ(reader.next()->size(), 1200U);
  EXPECT_EQ(reader.next(), "next");
  EXPECT_EQ(reader.next(), std::nullopt);
}

struct DecodeCase {
  const char* name;
  std::string_view raw;
  std::string_view decoded;
};
constexpr DecodeCase kDecodes[] = {
    {"Plain", "abc", "abc"},
    {"Code", "<65>", "A"},
    {"CodeAnyCloser", "<65)B", "AB"},
    {"DoubleOpener", "<<", "<"},
    {"DoubleOpenerThenCode", "<<<66>", "<B"},
    {"OpenerWithLetter", "<a>", "<a>"},
    {"OpenerAtEnd", "x<", "x<"},
    {"DigitsAtEnd", "<65", "<65"},
    {"CodeZero", "<0>", std::string_view("\0", 1)},
    {"Code255", "<255>", "\xff"},
    {"Code256StaysAsWritten", "<256>", "<256>"},
    {"HugeCodeStays", "<99999999999999999999>", "<99999999999999999999>"},
    {"LeadingZeros", "<0065>", "A"},
    {"Several", "<13><10>", "\r\n"},
    {"OpenerThenOpenerDigit", "<<1>", "<1>"},
};

TEST(SettingsFileValues, Decode) {
  for (const DecodeCase& c : kDecodes) {
    SCOPED_TRACE(c.name);
    std::string value(c.raw);
    value.resize(decode_file_value(value.data(), value.size()));
    EXPECT_EQ(value, c.decoded);
  }
}

constexpr std::string_view kDefaultMonths =
    "January|February|March|April|May|June|July|August|September|October|November|December|";

// The month list after a setting replaced its leading items ("A|<|"), the rest as they were.
std::string months_starting(std::string_view leading) {
  std::string_view rest = kDefaultMonths;
  for (char c : leading)
    if (c == '|') rest.remove_prefix(rest.find('|') + 1);
  return std::string(leading) + std::string(rest);
}

struct SettingCase {
  const char* name;
  std::string_view text;     // settings-file text
  std::string_view leading;  // the months it replaces
};

// The reader's line rules, seen through KESMONTH.
constexpr SettingCase kLines[] = {
    {"Plain", "KESMONTH=Jan,Feb\r\n", "Jan|Feb|"},
    {"LineFeedOnly", "KESMONTH=A\nKESMON=x\n", "A|"},
    {"CarriageReturnOnly", "X=1\rKESMONTH=A\r", "A|"},
    {"SpacesInNameDropped", " KES MONTH =A\n", "A|"},
    {"NameWithoutEquals", "KESMONTH\nKESMONTH A\n", ""},
    {"TabEndsName", "KESMONTH\t=A\n", ""},
    {"TrailingBlanksRemoved", "KESMONTH=A  \t \n", "A|"},
    {"LeadingBlanksKept", "KESMONTH= A\n", " A|"},
    {"NoFinalLineEnd", "KESMONTH=A", "A|"},
    {"CtrlZEndsTheFile", "KESMONTH=A\x1a\nKESMONTH=B\n", "A|"},
    {"CtrlZBeforeAnything", "\x1aKESMONTH=A\n", ""},
    {"CodesDecoded", "KESMONTH=<65>,<<\n", "A|<|"},
    {"EncodedTrailingSpaceKept", "KESMONTH=A<32>\n", "A |"},
    {"EqualsInValue", "KESMONTH=a=b\n", "a=b|"},
    {"UnknownNameIgnored", "KESMONTHS=A\n", ""},
    {"EmptyLines", "\n\n\r\n", ""},
    {"LaterLineWins", "KESMONTH=A\nKESMONTH=B\n", "B|"},
};

TEST_F(LocaleSettingsTest, ReaderLineRules) {
  for (const SettingCase& c : kLines) {
    SCOPED_TRACE(c.name);
    reset_locale_for_testing();
    read_text(c.text);
    EXPECT_EQ(months(), months_starting(c.leading));
  }
}

TEST_F(LocaleSettingsTest, ReaderTakesPiecesOfAnySize) {
  const std::string text = "KESMONTH=Jan,Feb\r\nKESAMPM=am,pm\r\n";
  for (std::size_t piece = 1; piece <= text.size(); ++piece) {
    reset_locale_for_testing();
    SettingsReader reader;
    for (std::size_t i = 0; i < text.size(); i += piece)
      reader.feed(text.substr(i, piece));
    reader.finish();
    EXPECT_EQ(month_name(2), "Feb") << piece;
    EXPECT_EQ(pm_text(), "pm") << piece;
  }
}

TEST_F(LocaleSettingsTest, OverlongNamesAndValuesAreCut) {
  // A 40-character name keeps its first 31 characters: no setting has such a name.
  read_text("KESMONTH" + std::string(32, 'X') + "=A\n");
  EXPECT_EQ(month_name(1), "January");
  // A value beyond 1024 characters: the rest of the line is dropped, the next line read.
  read_text("KESMSG7=" + std::string(1500, 'v') + "\nKESMONTH=B\n");
  ASSERT_TRUE(message_override(7).has_value());
  EXPECT_EQ(message_override(7)->size(), 396U);  // then cut as a plain value
  EXPECT_EQ(month_name(1), "B");
  // 31 characters exactly, spaces dropped first.
  read_text(std::string(31 - 8, ' ') + "KESMONTH=C\n");
  EXPECT_EQ(month_name(1), "C");
}

TEST_F(LocaleSettingsTest, MonthSettings) {
  apply_setting("KESMONTH", "Jan,Feb", ValueSource::Program);
  EXPECT_EQ(months(), months_starting("Jan|Feb|"));
  apply_setting("KESMONTH", "Januarius Maximus,,3,4,5,6,7,8,9,10,11,12,13", ValueSource::Program);
  EXPECT_EQ(months(), "Januarius Ma||3|4|5|6|7|8|9|10|11|12|");
  apply_setting("kesmon", "Janv,F\xe9v", ValueSource::Program);
  EXPECT_EQ(months(month_abbreviation), "Jan|F\xe9v|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec|");
  apply_setting("KESMON", "\"a\"\"b\",\"c\"", ValueSource::Program);
  EXPECT_EQ(month_abbreviation(1), "a\"b");
  EXPECT_EQ(month_abbreviation(2), "c");
  EXPECT_EQ(month_abbreviation(12), "Dec");
  EXPECT_EQ(month_name(0), "");  // out of range reads as empty
  EXPECT_EQ(month_name(13), "");
  EXPECT_EQ(month_abbreviation(-1), "");
  EXPECT_EQ(month_abbreviation(13), "");
}

TEST_F(LocaleSettingsTest, AmPmSettings) {
  apply_setting("KESAMPM", "vorm,nachm", ValueSource::Program);
  EXPECT_EQ(am_text(), "vo");
  EXPECT_EQ(pm_text(), "na");
  apply_setting("KESAMPM", "a", ValueSource::Program);
  EXPECT_EQ(am_text(), "a");
  EXPECT_EQ(pm_text(), "na");
  locale_state().platform_am.assign("morning");
  locale_state().platform_pm.assign("pm");
  apply_setting("KESAMPM", "WINDOWS", ValueSource::Program);
  EXPECT_EQ(am_text(), "mo");
  EXPECT_EQ(pm_text(), "pm");
}

TEST_F(LocaleSettingsTest, CollatingSequenceSettings) {
  apply_setting("KESCOLSEQ", "ba", ValueSource::Program);
  EXPECT_LT(compare_padded("b", "a"), 0);
  EXPECT_EQ(collation_tables().ansi_weight['c'], 'c');
  // Commas belong to the sequence.
  apply_setting("KESCOLSEQ", "b,a", ValueSource::Program);
  EXPECT_EQ(collation_tables().ansi_weight['b'], ',');
  EXPECT_EQ(collation_tables().ansi_weight[','], 'a');
  apply_setting("KESCOLSEQ", "", ValueSource::Program);
  EXPECT_EQ(collation_tables().ansi_weight['b'], 'b');
  apply_setting("KESCOLSEQ", "windows", ValueSource::Program);
  EXPECT_LT(compare_padded("\xe1", "b"), 0);
  apply_setting("KESCOLSEQ", "\"\"", ValueSource::Program);
  EXPECT_GT(compare_padded("\xe1", "b"), 0);
}

TEST_F(LocaleSettingsTest, CaseSettings) {
  apply_setting("KESCASE", "\xc9,\xe9", ValueSource::Program);
  EXPECT_EQ(to_upper_char(0xE9), 0xC9);
  EXPECT_EQ(to_upper_char(0xE0), 0xE0);
  apply_setting("KESCASE", "WINDOWS", ValueSource::Program);
  EXPECT_EQ(to_upper_char(0xE0), 0xC0);
  apply_setting("KESCASE", "", ValueSource::Program);
  EXPECT_EQ(to_upper_char(0xE0), 0xE0);
  EXPECT_EQ(to_upper_char('a'), 'A');
  apply_setting("KESCASE", "\xc9", ValueSource::Program);  // one item: lengths differ
  EXPECT_EQ(to_upper_char(0xE0), 0xC0);
}

TEST_F(LocaleSettingsTest, DigraphSettings) {
  apply_setting("KESDIGRAPH", "\xdfss", ValueSource::Program);
  EXPECT_EQ(compare_padded("\xdf", "ss"), 0);
  apply_setting("KESDIGRAPH",
                "\"\xe6"
                "ae,\xdfss\",\"\xc6"
                "AE\"",
                ValueSource::Program);
  EXPECT_EQ(compare_padded("\xe6\xdf\xc6", "aessAE"), 0);
  apply_setting("KESDIGRAPH", "", ValueSource::Program);
  EXPECT_EQ(collation_tables().digraphs[0][0], 0);
  EXPECT_NE(compare_padded("\xdf", "ss"), 0);
}

TEST_F(LocaleSettingsTest, MessageAndButtonSettings) {
  apply_setting("KESMSG2",
                "Datei fehlt, bitte pr\xfc"
                "fen",
                ValueSource::Program);
  EXPECT_EQ(message_override(2),
            "Datei fehlt, bitte pr\xfc"
            "fen");
  apply_setting("KESMSG2", "Fehlt", ValueSource::Program);
  EXPECT_EQ(message_override(2), "Fehlt");
  files::MessageBuffer buffer;  // the error messages read the override too
  EXPECT_EQ(files::message_text(2, buffer), "Fehlt");
  apply_setting("kesmsg3", "Pfad fehlt", ValueSource::Program);
  EXPECT_EQ(message_override(3), "Pfad fehlt");
  apply_setting("KESBUTTON", "&Ja,&Nein,Abbrechen", ValueSource::Program);
  EXPECT_EQ(message_override(32512), "&Ja");
  EXPECT_EQ(message_override(32513), "&Nein");
  EXPECT_EQ(message_override(32514), "Abbrechen");
  EXPECT_FALSE(message_override(32515).has_value());
}

TEST_F(LocaleSettingsTest, FlagSettings) {
  const LocaleState& s = locale_state();
  apply_setting("KESLFN", "on", ValueSource::Program);
  EXPECT_TRUE(s.long_file_names);
  apply_setting("KESLFN", "off", ValueSource::Program);
  EXPECT_FALSE(s.long_file_names);
  apply_setting("KESLFN", "ON", ValueSource::Program);
  apply_setting("KESCHARSET", "OEM", ValueSource::Program);
  EXPECT_TRUE(s.oem_charset);
  apply_setting("KESCHARSET", "ANSI", ValueSource::Program);
  EXPECT_FALSE(s.oem_charset);
  apply_setting("KESSYSTEMCHARSET", "GREEK,x", ValueSource::Program);
  EXPECT_EQ(system_charset(), "GREEK");
  EXPECT_TRUE(long_file_names());
  EXPECT_FALSE(settings_text_is_oem());
}

TEST_F(LocaleSettingsTest, OemSettingsFile) {
  // An OEM file: values are converted to ANSI, except the collating sequence, which builds the
  // OEM table directly. OEM 82h is e acute (ANSI E9h), E1h sharp s (ANSI DFh).
  read_text(
      "KESCHARSET=OEM\r\n"
      "KESMONTH=F\x82vrier\r\n"
      "KESDIGRAPH=\xe1ss\r\n"
      "KESMSG2=Fichier absent, \x82tonnant\r\n"
      "KESCOLSEQ=\x82"
      "e\r\n");
  EXPECT_EQ(month_name(1), "F\xe9vrier");
  EXPECT_EQ(collation_tables().digraphs[0], (std::array<std::uint8_t, 4>{0xDF, 's', 's', 0}));
  EXPECT_EQ(collation_tables().oem_digraphs[0], (std::array<std::uint8_t, 4>{0xE1, 's', 's', 0}));
  EXPECT_EQ(message_override(2), "Fichier absent, \xe9tonnant");
  EXPECT_EQ(collation_tables().oem_weight[0x82], 'e');
  EXPECT_EQ(collation_tables().ansi_weight[0xE9], 'e');
  EXPECT_EQ(compare_padded("\xdf", "ss"), 0);
  EXPECT_EQ(compare_counted("\xe1", "ss", 1, CodePage::Oem, false), 1);  // "ss" vs "s"
  // A program's values are ANSI even after an OEM file.
  apply_setting("KESMONTH", "F\xe9vrier", ValueSource::Program);
  EXPECT_EQ(month_name(1), "F\xe9vrier");
}

TEST_F(LocaleSettingsTest, MessageOverridesReplaceByNumberAndSurviveHeapFailures) {
  MessageTable& table = locale_state().messages;
  EXPECT_FALSE(message_override(2).has_value());
  ASSERT_TRUE(table.set(2, "Missing"));
  ASSERT_TRUE(table.set(5, ""));
  ASSERT_TRUE(table.set(2, "Old"));
  EXPECT_EQ(message_override(5), "");
  EXPECT_FALSE(message_override(3).has_value());
  EXPECT_EQ(table.size(), 2U);
  platform::heap_fail_nth(1);
  EXPECT_FALSE(table.set(2, "New"));
  EXPECT_EQ(message_override(2), "Old");
  platform::heap_fail_nth(1);
  EXPECT_FALSE(table.set(3, "Other"));
  EXPECT_FALSE(message_override(3).has_value());
  for (std::int32_t n = 0; n < 16; ++n)
    ASSERT_TRUE(table.set(n, "x"));
  platform::heap_fail_nth(2);  // the text copy succeeds, the table's growth fails
  EXPECT_FALSE(table.set(16, "y"));
  platform::heap_fail_nth(0);
  EXPECT_FALSE(message_override(16).has_value());
  EXPECT_EQ(table.size(), 16U);
  EXPECT_TRUE(table.set(16, "y"));
  EXPECT_EQ(message_override(16), "y");
}

}  // namespace
}  // namespace kes::numeric

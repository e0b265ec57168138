// ANSI (1252) characters: their properties, the OEM (437) code page both ways (checked
// against the two pages' charts), and the platform's language ordering.
#include <string>

#include <gtest/gtest.h>

#include "platform/text/char_props.h"
#include "platform/text/codepage.h"
#include "platform/text/locale_compare.h"

namespace kes::platform {
namespace {

struct PropsCase {
  const char* name;
  std::uint8_t c;
  bool alpha;
  bool upper;
  std::uint8_t lower;
};
// Beyond ASCII, which the every-byte loop covers.
constexpr PropsCase kProps[] = {
    {"CapitalEAcute", 0xC9, true, true, 0xE9},
    {"SmallEAcute", 0xE9, true, false, 0xE9},
    {"CapitalSCaron", 0x8A, true, true, 0x9A},
    {"CapitalOeLigature", 0x8C, true, true, 0x9C},
    {"CapitalYDiaeresis", 0x9F, true, true, 0xFF},
    {"Multiplication", 0xD7, false, false, 0xD7},
    {"CapitalThorn", 0xDE, true, true, 0xFE},
    {"SharpS", 0xDF, true, false, 0xDF},
    {"Euro", 0x80, false, false, 0x80},
};

TEST(AnsiCharacterProperties, FollowThePlatformAndAsciiEveryByte) {
  for (const PropsCase& c : kProps) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ansi_is_alpha(c.c), c.alpha);
    EXPECT_EQ(ansi_is_upper(c.c), c.upper);
    EXPECT_EQ(ansi_to_lower(c.c), c.lower);
  }
  for (int c = 0; c < 128; ++c) {
    SCOPED_TRACE(c);
    const auto b = static_cast<std::uint8_t>(c);
    const bool upper = c >= 'A' && c <= 'Z';
    const bool lower = c >= 'a' && c <= 'z';
    EXPECT_EQ(ansi_is_alpha(b), upper || lower);
    EXPECT_EQ(ansi_is_upper(b), upper);
    EXPECT_EQ(ansi_to_lower(b), upper ? c + 32 : c);
  }
}

struct PairCase {
  const char* name;
  std::uint8_t oem;
  std::uint8_t ansi;
};
constexpr PairCase kBothWays[] = {
    {"SmallEAcute", 0x82, 0xE9},
    {"SmallUDiaeresis", 0x81, 0xFC},
    {"CapitalADiaeresis", 0x8E, 0xC4},
    {"Pound", 0x9C, 0xA3},
    {"SharpS", 0xE1, 0xDF},
    {"SmallNTilde", 0xA4, 0xF1},
    {"CapitalAe", 0x92, 0xC6},
    {"InvertedQuestion", 0xA8, 0xBF},
    {"Degree", 0xF8, 0xB0},
    {"Micro", 0xE6, 0xB5},
    {"NoBreakSpace", 0xFF, 0xA0},
    {"SmallYDiaeresis", 0x98, 0xFF},
};

TEST(CodePageConversion, MapsBothWaysOrToAQuestionMark) {
  for (const PairCase& c : kBothWays) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(oem_to_ansi(c.oem), c.ansi);
    EXPECT_EQ(ansi_to_oem(c.ansi), c.oem);
  }
  for (int c = 0; c < 128; ++c) {  // ASCII is unchanged
    EXPECT_EQ(oem_to_ansi(std::uint8_t(c)), c) << c;
    EXPECT_EQ(ansi_to_oem(std::uint8_t(c)), c) << c;
  }
  // Characters missing from the other page become question marks.
  EXPECT_EQ(ansi_to_oem(0x80), '?');  // the euro sign has no OEM character
  EXPECT_EQ(ansi_to_oem(0xBE), '?');  // three quarters
  EXPECT_EQ(oem_to_ansi(0xB0), '?');  // a shade block
}

TEST(CodePageConversion, TextsInPlace) {
  std::string text = "Caf\x82 \x9C!";
  oem_to_ansi(text);
  EXPECT_EQ(text, "Caf\xe9 \xa3!");
  ansi_to_oem(text);
  EXPECT_EQ(text, "Caf\x82 \x9C!");
  std::string empty;
  oem_to_ansi(empty);
  EXPECT_TRUE(empty.empty());
}

struct OrderCase {
  const char* name;
  std::uint8_t before;
  std::uint8_t after;
};
constexpr OrderCase kOrdered[] = {
    {"DigitBeforeLetter", '9', 'a'},
    {"LetterOrder", 'a', 'b'},
    {"SmallBeforeCapital", 'a', 'A'},
    {"BaseBeforeAccented", 'a', 0xE1},
    {"CapitalBaseBeforeAccented", 'A', 0xE1},
    {"AccentedBeforeNextLetter", 0xE1, 'b'},
    {"CapitalAccentedBeforeNextLetter", 0xC1, 'b'},
    {"CapitalYAfterX", 'x', 'Y'},
    {"SpaceBeforeLetter", ' ', 'a'},
    {"EDiaeresisBeforeF", 0xEB, 'f'},
};

TEST(AnsiLanguageOrder, OrdersPairsAndEqualsItself) {
  for (const OrderCase& c : kOrdered) {
    SCOPED_TRACE(c.name);
    EXPECT_LT(compare_ansi_chars(c.before, c.after), 0);
    EXPECT_GT(compare_ansi_chars(c.after, c.before), 0);
  }
  for (int c = 0; c < 256; ++c)  // every character equals itself
    EXPECT_EQ(compare_ansi_chars(std::uint8_t(c), std::uint8_t(c)), 0) << c;
}

}  // namespace
}  // namespace kes::platform

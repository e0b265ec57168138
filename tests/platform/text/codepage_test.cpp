// OEM (437) <-> ANSI (1252) conversion, checked against the two code pages' charts.
#include "platform/text/codepage.h"

#include <string>

#include <gtest/gtest.h>

namespace kes::platform {
namespace {

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

}  // namespace
}  // namespace kes::platform

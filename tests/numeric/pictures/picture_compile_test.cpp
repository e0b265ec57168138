// Compiling picture texts: widths, header bits, counts and the limits of the picture syntax.
#include <cstring>
#include <string>
#include <string_view>

#include <kestrel/pic_desc.h>
#include <kestrel/pictures.h>

#include <gtest/gtest.h>

#include "numeric/pictures/picture_engine.h"

namespace kes::numeric {
namespace {

struct HeaderCase {
  const char* name;
  const char* picture;
  std::uint16_t header;
  std::int32_t store_result;
};

// header = kind | class << 3 | blank-when-zero << 6 | width << 7
constexpr HeaderCase kHeaders[] = {
    {"Numeric", "@N9.2", 0x0498, 20},
    {"NumericBlankWhenZero", "@N9.2B", 0x04D8, 20},
    {"NumericLowerCaseB", "@N9.2b", 0x04D8, 20},
    {"Scientific", "@E12.2", 0x0611, 26},
    {"Date", "@D1", 0x040A, 18},
    {"DateBlankWhenZero", "@D1B", 0x044A, 18},
    {"Time", "@T3", 0x038B, 16},
    {"Pattern", "@P###P", 0x019C, 8},
    {"String", "@S20", 0x0A05, 2},
    {"StringMaximum", "@S255", 0x7F85, 2},
    {"StringTrailingBlanks", "@S10 \t ", 0x0505, 2},
    {"KeyIn", "@K##K", 0x0106, 6},
    {"SingleCharacterBIsNotASuffix", "@SB", 0, 0},
};

TEST(PictureCompileHeader, SetsKindClassFlagAndWidth) {
  for (const HeaderCase& c : kHeaders) {
    SCOPED_TRACE(c.name);
    PicDesc desc;
    std::memset(&desc, 0x5A, sizeof desc);
    EXPECT_EQ(Kes$storepict(&desc, c.picture), c.store_result);
    EXPECT_EQ(desc.header, c.header);
    EXPECT_EQ(desc.reserved, 0);
    EXPECT_EQ(desc.source, c.picture);
    std::uint8_t checked[5] = {0, 0, 0, 0, 0xEE};
    Kes$checkpict(c.picture, checked);
    EXPECT_EQ(checked[0] | checked[1] << 8, c.header);
    EXPECT_EQ(checked[2] | checked[3] << 8, 0);
    EXPECT_EQ(checked[4], 0xEE);  // four bytes only
  }
}

// A descriptor whose width byte claims 255 tokens (a program's own bytes) holds only 254: the
// members read no further than the token array.
TEST(PictureCount, WidthBeyondTheTokensReadsOnlyTheTokens) {
  PicDesc valid;
  valid.Init("@N254.2");
  ASSERT_EQ(picture_width(valid), 254);
  PicDesc claimed = valid;
  claimed.header = static_cast<std::uint16_t>((claimed.header & ~PicDesc::kWidthMask) |
                                              255u << PicDesc::kWidthShift);
  PicCounts want{};
  valid.Count(want);
  PicCounts got{};
  claimed.Count(got);
  EXPECT_EQ(std::memcmp(&got, &want, sizeof got), 0);  // seven 16-bit counts, no padding
  std::string shown(256, '?');
  claimed.FormatPict(shown.data(), 255, 1, 0, "7");
  std::string expected(256, '?');
  valid.FormatPict(expected.data(), 255, 1, 0, "7");
  EXPECT_EQ(shown, expected);
  const std::string typed = shown.substr(0, 255);
  EXPECT_STREQ(claimed.DeformatPict(typed.data(), 255), "7.00");
}

struct WindowCase {
  const char* name;
  const char* picture;
  int window;
};

constexpr WindowCase kWindows[] = {
    {"Default", "@D1", 80},           {"LaterMarker", "@D1>", 19},
    {"LaterZero", "@D1>0", 19},       {"LaterTen", "@D1>10", 89},
    {"EarlierMarker", "@D1<", 80},    {"EarlierZero", "@D1<0", 80},
    {"EarlierFifty", "@D2<50", 50},   {"EarlierMaximum", "@D2<99", 99},
    {"WithSeparator", "@D6>30-", 69},
};

TEST(PictureCompileDate, ReadsTheCenturyWindowAndLayout) {
  for (const WindowCase& c : kWindows) {
    SCOPED_TRACE(c.name);
    PicDesc desc;
    desc.Init(c.picture);
    ASSERT_NE(picture_width(desc), 0);
    EXPECT_EQ(desc.century_window, c.window);
  }
  PicDesc desc;
  desc.Init("@D14");
  EXPECT_EQ(desc.picture_number, 14);
  desc.Init("@T6");
  EXPECT_EQ(desc.picture_number, 6);
  EXPECT_EQ(desc.century_window, 0);
}

struct WidthCase {
  const char* name;
  const char* picture;
  std::int32_t width;
};

const std::string kLongest = "@P" + std::string(252, '#') + "P";  // 254 after "@"
const std::string kTooLong = "@P" + std::string(253, '#') + "P";  // 255 after "@"
const std::string kFar = "@S10" + std::string(296, ' ');          // 300 characters
const std::string kLongString = "@S10" + std::string(250, ' ');   // 254 characters

TEST(PictureCompileWidth, ValidAndInvalidPictures) {
  const WidthCase cases[] = {
      {"Numeric", "@N9.2", 9},
      {"StringZero", "@S0", 0},
      {"UnknownKind", "@X9", 0},
      {"Empty", "", 0},
      {"AtOnly", "@", 0},
      {"OneCharacter", "@N", 0},
      {"NumericZeroWidth", "@N0", 0},
      {"NumericMaximum", "@N254", 254},
      {"NumericTooWide", "@N255", 0},
      {"PlacesNeedTheirPoint", "@N3.3", 0},
      {"PlacesExactFit", "@N4.3", 4},
      {"SignsAndPlacesOneOver", "@N$(4.1)", 0},
      {"PlacesBeyondLimit", "@N254.255", 0},
      {"OpenParenthesisWithoutClose", "@N(5", 0},
      {"CloseWithoutOpen", "@N5)", 0},
      {"TwoMinusSigns", "@N-5-", 0},
      {"EmptyCurrencyText", "@N~~5", 0},
      {"CurrencyTextWithoutEnd", "@N~EUR5", 0},
      {"CurrencyOnBothSides", "@N$5$", 0},
      {"CurrencyWiderThanWidth", "@N~EUR~2", 0},
      {"TrailingGarbage", "@N9.2x", 0},
      {"StringMinimum", "@S1", 1},
      {"StringTooWide", "@S256", 0},
      {"StringTrailingText", "@S10x", 0},
      {"StringNoNumber", "@S", 0},
      {"DateLayoutZero", "@D0", 0},
      {"DateLayoutMaximum", "@D18", 21},
      {"DateLayoutTooHigh", "@D19", 0},
      {"DateBadSeparator", "@D1x", 0},
      {"DateWindowTooLarge", "@D1<100", 0},
      {"DateTwoSeparators", "@D1--", 0},
      {"TimeLayoutZero", "@T0", 0},
      {"TimeLayoutTooHigh", "@T9", 0},
      {"ScientificTooNarrow", "@E6", 0},
      {"ScientificMinimum", "@E7", 7},
      {"ScientificDigitsDoNotFit", "@E8.2", 0},
      {"PatternWithoutBody", "@PP", 0},
      {"PatternWithoutClose", "@P###", 0},
      {"PatternCloseInOtherCase", "@P##p", 0},
      {"KeyInTrailingBackslash", "@K##\\K", 0},
      {"PatternLongest", kLongest.c_str(), 252},
      {"PatternTooLong", kTooLong.c_str(), 0},
      {"StringLongPicture", kLongString.c_str(), 10},
      {"ThreeHundredCharacters", kFar.c_str(), 0},
  };
  for (const WidthCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Kes$getpicturewidth(c.picture), c.width);
    EXPECT_EQ(Kes$pictureisvalid(c.picture), c.width != 0 ? 1 : 0);
  }
}

TEST(PictureCompileWidth, MissingPictureIsAStringOf255AndInvalidClearsEverything) {
  PicDesc desc;
  desc.Init(nullptr);
  EXPECT_EQ(picture_kind(desc), PictureKind::String);
  EXPECT_EQ(picture_width(desc), 255);
  EXPECT_EQ(Kes$getpicturewidth(nullptr), 255);
  std::memset(&desc, 0x5A, sizeof desc);
  desc.Init("@N9.2x");
  EXPECT_EQ(desc.header, 0);
  EXPECT_EQ(desc.century_window, 0);
  EXPECT_EQ(desc.tokens[0].code, 0);
  EXPECT_EQ(desc.tokens[253].argument, 0);
}

TEST(PictureCount, CountsTokensByClass) {
  PicDesc desc;
  PicCounts counts{};
  desc.Init("@N$-12.2");
  desc.Count(counts);
  EXPECT_EQ(counts.integer_digits, 6);  // 12 = $ - and 8 positions with 2 separators ... . 2
  EXPECT_EQ(counts.fraction_digits, 2);
  EXPECT_EQ(counts.first_digit, 2);
  EXPECT_EQ(counts.last_digit, 11);
  EXPECT_EQ(counts.date_tokens, 0);
  desc.Init("@D3");
  desc.Count(counts);
  EXPECT_EQ(counts.date_tokens, 6);
  EXPECT_EQ(counts.month_name_tokens, 3);
  EXPECT_EQ(counts.first_digit, -1);
  desc.Init("@T6");
  desc.Count(counts);
  EXPECT_EQ(counts.time_tokens, 7);
  desc.Init("@E12.2");
  desc.Count(counts);
  EXPECT_EQ(counts.integer_digits, 1);  // the exponent digits are not counted
  EXPECT_EQ(counts.fraction_digits, 2);
}

}  // namespace
}  // namespace kes::numeric

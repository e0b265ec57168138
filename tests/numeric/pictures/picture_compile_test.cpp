// Compiling picture texts: tokens, widths, header bits and the limits of the picture syntax.
#include <cstring>
#include <string>
#include <string_view>

#include <kestrel/pic_desc.h>
#include <kestrel/pictures.h>

#include <gtest/gtest.h>

#include "numeric/pictures/picture_engine.h"

namespace kes::numeric {
namespace {

std::string dump(const char* picture) {
  PicDesc desc;
  desc.Init(picture);
  return describe_tokens(desc);
}

struct DumpCase {
  const char* name;
  const char* picture;
  std::string_view tokens;
};

constexpr DumpCase kNumericDumps[] = {
    {"GroupedWithPlaces", "@N9.2", "blk blk grp',' blk blk dig'0' pt'.' dig'0' dig'0'"},
    {"WithoutAt", "N9.2", "blk blk grp',' blk blk dig'0' pt'.' dig'0' dig'0'"},
    {"LowerCaseKind", "@n9.2", "blk blk grp',' blk blk dig'0' pt'.' dig'0' dig'0'"},
    {"SignBefore", "@N-6", "sgn'-' blk grp',' blk blk dig'0'"},
    {"SignAfter", "@N7-", "blk blk grp',' blk blk dig'0' sgn'-'"},
    {"Parentheses", "@N(9.2)", "sgn'(' grp',' blk blk dig'0' pt'.' dig'0' dig'0' sgn')'"},
    {"ZeroFillHasNoGrouping", "@N06", "dig'0' dig'0' dig'0' dig'0' dig'0' dig'0'"},
    {"AsteriskFill", "@N*8.2", "dig'*' dig'*' dig'*' dig'*' dig'0' pt'.' dig'0' dig'0'"},
    {"BlankFillHasNoGrouping", "@N_5", "blk blk blk blk dig'0'"},
    {"ZeroFillWithWrittenGrouping", "@N07`", "dig'0' dig'0' dig'0' grp',' dig'0' dig'0' dig'0'"},
    {"DollarBefore", "@N$9.2", "cur'$' blk grp',' blk blk dig'0' pt'.' dig'0' dig'0'"},
    {"CurrencyTextBefore", "@N~EUR~8", "cur'E' cur'U' cur'R' blk grp',' blk blk dig'0'"},
    {"CurrencyTextAfter", "@N8~ kr~", "blk grp',' blk blk dig'0' cur' ' cur'k' cur'r'"},
    {"DollarAfter", "@N5$", "grp',' blk blk dig'0' cur'$'"},
    {"SeparatorAtTheLeftEdge", "@N4", "grp',' blk blk dig'0'"},
    {"CommaDecimalGivesPointGrouping", "@N9`2",
     "blk blk grp'.' blk blk dig'0' pt',' dig'0' dig'0'"},
    {"SpaceGrouping", "@N9_.2", "blk blk grp' ' blk blk dig'0' pt'.' dig'0' dig'0'"},
    {"GroupingBeforeEnd", "@N5.", "blk grp'.' blk blk dig'0'"},
    {"ImpliedPoint", "@N6v2", "blk blk dig'0' ipt dig'0' dig'0'"},
    {"ImpliedPointUpperCase", "@N6V2", "blk blk dig'0' ipt dig'0' dig'0'"},
    {"ZeroPlacesHasNoPoint", "@N3.0", "blk blk dig'0'"},
    {"NoRoomForUnits", "@N3.2", "pt'.' dig'0' dig'0'"},
    {"ExactFitOfSignsAndPlaces", "@N$(5.1)", "cur'$' sgn'(' pt'.' dig'0' sgn')'"},
    {"WidthOne", "@N1", "dig'0'"},
    {"BlankWhenZeroSuffix", "@N5B", "blk grp',' blk blk dig'0'"},
};

TEST(PictureCompileNumeric, LaysTokensOutRightToLeft) {
  for (const DumpCase& c : kNumericDumps) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(dump(c.picture), c.tokens);
  }
}

constexpr DumpCase kOtherDumps[] = {
    {"Scientific", "@E12.2",
     "lit' ' lit' ' sgn'-' dig'0' pt'.' dig'0' dig'0' lit'E' esgn dig'0' dig'0' dig'0'"},
    {"ScientificExactFit", "@E9.2", "dig'0' pt'.' dig'0' dig'0' lit'E' esgn dig'0' dig'0' dig'0'"},
    {"ScientificGrouped", "@E13.4",
     "sgn'-' dig'0' pt'.' dig'0' dig'0' dig'0' grp',' dig'0' lit'E' esgn dig'0' dig'0' dig'0'"},
    {"ScientificCommaDecimal", "@E10`2",
     "sgn'-' dig'0' pt',' dig'0' dig'0' lit'E' esgn dig'0' dig'0' dig'0'"},
    {"Date1", "@D1", "mon' ' mon'0' sep'/' day'0' day'0' sep'/' yr'0' yr'0'"},
    {"Date2ZeroFill", "@D02", "mon'0' mon'0' sep'/' day'0' day'0' sep'/' yr'0' yr'0' yr'0' yr'0'"},
    {"Date3", "@D3", "mname mname mname lit' ' day' ' day'0' sep',' yr'0' yr'0' yr'0' yr'0'"},
    {"Date5AsteriskFill", "@D*5", "day'*' day'*' sep'/' mon'*' mon'*' sep'/' yr'*' yr'*'"},
    {"Date6Dash", "@D6-", "day' ' day'0' sep'-' mon'0' mon'0' sep'-' yr'0' yr'0' yr'0' yr'0'"},
    {"Date7SpaceSeparators", "@D7", "day' ' day'0' sep' ' mname mname mname sep' ' yr'0' yr'0'"},
    {"Date7Comma", "@D7`", "day' ' day'0' sep',' mname mname mname sep',' yr'0' yr'0'"},
    {"Date8Underscore", "@D8_",
     "day' ' day'0' sep' ' mname mname mname sep' ' yr'0' yr'0' yr'0' yr'0'"},
    {"Date11", "@D11", "yr'0' yr'0' mon'0' mon'0' day'0' day'0'"},
    {"Date16Dot", "@D16.", "yr'0' yr'0' yr'0' yr'0' sep'.' mon'0' mon'0'"},
    {"Date010", "@D010", "yr'0' yr'0' yr'0' yr'0' sep'/' mon'0' mon'0' sep'/' day'0' day'0'"},
    {"Date17Default", "@D17", "mon'0' mon'0' sep'/' day'0' day'0' sep'/' yr'0' yr'0'"},
    {"Date18Default", "@D18",
     "mname mname mname mname mname mname mname mname mname mname mname mname lit' ' day'0' "
     "day'0' lit',' lit' ' yr'0' yr'0' yr'0' yr'0'"},
    {"Time1", "@T1", "hr' ' hr'0' sep':' min'0' min'0'"},
    {"Time3", "@T3", "hr' ' hr'0' sep':' min'0' min'0' ampm lit'M'"},
    {"Time4ZeroFillDot", "@T04.", "hr'0' hr'0' sep'.' min'0' min'0' sep'.' sec'0' sec'0'"},
    {"Time5", "@T5", "hr' ' hr'0' min'0' min'0' sec'0' sec'0'"},
    {"Time6", "@T6", "hr' ' hr'0' sep':' min'0' min'0' sep':' sec'0' sec'0' ampm lit'M'"},
    {"Time7Default", "@T7", "hr'0' hr'0' sep':' min'0' min'0' lit' ' ampm lit'M'"},
    {"Time8Default", "@T8",
     "hr'0' hr'0' sep':' min'0' min'0' sep':' sec'0' sec'0' lit' ' ampm lit'M'"},
    {"Pattern", "@P###-##P", "dig'0' dig'0' dig'0' lit'-' dig'0' dig'0'"},
    {"PatternLowerCase", "@p<#:##p", "blk dig'0' lit':' dig'0' dig'0'"},
    {"KeyIn", "@K@^_?|\\##<K", "alpha upper lower any stop lit'#' dig'0' blk"},
    {"KeyInLiterals", "@KAB-K", "lit'A' lit'B' lit'-'"},
};

TEST(PictureCompileOtherKinds, LaysOutTheirLayouts) {
  for (const DumpCase& c : kOtherDumps) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(dump(c.picture), c.tokens);
  }
}

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

void expect_counts(const PicCounts& got, const PicCounts& want) {
  EXPECT_EQ(got.integer_digits, want.integer_digits);
  EXPECT_EQ(got.fraction_digits, want.fraction_digits);
  EXPECT_EQ(got.date_tokens, want.date_tokens);
  EXPECT_EQ(got.time_tokens, want.time_tokens);
  EXPECT_EQ(got.month_name_tokens, want.month_name_tokens);
  EXPECT_EQ(got.first_digit, want.first_digit);
  EXPECT_EQ(got.last_digit, want.last_digit);
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
  expect_counts(got, want);
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

TEST(PictureCompileWidth, MissingPictureIsAStringOf255) {
  PicDesc desc;
  desc.Init(nullptr);
  EXPECT_EQ(picture_kind(desc), PictureKind::String);
  EXPECT_EQ(picture_width(desc), 255);
  EXPECT_EQ(Kes$getpicturewidth(nullptr), 255);
}

TEST(PictureCompileWidth, InvalidPictureClearsEverything) {
  PicDesc desc;
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

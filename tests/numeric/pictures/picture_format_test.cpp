// Formatting through pictures: numbers, scientific values, dates, times, patterns and texts.
#include <charconv>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <string_view>
#include <type_traits>

#include <kestrel/pic_desc.h>

#include <gtest/gtest.h>

#include "numeric/decimal/decimal_stack.h"
#include "numeric/pictures/picture_engine.h"

namespace kes::numeric {
namespace {

// Formats a decimal text through the decimal stack (PicDesc::StoreDec), into a destination two
// bytes wider than the picture so that writes past the width show.
std::string store_decimal(const char* picture, std::string_view value) {
  PicDesc desc;
  desc.Init(picture);
  const int depth = decimal_depth();
  decimal_push_text(value);
  std::string out(static_cast<std::size_t>(picture_width(desc)) + 2, '?');
  desc.StoreDec(out.data(), static_cast<std::uint32_t>(out.size() - 2));
  EXPECT_EQ(decimal_depth(), depth);
  EXPECT_EQ(out.substr(out.size() - 2), "??");
  return out.substr(0, out.size() - 2);
}

// Formats a LONG (StoreLong) or a REAL (StoreReal) into a field of the picture's width.
template <typename Value>
std::string store(const char* picture, Value value) {
  PicDesc desc;
  desc.Init(picture);
  std::string out(static_cast<std::size_t>(picture_width(desc)), '?');
  if constexpr (std::is_same_v<Value, double>) {
    desc.StoreReal(out.data(), static_cast<std::uint32_t>(out.size()), value);
  } else {
    desc.StoreLong(out.data(), static_cast<std::uint32_t>(out.size()), value);
  }
  return out;
}

struct FormatCase {
  const char* name;
  const char* picture;
  std::string_view value;
  std::string_view shown;
};

constexpr FormatCase kNumbers[] = {
    // Grouping with places, a value too large for its positions, blank when zero.
    {"Grouped", "@N9.2", "1234.5", " 1,234.50"},
    {"TooLargeShowsHashes", "@N9.2", "12345678", "##,###.##"},
    {"BlankWhenZero", "@N9.2B", "0", "         "},
    // Blank-fill positions, units and places.
    {"Zero", "@N9.2", "0", "     0.00"},
    {"NegativeWithoutSignPosition", "@N9.2", "-1234.5", " 1,234.50"},
    {"RoundingCarriesIntoANewDigit", "@N9.2", "999.995", " 1,000.00"},
    {"RoundingCarryOverflows", "@N9.2", "99999.995", "##,###.##"},
    {"CarryOverflowsTheUnits", "@N4.2", "9.995", "#.##"},
    {"NoUnitsPosition", "@N3.2", "0.25", ".25"},
    {"NoUnitsPositionOverflow", "@N3.2", "1.25", ".##"},
    {"BlankWhenZeroAfterRounding", "@N9.2B", "0.004", "         "},
    // Floating sign and currency with blank fill.
    {"FloatingMinus", "@N-9.2", "-12.5", "   -12.50"},
    {"FloatingMinusIntoSeparatorPosition", "@N-8", "-123", "    -123"},
    {"NegativeZeroShowsNoSign", "@N-6.2", "-0.001", "  0.00"},
    {"FloatingParentheses", "@N(9.2)", "-12.5", "  (12.50)"},
    {"ParenthesesPositive", "@N(9.2)", "12.5", "   12.50 "},
    {"FloatingDollarAndSign", "@N$-10.2", "-5", "    $-5.00"},
    {"FloatingCurrencyText", "@N~EUR~8", "1234", "EUR1,234"},
    {"TrailingMinus", "@N7-", "-12", "    12-"},
    {"TrailingMinusPositive", "@N7-", "12", "    12 "},
    {"CurrencyAfter", "@N8~ kr~", "12", "   12 kr"},
    {"OverflowKeepsSign", "@N-5", "-12345", " -###"},
    // Zero and asterisk fills stay in place.
    {"ZeroFill", "@N09", "1234", "000001234"},
    {"ZeroFillLosesNegativeSign", "@N09", "-1234", "000001234"},
    {"ZeroFillFixedSign", "@N-09", "-12", "-00000012"},
    {"AsteriskFill", "@N*9.2", "12.5", "****12.50"},
    {"AsteriskFillFixedDollar", "@N$*9.2", "12.5", "$***12.50"},
    {"BlankFillUnderscore", "@N_6", "42", "    42"},
    {"ZeroFillWithGrouping", "@N07`", "1234", "001,234"},
    {"ZeroFillSuppressedSeparatorShowsZero", "@N07`", "12", "0000012"},
    {"AsteriskSuppressedSeparator", "@N*7`", "12", "*****12"},
    {"AsteriskWithGrouping", "@N*7`", "1234", "**1,234"},
    // Other symbols.
    {"CommaDecimal", "@N9`2", "1234.5", " 1.234,50"},
    {"SpaceGrouping", "@N9_.2", "1234.5", " 1 234.50"},
    {"ImpliedPoint", "@N6v2", "12.34", "  1234"},
    {"ImpliedPointZeroFill", "@N06v2", "1.5", "000150"},
    // Patterns.
    {"Pattern", "@P###-##P", "12345", "123-45"},
    {"PatternZeroFill", "@P###-##P", "5", "000-05"},
    {"PatternBlankLead", "@P<#:##P", "930", " 9:30"},
    {"PatternOverflow", "@P<##P", "1234", "###"},
    {"PatternBlankWhenZero", "@P##PB", "0", "  "},
};

TEST(PictureFormatNumber, ThroughTheDecimalStack) {
  for (const FormatCase& c : kNumbers) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(store_decimal(c.picture, c.value), c.shown);
  }
}

TEST(PictureFormatNumber, FromLongsAndReals) {
  EXPECT_EQ(store<std::int32_t>("@N-14", std::numeric_limits<std::int32_t>::min()),
            "-2,147,483,648");
  EXPECT_EQ(store<std::int32_t>("@N13", std::numeric_limits<std::int32_t>::max()), "2,147,483,647");
  EXPECT_EQ(store<std::int32_t>("@N-5", 0), "    0");
  EXPECT_EQ(store<std::int32_t>("@N5B", 0), "     ");
  EXPECT_EQ(store<std::int32_t>("@N3", 1000), "###");
  EXPECT_EQ(store<double>("@N-9.2", -0.125), "    -0.13");
  EXPECT_EQ(store<double>("@N12.2", 1e300), "#,###,###.##");
  EXPECT_EQ(store<double>("@N-6", -std::numeric_limits<double>::infinity()), "-#,###");
  EXPECT_EQ(store<double>("@N6", std::numeric_limits<double>::quiet_NaN()), "##,###");
  // A REAL shows as the decimal it was written as, however many places the picture has.
  EXPECT_EQ(store<double>("@N22.20", 0.1), "0.10000000000000000000");
  // Seventeen significant digits where the REAL needs them.
  EXPECT_EQ(store<double>("@N20.17", 0.1 + 0.2), " 0.30000000000000004");
  EXPECT_EQ(store<double>("@N-26.2", -9007199254740993.0), " -9,007,199,254,740,992.00");
}

TEST(PictureFormatNumber, DigitTextFromTheCaller) {
  PicDesc desc;
  desc.Init("@N9.2");
  char out[12];
  std::memset(out, '?', sizeof out);
  desc.FormatPict(out, 9, 4, 0, "123450");
  EXPECT_EQ(std::string_view(out, 10), " 1,234.50?");
  desc.FormatPict(out, 9, 6, 0, "0012345");  // leading zeros dropped to fit
  EXPECT_EQ(std::string_view(out, 9), " 1,234.50");
  desc.FormatPict(out, 9, 2, 1, "");  // digits missing beyond the text are zeros
  EXPECT_EQ(std::string_view(out, 9), "     0.00");
  desc.FormatPict(out, 9, -1, 0, "5");  // a negative count means fraction zeros first
  EXPECT_EQ(std::string_view(out, 9), "     0.05");
  desc.FormatPict(out, 9, 2000000000, 0, "0");  // huge counts of zeros stay cheap and exact
  EXPECT_EQ(std::string_view(out, 9), "     0.00");
  desc.FormatPict(out, 12, 1, 0, "7");  // a longer destination is padded
  EXPECT_EQ(std::string_view(out, 12), "     7.00   ");
  std::memset(out, '?', sizeof out);
  desc.FormatPict(out, 4, 1, 0, "7");  // a shorter one cut
  EXPECT_EQ(std::string_view(out, 5), "    ?");
}

constexpr FormatCase kScientific[] = {
    {"Positive", "@E12.2", "1234.5", "   1.23E+003"},
    {"NegativeSmall", "@E12.2", "-0.000125", "  -1.25E-004"},
    {"Zero", "@E12.2", "0", "   0.00E+000"},
    {"BlankWhenZero", "@E12.2B", "0", "            "},
    {"CarryIntoExponent", "@E12.2", "9.999", "   1.00E+001"},
    {"NegativeWithoutSignPosition", "@E9.2", "-5", "#.##E####"},
    {"Grouped", "@E13.4", "-1.23456", "-1.234,6E+000"},
    {"CommaDecimal", "@E10`2", "12", " 1,20E+001"},
};

TEST(PictureFormatScientific, MantissaAndExponent) {
  for (const FormatCase& c : kScientific) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(store_decimal(c.picture, c.value), c.shown);
  }
  EXPECT_EQ(store<double>("@E12.2", 6.02e23), "   6.02E+023");
  EXPECT_EQ(store<double>("@E12.2", 1e-300), "   1.00E-300");
  EXPECT_EQ(store<double>("@E12.3", 1.5e-9), "  1.500E-009");
  EXPECT_EQ(store<double>("@E12.3", -2.5e-7), " -2.500E-007");
  PicDesc desc;  // extreme digit counts from the caller stay cheap
  desc.Init("@E12.2");
  char out[12];
  desc.FormatPict(out, 12, -2000000000, 0, "5");  // 5 x 10^-2000000001
  EXPECT_EQ(std::string_view(out, 12), "   #.##E####");
  desc.FormatPict(out, 12, 2000000000, 1, "0");  // zero however many digits
  EXPECT_EQ(std::string_view(out, 12), "   0.00E+000");
  desc.FormatPict(out, 12, -5, 0, "12");  // 0.0000012
  EXPECT_EQ(std::string_view(out, 12), "   1.20E-006");
}

// Serial day numbers worked out by hand: 5 January 2024 is
// (2024 - 1801) x 365 + 5 + 3 + L(2024) - L(1800) - 1 = 81395 + 8 + 491 - 436 - 1 = 81457.
constexpr std::int32_t kJan5Of2024 = 81457;
constexpr std::int32_t kMar7Of2005 = 74579;
constexpr std::int32_t kFirstDay = 4;       // 1 January 1801
constexpr std::int32_t kLastDay = 2994626;  // 31 December 9999

struct DateCase {
  const char* name;
  const char* picture;
  std::int32_t serial;
  std::string_view shown;
};

constexpr DateCase kDates[] = {
    {"Layout1", "@D1", kJan5Of2024, " 1/05/24"},
    {"Layout2", "@D2", kJan5Of2024, " 1/05/2024"},
    {"Layout2ZeroFill", "@D02", kJan5Of2024, "01/05/2024"},
    {"Layout3", "@D3", kJan5Of2024, "JAN  5,2024"},
    {"Layout4", "@D4", kJan5Of2024, "January       5, 2024"},
    {"Layout5", "@D5", kJan5Of2024, " 5/01/24"},
    {"Layout6", "@D6", kJan5Of2024, " 5/01/2024"},
    {"Layout6BlankFill", "@D_6", kJan5Of2024, " 5/ 1/2024"},
    {"Layout6Dash", "@D6-", kJan5Of2024, " 5-01-2024"},
    {"Layout6Space", "@D6_", kJan5Of2024, " 5 01 2024"},
    {"Layout7", "@D7", kJan5Of2024, " 5 JAN 24"},
    {"Layout8", "@D8", kJan5Of2024, " 5 JAN 2024"},
    {"Layout9", "@D9", kJan5Of2024, "24/01/05"},
    {"Layout10", "@D10", kJan5Of2024, "2024/01/05"},
    {"Layout11", "@D11", kJan5Of2024, "240105"},
    {"Layout12", "@D12", kJan5Of2024, "20240105"},
    {"Layout13", "@D13", kJan5Of2024, "01/24"},
    {"Layout14", "@D14", kJan5Of2024, "01/2024"},
    {"Layout15", "@D15", kJan5Of2024, "24/01"},
    {"Layout16", "@D16", kJan5Of2024, "2024/01"},
    {"Layout17Default", "@D17", kJan5Of2024, "01/05/24"},
    {"Layout18Default", "@D18", kJan5Of2024, "January      05, 2024"},
    {"TwoDigitYearLeadingZero", "@D1", kMar7Of2005, " 3/07/05"},
    {"FirstDay", "@D2", kFirstDay, " 1/01/1801"},
    {"LastDay", "@D2", kLastDay, "12/31/9999"},
    {"ZeroIsBlank", "@D2", 0, "          "},
    {"BeforeFirstDayIsBlank", "@D2", kFirstDay - 1, "          "},
    {"AfterLastDayIsBlank", "@D2", kLastDay + 1, "          "},
};

TEST(PictureFormatDate, EveryLayout) {
  for (const DateCase& c : kDates) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(store<std::int32_t>(c.picture, c.serial), c.shown);
  }
  EXPECT_EQ(store<double>("@D2", 81457.75), " 1/05/2024");  // the fraction is ignored
}

// Time values: hour x 360000 + minute x 6000 + second x 100 + hundredths + 1.
constexpr std::int32_t kOneFivePm = 13 * 360000 + 5 * 6000 + 1;
constexpr std::int32_t kNineFiveAm = 9 * 360000 + 5 * 6000 + 1;
constexpr std::int32_t kMidnight = 1;
constexpr std::int32_t kNoon = 12 * 360000 + 1;
constexpr std::int32_t kLastTime = 8640000;  // 23:59:59.99

constexpr DateCase kTimes[] = {
    {"Layout3Afternoon", "@T3", kOneFivePm, " 1:05PM"},
    {"Layout1", "@T1", kOneFivePm, "13:05"},
    {"Layout1ZeroFill", "@T01", kNineFiveAm, "09:05"},
    {"Layout1Dot", "@T1.", kNineFiveAm, " 9.05"},
    {"Layout2", "@T2", kNineFiveAm, " 905"},
    {"Layout3Midnight", "@T3", kMidnight, "12:00AM"},
    {"Layout3Noon", "@T3", kNoon, "12:00PM"},
    {"Layout4", "@T4", kOneFivePm + 4200, "13:05:42"},
    {"Layout4Last", "@T4", kLastTime, "23:59:59"},
    {"Layout5", "@T5", kNineFiveAm, " 90500"},
    {"Layout6", "@T6", kNineFiveAm, " 9:05:00AM"},
    {"Layout7Default", "@T7", kOneFivePm, "01:05 PM"},
    {"Layout8Default", "@T8", kNineFiveAm, "09:05:00 AM"},
    {"ZeroIsBlank", "@T1", 0, "     "},
    {"BeyondTheDayIsBlank", "@T1", kLastTime + 1, "     "},
};

TEST(PictureFormatTime, EveryLayout) {
  for (const DateCase& c : kTimes) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(store<std::int32_t>(c.picture, c.serial), c.shown);
  }
}

TEST(PictureFormatText, StringAndKeyInPicturesCopy) {
  PicDesc desc;
  desc.Init("@S5");
  char out[8];
  std::memset(out, '?', sizeof out);
  desc.FormatPict(out, 7, 0, 0, "ABCDEFG");
  EXPECT_EQ(std::string_view(out, 8), "ABCDE  ?");
  desc.FormatPict(out, 3, 0, 0, "ABCDEFG");
  EXPECT_EQ(std::string_view(out, 3), "ABC");
  EXPECT_EQ(store<std::int32_t>("@S6", -42), "-42   ");
  EXPECT_EQ(store<double>("@S6", 2.5), "2.5   ");
  EXPECT_EQ(store_decimal("@S8", "-0.05"), "-0.05   ");
  desc.Init("@K##-##K");
  desc.FormatPict(out, 5, 0, 0, "12-34");
  EXPECT_EQ(std::string_view(out, 5), "12-34");
}

// A REAL formats as the decimal it was written as: random decimals of up to 15 digits over 36
// orders of magnitude, ties included, through StoreReal and through the decimal stack.
TEST(PictureFormatNumber, RealsMatchTheDecimalPath) {
  std::mt19937_64 random(81457);
  std::uniform_int_distribution<long long> mantissa(0, 999999999999999LL);
  std::uniform_int_distribution<int> digits_kept(1, 15);
  std::uniform_int_distribution<int> exponent(-20, 15);
  const char* const pictures[] = {"@N-24.6", "@N-30.12", "@N-12.2", "@N-9", "@E15.6", "@E10.1"};
  for (int n = 0; n < 20000; ++n) {
    std::string digits = std::to_string(mantissa(random));
    digits.resize(std::min<std::size_t>(digits.size(), digits_kept(random)));
    if (n % 4 == 0) digits.back() = '5';  // a tie at some picture's last place
    const int power = exponent(random);
    const std::string sign = n % 2 != 0 ? "-" : "";
    const std::string text = sign + digits + "e" + std::to_string(power);
    double value = 0.0;
    ASSERT_EQ(std::from_chars(text.data(), text.data() + text.size(), value).ec, std::errc());
    // The decimal stack reads no exponent: the same digits with the point written out.
    std::string decimal = digits;
    if (power >= 0) {
      decimal.append(static_cast<std::size_t>(power), '0');
    } else {
      const auto fraction = static_cast<std::size_t>(-power);
      if (decimal.size() <= fraction) decimal.insert(0, fraction - decimal.size() + 1, '0');
      decimal.insert(decimal.size() - fraction, ".");
    }
    decimal = sign + decimal;
    for (const char* picture : pictures) {
      SCOPED_TRACE(std::string(picture) + " " + text);
      EXPECT_EQ(store<double>(picture, value), store_decimal(picture, decimal));
    }
  }
}

// Only digits[low..high] belong to a decimal entry; leading zeros inside the range and stale
// digits outside it do not show.
TEST(PictureFormatNumber, DecimalEntriesOutsideNormalForm) {
  DecimalEntry entry{};
  std::memset(entry.digits, 7, sizeof entry.digits);  // stale digits everywhere
  entry.low = 30;
  entry.high = 37;
  const std::uint8_t value[] = {0, 0, 0, 1, 2, 3, 4, 5};  // positions 37 down to 30
  for (int k = 0; k < 8; ++k)
    entry.digits[37 - k] = value[k];
  entry.sign = 1;
  PicDesc desc;
  desc.Init("@N-9.2");
  char out[9];
  decimal_push(entry);
  desc.StoreDec(out, 9);
  EXPECT_EQ(std::string_view(out, 9), "  -123.45");
  entry.low = 34;
  entry.high = 33;  // an empty range reads as zero
  decimal_push(entry);
  desc.StoreDec(out, 9);
  EXPECT_EQ(std::string_view(out, 9), "     0.00");
  entry.low = 32;
  entry.high = 32;
  entry.digits[32] = 0;
  decimal_push(entry);  // a negative zero
  desc.StoreDec(out, 9);
  EXPECT_EQ(std::string_view(out, 9), "     0.00");
}

}  // namespace
}  // namespace kes::numeric

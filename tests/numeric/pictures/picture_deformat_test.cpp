// Reading typed text back through pictures (DEFORMAT), and round trips: what a numeric picture
// shows, typed from the left or written plainly, reads back as the value rounded to its places.
#include <algorithm>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <string_view>

#include <kestrel/pic_desc.h>

#include <gtest/gtest.h>

#include "numeric/dates/date_calendar.h"
#include "numeric/pictures/picture_engine.h"

namespace kes::numeric {
namespace {

std::string deformat(const char* picture, std::string_view text) {
  PicDesc desc;
  desc.Init(picture);
  return desc.DeformatPict(text.data(), static_cast<std::uint32_t>(text.size()));
}

struct DeformatCase {
  const char* name;
  const char* picture;
  std::string_view text;
  std::string_view result;
};

constexpr DeformatCase kNumbers[] = {
    {"PlusMakesPositiveAgain", "@N-6", "-+12", "12"},
    {"Empty", "@N9.2", "", ""},
    {"OnlyBlanksGiveNoNumber", "@N9.2", "         ", ""},
    {"CurrencyIsSkipped", "@N$9.2", "$1,234.50", "1234.50"},
    {"LettersAreSkipped", "@N6", "1a2b3c", "123"},
    {"LongerThanThePicture", "@N3", "123456", "123"},
    // Typed, clipped or converted text reads as the value it shows, wherever its point stands.
    {"FewerIntegerPositions", "@N5.1", "12.5", "12.5"},
    {"PointTypedAheadOfItsPosition", "@N9.2", "1234.56", "1234.56"},
    {"OneFractionDigitTypedShort", "@N9.2", "12345.6", "12345.6"},
    {"BlankBetweenDigitsIsZero", "@N9.2", "1 3", "103"},
    {"PointBeforeEveryDigit", "@N5.2", ".5", ".5"},
    {"PointAtTheEndIsDropped", "@N5.2", "12.", "12"},
    {"PointInPictureWithoutPlaces", "@N5", "12.5", "12.5"},
    {"CommaPointInPictureWithoutPlaces", "@N9.", "1.234,5", "1234.5"},
    // What FORMAT writes where the point is no longer where it stands in the picture.
    {"CurrencyHoldingThePoint", "@N~Fr.~10.2", "  Fr.12.50", "12.50"},
    {"CurrencyAfterHoldingThePoint", "@N10.2~Fr.~", "  12.50Fr.", "12.50"},
    {"CurrencyHoldingASign", "@N~(US)~11.2", "  (US)12.50", "12.50"},
    {"GroupingSameAsThePoint", "@N10..2", "  1.234.50", "1234.50"},
    // An implied point takes the places from the right unless the text shows a point.
    {"ImpliedPointFewerDigitsThanPlaces", "@N6v2", "5", ".05"},
    {"ImpliedPointTypedPoint", "@N6v2", "12.5", "12.5"},
    {"BlankInsideAtBlankPosition", "@P<<<P", "1 3", "103"},
    {"BlankAtFillPositionIsSkipped", "@P###P", "1 3", "13"},
    {"Pattern", "@P###-##P", "123-45", "12345"},
    {"PatternParenthesesAreLiterals", "@P(###)###-####P", "(555)123-4567", "5551234567"},
    {"Scientific", "@E12.2", "   1.23E+003", "1.23e+003"},
    {"ScientificNegative", "@E12.2", "  -1.25E-004", "-1.25e-004"},
    {"KeyIn", "@K@@-##K", "AB-12", "AB12"},
    {"KeyInAnyCharacter", "@K???K", "a-b", "a-b"},
    {"InvalidPicture", "@N9.2x", "123", ""},
};

TEST(PictureDeformatNumber, WalksTokensAndText) {
  for (const DeformatCase& c : kNumbers) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(deformat(c.picture, c.text), c.result);
  }
}

constexpr DeformatCase kStrings[] = {
    {"Number", "@S10", "  -12.5abc", "-12.5"},
    {"SecondPointAndLettersDropped", "@S12", "ab-1.2.3e-4", "-1.23e-4"},
    {"WidthLimits", "@S3", "12345", "123"},
    {"MinusOnlyAtTheStart", "@S5", "1-2", "12"},
    {"PlusAfterExponent", "@S6", "1.5E+2", "1.5E+2"},
    {"PlusElsewhereDropped", "@S4", "+1+2", "12"},
    {"SecondExponentDropped", "@S6", "1e2e3", "1e23"},
    {"Empty", "@S6", "", ""},
};

TEST(PictureDeformatString, KeepsWhatCanFormANumber) {
  for (const DeformatCase& c : kStrings) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(deformat(c.picture, c.text), c.result);
  }
  PicDesc desc;  // no picture: stops at the width of 255
  desc.Init(nullptr);
  const std::string text(300, '7');
  EXPECT_EQ(std::string(desc.DeformatPict(text.data(), 300)), std::string(255, '7'));
}

// 5 January 2024 is serial 81457 (worked out by hand in the format tests); 1 January 2024 is
// four days earlier; 2 March 2023 is 309 days earlier.
constexpr DeformatCase kDates[] = {
    {"Layout2", "@D2", " 1/05/2024", "81457"},
    {"Layout2WithoutSeparators", "@D2", "01052024", "81457"},
    {"Layout3", "@D3", "JAN  5,2024", "81457"},
    {"Layout4", "@D4", "January       5, 2024", "81457"},
    {"Layout4TypedShort", "@D4", "january 5, 2024", "81457"},
    {"Layout6", "@D6", " 5/01/2024", "81457"},
    {"Layout6Dash", "@D6-", "05-01-2024", "81457"},
    {"Layout8", "@D8", " 5 JAN 2024", "81457"},
    {"Layout8MonthInCapitals", "@D8", "5 JANUARY 2024", "81457"},
    {"Layout10", "@D10", "2024/01/05", "81457"},
    {"Layout12", "@D12", "20240105", "81457"},
    {"Layout14TakesDayOne", "@D14", "01/2024", "81453"},
    {"Layout18Default", "@D18", "January      05, 2024", "81457"},
    {"DayOverflowRolls", "@D2", "02/30/2023", "81148"},
    {"FourDigitYearOneHundredStays", "@D2", "01/05/0100", "-1"},
    {"MonthZeroIsInvalid", "@D2", "00/05/2024", "-1"},
    {"UnknownMonthName", "@D3", "XYZ  5,2024", "-1"},
    {"Empty", "@D2", "", ""},
    {"OnlySeparators", "@D2", "  /  /    ", ""},
};

TEST(PictureDeformatDate, EveryLayoutReadsBack) {
  for (const DeformatCase& c : kDates) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(deformat(c.picture, c.text), c.result);
  }
}

// The window puts a two-digit year within the hundred years that end 99 - w years after the
// current year; with the default window 80, from Y - 80 to Y + 19.
TEST(PictureDeformatDate, TwoDigitYearsAtTheWindowEdges) {
  DateRecord today{};
  ASSERT_TRUE(date_from_serial(today_serial(), today));
  const int y = today.year;
  struct Edge {
    const char* name;
    const char* picture;
    int last_year;  // the latest year of the window
  };
  const Edge edges[] = {
      {"Default", "@D1", y + 19},
      {"Earlier50", "@D1<50", y + 49},
      {"Later10", "@D1>10", y + 10},
      {"LaterMarkerAlone", "@D1>", y + 80},
  };
  for (const Edge& e : edges) {
    SCOPED_TRACE(e.name);
    const int first_year = e.last_year - 99;
    for (int year : {e.last_year, first_year, e.last_year + 1 - 100}) {
      const std::string typed =
          "1/05/" + std::to_string(year % 100 / 10) + std::to_string(year % 10);
      SCOPED_TRACE(typed);
      const int expected_year = year == e.last_year + 1 - 100 ? first_year : year;
      EXPECT_EQ(deformat(e.picture, typed),
                std::to_string(serial_from_fields(1, 5, expected_year)));
    }
  }
  // Four typed digits are taken as they are.
  EXPECT_EQ(deformat("@D2", "1/05/1850"), std::to_string(serial_from_fields(1, 5, 1850)));
}

// Time values: hour x 360000 + minute x 6000 + second x 100 + 1.
constexpr DeformatCase kTimes[] = {
    {"Layout3Afternoon", "@T3", " 1:05PM", "4710001"},
    {"Layout3Morning", "@T3", "9:05AM", "3270001"},
    {"Layout3HalfPastMidnight", "@T3", "12:30AM", "180001"},
    {"Layout3HalfPastNoon", "@T3", "12:30PM", "4500001"},
    {"Layout1", "@T1", "13:05", "4710001"},
    {"Layout1Dot", "@T1.", "13.05", "4710001"},
    {"Layout4", "@T4", "23:59:59", "8639901"},
    {"Layout5Digits", "@T5", "130542", "4714201"},
    {"Layout7Default", "@T7", "01:05 PM", "4710001"},
    {"Layout8Default", "@T8", "09:05:00 AM", "3270001"},
    {"HourOutOfRange", "@T1", "25:00", "-1"},
    {"MinutesWithoutHour", "@T1", "  :05", "30001"},
    {"ZeroMinutesAloneIsNoTime", "@T1", "  :00", "0"},
    {"MinuteOutOfRange", "@T1", "10:60", "-1"},
    {"Empty", "@T1", "", ""},
};

TEST(PictureDeformatTime, EveryLayoutReadsBack) {
  for (const DeformatCase& c : kTimes) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(deformat(c.picture, c.text), c.result);
  }
}

TEST(PictureDeformatResult, NeverExceedsTheResultBuffer) {
  // 254 key-in positions holding every character, then the longest string picture.
  const std::string picture = "@K" + std::string(252, '?') + "K";
  PicDesc desc;
  desc.Init(picture.c_str());
  ASSERT_EQ(picture_width(desc), 252);
  const std::string text(400, 'x');
  const std::string result = desc.DeformatPict(text.data(), 400);
  EXPECT_EQ(result, std::string(252, 'x'));
  // The scientific layout doubles characters at its exponent sign; a long run of implied and
  // exponent tokens cannot be written, but a wide @E stays within bounds.
  desc.Init("@E254.150");
  ASSERT_EQ(picture_width(desc), 254);
  const std::string digits(254, '9');
  EXPECT_LE(std::string(desc.DeformatPict(digits.data(), 254)).size(), 255u);
}

TEST(PictureDeformatConversions, TextToLongAndReal) {
  EXPECT_EQ(text_to_long("1234.50"), 1234);
  EXPECT_EQ(text_to_long("-12"), -12);
  EXPECT_EQ(text_to_long("  +7x"), 7);
  EXPECT_EQ(text_to_long(""), 0);
  EXPECT_EQ(text_to_long("99999999999"), 2147483647);
  EXPECT_EQ(text_to_long("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(text_to_long("-99999999999"), -2147483647 - 1);
  EXPECT_EQ(text_to_real("  \t-2.5"), -2.5);
  EXPECT_EQ(text_to_real("1.5E+2"), 150.0);
  EXPECT_EQ(text_to_real(".5"), 0.5);
  EXPECT_EQ(text_to_real("abc"), 0.0);
  EXPECT_EQ(text_to_real(""), 0.0);
  EXPECT_EQ(text_to_real("1e999"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(text_to_real("1e-999"), 0.0);
}

// Reads "-1234.50" as a whole number of 10^-places units; false when it is not such a number.
bool scaled_value(std::string_view text, int places, long long& value) {
  const bool negative = !text.empty() && text[0] == '-';
  std::string whole(text.substr(negative ? 1 : 0));
  const std::size_t point = whole.find('.');
  std::string fraction = point == std::string::npos ? "" : whole.substr(point + 1);
  whole = whole.substr(0, point);
  if (fraction.size() > static_cast<std::size_t>(places) ||
      (whole + fraction).find_first_not_of("0123456789") != std::string::npos) {
    return false;  // more places than the picture has, or not a number
  }
  fraction.resize(static_cast<std::size_t>(places), '0');
  const std::string units = whole + fraction;
  value = units.empty() ? 0 : std::stoll(units);
  if (negative) value = -value;
  return true;
}

TEST(PictureRoundTrip, DeformatOfFormatGivesTheRoundedValue) {
  std::mt19937_64 random(20240105);
  std::uniform_int_distribution<long long> magnitude(0, 999999999999LL);
  std::uniform_int_distribution<int> digits_kept(1, 12);
  int pictures = 0;
  int checked = 0;
  for (const char* sign : {"", "-", "(", "+"}) {
    for (const char* fill : {"", "0", "*", "_"}) {
      for (const char* symbols : {".", "`", "v", "`.", "_."}) {
        for (int width = 1; width <= 16; ++width) {
          for (int places = 0; places <= 3; ++places) {
            std::string picture = "@N";
            picture += sign[0] == '+' ? "" : sign;
            picture += fill;
            picture += std::to_string(width);
            if (places > 0) picture += symbols + std::to_string(places);
            if (sign[0] == '(') picture += ")";
            if (sign[0] == '+') picture += "-";  // the sign after the number
            PicDesc desc;
            desc.Init(picture.c_str());
            if (picture_width(desc) == 0) continue;
            ++pictures;
            PicCounts counts{};
            desc.Count(counts);
            const bool signed_picture = sign[0] != 0;
            for (int n = 0; n < 40; ++n) {
              // A value with four decimals and up to twelve digits in all.
              long long m = magnitude(random);
              for (int cut = digits_kept(random); cut < 12; ++cut)
                m /= 10;
              const bool negative = (n % 3) == 1;
              // Round half away from zero to the picture's places.
              long long scale = 1;
              for (int k = places; k < 4; ++k)
                scale *= 10;
              const long long rounded = (m + scale / 2) / scale;
              long long unit = 1;
              for (int k = 0; k < places; ++k)
                unit *= 10;
              const long long whole = rounded / unit;
              const int digits_shown =
                  whole == 0 ? 0 : static_cast<int>(std::to_string(whole).size());
              if (digits_shown > counts.integer_digits) continue;
              const std::string digits = std::to_string(m);
              char shown[32];
              desc.FormatPict(shown, static_cast<std::uint32_t>(width),
                              static_cast<std::int32_t>(digits.size()) - 4, negative ? 1 : 0,
                              digits.c_str());
              const std::string read = desc.DeformatPict(shown, static_cast<std::uint32_t>(width));
              long long value = 0;
              SCOPED_TRACE(picture + " value " + digits + "e-4 shown '" +
                           std::string(shown, static_cast<std::size_t>(width)) + "' read '" + read +
                           "'");
              ASSERT_TRUE(scaled_value(read, places, value));
              const long long expected = negative && signed_picture ? -rounded : rounded;
              EXPECT_EQ(value, expected);
              // The same text typed from the left of the field, padded with blanks after it.
              const std::string_view field(shown, static_cast<std::size_t>(width));
              std::string typed(field.substr(std::min(field.find_first_not_of(' '), field.size())));
              typed.resize(static_cast<std::size_t>(width), ' ');
              const std::string read_typed =
                  desc.DeformatPict(typed.data(), static_cast<std::uint32_t>(width));
              ASSERT_TRUE(scaled_value(read_typed, places, value)) << read_typed;
              EXPECT_EQ(value, expected) << "typed '" << typed << "'";
              // The value written plainly, as a conversion from another type gives it.
              std::string plain = std::to_string(rounded / unit);
              if (places > 0) {
                const std::string fraction = std::to_string(unit + rounded % unit).substr(1);
                plain += (std::string_view(symbols) == "`" ? "," : ".") + fraction;
              }
              if (negative && signed_picture) plain = "-" + plain;
              if (plain.size() <= static_cast<std::size_t>(width)) {
                const std::string read_plain =
                    desc.DeformatPict(plain.data(), static_cast<std::uint32_t>(plain.size()));
                ASSERT_TRUE(scaled_value(read_plain, places, value)) << read_plain;
                EXPECT_EQ(value, expected) << "plain '" << plain << "'";
              }
              ++checked;
            }
          }
        }
      }
    }
  }
  EXPECT_GT(pictures, 500);
  EXPECT_GT(checked, 5000);
}

}  // namespace
}  // namespace kes::numeric

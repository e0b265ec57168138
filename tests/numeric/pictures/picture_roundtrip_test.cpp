// Round trips: for random values and every numeric picture of a family, reading back what a
// picture shows gives the value rounded to the picture's places whenever it fits, whether the
// text stands where FORMAT put it, is typed from the left of the field, or is written plainly.
#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>

#include <kestrel/pic_desc.h>

#include <gtest/gtest.h>

#include "numeric/pictures/picture_engine.h"

namespace kes::numeric {
namespace {

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

// Alphabetic, upper-case and lower-case properties of ANSI (1252) characters.
#include "platform/text/char_props.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace kes::platform

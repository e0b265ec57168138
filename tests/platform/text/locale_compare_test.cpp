// The platform's language ordering of single ANSI characters.
#include "platform/text/locale_compare.h"

#include <gtest/gtest.h>

namespace kes::platform {
namespace {

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

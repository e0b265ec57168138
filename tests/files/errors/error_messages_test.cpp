// The message table: texts by number, unknown numbers and overrides.
#include "files/errors/error_messages.h"

#include <string>

#include <gtest/gtest.h>

#include "tests/files/errors/message_overrides.h"

namespace kes::files {
namespace {

struct MessageCase {
  std::int32_t number;
  std::string_view text;
};

// The first and last text of each block of numbers, texts that keep a trailing blank (78, 350),
// and the highest number.
constexpr MessageCase kMessages[] = {
    {2, "File Not Found"},
    {8, "Insufficient Memory"},
    {30, "Entry Not Found"},
    {78, "Invalid Number Of Parameters "},
    {81, "Unknown Error Posted"},
    {96, "Remote Object Not Found"},
    {301, "Invalid Function"},
    {313, "Invalid Data"},
    {315, "Invalid Drive"},
    {350, "Not Supported "},
    {391, "Unknown Error"},
    {401, "Stack overflow"},
    {403, "Termination caused by signal.  (User break or Floating point)"},
    {410, "Pure Virtual Function Called"},
    {501, "Internal error 01"},
    {515, "Internal error 15"},
    {520, "Mismatch with KXVBX.DLL detected"},
    {544, "Too Many VBX Hooks"},
    {601, "Invalid DDE channel"},
    {605, "DDE transaction timed out"},
    {800, "Invalid expression for EVALUATE"},
    {802, "Mismatched PUSHSCOPE/POPSCOPE"},
};

TEST(ErrorMessagesBuiltin, TextsAreExact) {
  MessageBuffer buffer;
  for (const MessageCase& c : kMessages) {
    SCOPED_TRACE(c.number);
    EXPECT_EQ(builtin_message(c.number), c.text);
    EXPECT_EQ(message_text(c.number, buffer), c.text);
    EXPECT_EQ(buffer[c.text.size()], '\0');
  }
}

// Numbers just beside each block of texts name themselves; 0 reads as 81's text alone.
TEST(ErrorMessagesText, UnknownNumbersNameTheNumber) {
  MessageBuffer buffer;
  for (std::int32_t number : {INT32_MIN, -1,  1,   6,   9,   29,  97,  300, 314, 392,      400,
                              411,       500, 516, 519, 545, 600, 606, 799, 803, INT32_MAX}) {
    SCOPED_TRACE(number);
    EXPECT_FALSE(builtin_message(number).has_value());
    EXPECT_EQ(message_text(number, buffer), "Unknown Error Posted : " + std::to_string(number));
  }
  EXPECT_FALSE(builtin_message(0).has_value());
  EXPECT_EQ(message_text(0, buffer), "Unknown Error Posted");
}

// An override comes first, also for unknown numbers; one of 81 names unknown numbers; every
// text is cut to 255 characters.
TEST(ErrorMessagesOverride, ComesFirstAndIsCutTo255) {
  MessageBuffer buffer;
  test::set_message_override(2, "Fichier introuvable");
  EXPECT_EQ(message_text(2, buffer), "Fichier introuvable");
  EXPECT_EQ(message_text(3, buffer), "Path Not Found");
  test::set_message_override(97, "Own text");
  EXPECT_EQ(message_text(97, buffer), "Own text");
  test::set_message_override(81, "Erreur inconnue");
  EXPECT_EQ(message_text(98, buffer), "Erreur inconnue : 98");
  EXPECT_EQ(message_text(0, buffer), "Erreur inconnue");
  test::set_message_override(2, std::string(255, 'e'));
  EXPECT_EQ(message_text(2, buffer), std::string(255, 'e'));
  test::set_message_override(2, std::string(300, 'o'));
  EXPECT_EQ(message_text(2, buffer), std::string(255, 'o'));
  EXPECT_EQ(buffer[255], '\0');
  test::set_message_override(81, std::string(254, 'u'));
  EXPECT_EQ(message_text(98, buffer), std::string(254, 'u') + " ");
  test::clear_message_overrides();
}

}  // namespace
}  // namespace kes::files

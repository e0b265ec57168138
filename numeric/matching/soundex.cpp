// Sound-alike codes.
#include "numeric/matching/soundex.h"

#include <cstddef>
#include <cstdint>

#include "numeric/locale/collation_tables.h"

namespace kes::numeric {
namespace {

// The digit of each letter A to Z.
constexpr std::string_view kDigits = "01230120022455012623010202";
static_assert(kDigits.size() == 26);

// The digit of an upper-case letter A to Z; 0 for anything else, which is left out.
char digit_of(std::uint8_t upper) noexcept {
  return upper >= 'A' && upper <= 'Z' ? kDigits[upper - 'A'] : '0';
}

}  // namespace

std::array<char, 4> soundex_code(std::string_view text) noexcept {
  const CollationTables& tables = collation_tables();
  const auto is_letter = [&tables](std::uint8_t c) {
    return (tables.char_class[c] & (kClassUpper | kClassLower)) != 0;
  };
  std::size_t at = 0;
  while (at < text.size() && !is_letter(static_cast<std::uint8_t>(text[at])))
    ++at;
  if (at == text.size()) return {'!', '0', '0', '0'};
  std::array<char, 4> code{'0', '0', '0', '0'};
  const std::uint8_t first = to_upper_char(static_cast<std::uint8_t>(text[at]));
  code[0] = static_cast<char>(first);
  const char first_digit = digit_of(first);
  std::size_t digits = 1;
  for (++at; at < text.size() && digits < code.size(); ++at) {
    const char digit = digit_of(to_upper_char(static_cast<std::uint8_t>(text[at])));
    if (digit == '0' || digit == first_digit) continue;
    code[digits++] = digit;
  }
  return code;
}

}  // namespace kes::numeric

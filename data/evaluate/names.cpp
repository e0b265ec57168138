// Names of bound variables and procedures.
#include "data/evaluate/names.h"

#include <cstdint>

#include "numeric/locale/collation_tables.h"

namespace kes::data {

namespace {

bool is_letter(unsigned char c) noexcept {
  const numeric::CollationTables& tables = numeric::collation_tables();
  return (tables.char_class[c] & (numeric::kClassUpper | numeric::kClassLower)) != 0 ||
         (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool is_digit(unsigned char c) noexcept { return c >= '0' && c <= '9'; }

}  // namespace

std::size_t name_length(std::string_view text) noexcept {
  if (text.empty()) return 0;
  const auto first = static_cast<unsigned char>(text[0]);
  if (!is_letter(first) && first != '?' && first != '_') return 0;
  std::size_t length = 1;
  while (length < text.size()) {
    const auto c = static_cast<unsigned char>(text[length]);
    if (!is_letter(c) && !is_digit(c) && c != '_' && c != ':') break;
    ++length;
  }
  if (length < text.size()) {
    const char c = text[length];
    if (c == '#' || c == '$' || c == '"') ++length;
  }
  return length;
}

int compare_names(std::string_view a, std::string_view b) noexcept {
  const std::size_t common = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t index = 0; index < common; ++index) {
    const unsigned x = numeric::to_upper_char(static_cast<std::uint8_t>(a[index]));
    const unsigned y = numeric::to_upper_char(static_cast<std::uint8_t>(b[index]));
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

}  // namespace kes::data

// The process-wide collation, case and character-class tables that every comparison, sort and
// case conversion of a program follows, and the locale texts that pictures read.
//
// State: process-wide, as settings apply to every thread alike; changed at start-up and by
// LOCALE.
#pragma once

#include <array>
#include <cstdint>

namespace kes::numeric {

// Character classes of the class table.
inline constexpr std::uint8_t kClassUpper = 1;
inline constexpr std::uint8_t kClassLower = 2;
inline constexpr std::uint8_t kClassDigit = 4;

struct CollationTables {
  std::array<std::uint8_t, 256> ansi_weight;   // collation weight of each ANSI character
  std::array<std::uint8_t, 256> oem_weight;    // the same for OEM text
  std::array<std::uint8_t, 256> case_partner;  // the other-case letter, 0 for none
  std::array<std::uint8_t, 256> char_class;    // kClassUpper | kClassLower | kClassDigit
  // Up to 16 digraphs: a character and the two it collates as, then a zero; an entry whose
  // first byte is 0 ends the table (none at all: comparisons take the fast path).
  std::array<std::array<std::uint8_t, 4>, 16> digraphs;
  std::array<std::array<std::uint8_t, 4>, 16> oem_digraphs;
};

// The live tables; readers may cache nothing across a LOCALE call.
CollationTables& collation_tables() noexcept;

// Case conversion through the case table: the partner when `c` is of the other case.
inline std::uint8_t to_upper_char(std::uint8_t c) noexcept {
  const CollationTables& t = collation_tables();
  return (t.char_class[c] & kClassLower) != 0 && t.case_partner[c] != 0 ? t.case_partner[c] : c;
}
inline std::uint8_t to_lower_char(std::uint8_t c) noexcept {
  const CollationTables& t = collation_tables();
  return (t.char_class[c] & kClassUpper) != 0 && t.case_partner[c] != 0 ? t.case_partner[c] : c;
}

}  // namespace kes::numeric

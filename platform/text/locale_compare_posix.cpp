// Single-character ordering through an ICU collator of the root locale.
#include <array>
#include <unicode/ucnv.h>
#include <unicode/ucol.h>

#include "platform/text/locale_compare.h"

namespace kes::platform {

namespace {

struct Collation {
  UCollator* collator = nullptr;
  std::array<UChar, 256> unit{};  // the UTF-16 unit of each ANSI byte (1252 is in the BMP)
};

Collation open_collation() noexcept {
  Collation c;
  for (std::size_t b = 0; b < 256; ++b) {
    c.unit[b] = static_cast<UChar>(b);  // Latin-1 as a start; 1252's 80h-9Fh follow below
  }
  UErrorCode status = U_ZERO_ERROR;
  UConverter* ansi = ucnv_open("windows-1252", &status);
  if (U_SUCCESS(status)) {
    for (std::size_t b = 128; b < 160; ++b) {
      const char byte = static_cast<char>(b);
      UChar unit[4];
      status = U_ZERO_ERROR;
      if (ucnv_toUChars(ansi, unit, 4, &byte, 1, &status) == 1 && U_SUCCESS(status)) {
        c.unit[b] = unit[0];
      }
    }
    ucnv_close(ansi);
  }
  status = U_ZERO_ERROR;
  c.collator = ucol_open("", &status);
  if (U_FAILURE(status)) {
    c.collator = nullptr;
  }
  return c;
}

const Collation& collation() noexcept {
  static const Collation c = open_collation();
  return c;
}

}  // namespace

int compare_ansi_chars(std::uint8_t a, std::uint8_t b) noexcept {
  const Collation& c = collation();
  if (c.collator == nullptr) {
    return static_cast<int>(a) - static_cast<int>(b);  // no collator: byte order
  }
  const UCollationResult r = ucol_strcoll(c.collator, &c.unit[a], 1, &c.unit[b], 1);
  return r == UCOL_LESS ? -1 : (r == UCOL_GREATER ? 1 : 0);
}

}  // namespace kes::platform

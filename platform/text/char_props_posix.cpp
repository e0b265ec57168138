// Character properties of code page 1252 through ICU's Unicode properties.
#include <array>
#include <unicode/uchar.h>
#include <unicode/ucnv.h>

#include "platform/text/char_props.h"

namespace kes::platform {

namespace {

struct Props {
  std::array<UChar32, 256> code_point;  // the Unicode character of each ANSI byte, -1 if none
  std::array<std::uint8_t, 256> lower;
};

Props build_props() noexcept {
  Props p{};
  UErrorCode status = U_ZERO_ERROR;
  UConverter* ansi = ucnv_open("windows-1252", &status);
  for (std::size_t c = 0; c < 256; ++c) {
    p.code_point[c] = c < 128 ? static_cast<UChar32>(c) : -1;
  }
  if (U_SUCCESS(status)) {
    for (std::size_t c = 128; c < 256; ++c) {
      const char byte = static_cast<char>(c);
      UChar unit[4];
      status = U_ZERO_ERROR;
      const int32_t units = ucnv_toUChars(ansi, unit, 4, &byte, 1, &status);
      if (U_SUCCESS(status) && units == 1) {
        p.code_point[c] = unit[0];
      }
    }
  }
  // Lower-case forms mapped back to bytes by a reverse search of the decoded page.
  for (std::size_t c = 0; c < 256; ++c) {
    p.lower[c] = 0;
    if (p.code_point[c] < 0) continue;
    const UChar32 lower = u_tolower(p.code_point[c]);
    for (std::size_t d = 0; d < 256; ++d) {
      if (p.code_point[d] == lower) {
        p.lower[c] = static_cast<std::uint8_t>(d);
        break;
      }
    }
  }
  if (ansi != nullptr) ucnv_close(ansi);
  return p;
}

const Props& props() noexcept {
  static const Props p = build_props();
  return p;
}

}  // namespace

bool ansi_is_alpha(std::uint8_t ansi) noexcept {
  const UChar32 cp = props().code_point[ansi];
  return cp >= 0 && u_isalpha(cp);
}

bool ansi_is_upper(std::uint8_t ansi) noexcept {
  const UChar32 cp = props().code_point[ansi];
  return cp >= 0 && u_isupper(cp);
}

std::uint8_t ansi_to_lower(std::uint8_t ansi) noexcept { return props().lower[ansi]; }

}  // namespace kes::platform

// Single-character ordering through the host's locale-aware string comparison, with the
// invariant locale's rules.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <array>
#include <windows.h>

#include "platform/text/locale_compare.h"

namespace kes::platform {
namespace {

// The UTF-16 unit of each ANSI byte (code page 1252 lies in the basic plane); bytes the page
// leaves undefined keep their Latin-1 value.
std::array<wchar_t, 256> build_units() noexcept {
  std::array<wchar_t, 256> units{};
  for (std::size_t b = 0; b < 256; ++b) {
    units[b] = static_cast<wchar_t>(b);
    const char byte = static_cast<char>(b);
    wchar_t decoded[4];
    if (::MultiByteToWideChar(1252, MB_ERR_INVALID_CHARS, &byte, 1, decoded, 4) == 1) {
      units[b] = decoded[0];
    }
  }
  return units;
}

const std::array<wchar_t, 256>& units() noexcept {
  static const std::array<wchar_t, 256> table = build_units();
  return table;
}

}  // namespace

int compare_ansi_chars(std::uint8_t a, std::uint8_t b) noexcept {
  const std::array<wchar_t, 256>& u = units();
  const int r = ::CompareStringW(LOCALE_INVARIANT, 0, &u[a], 1, &u[b], 1);
  if (r == 0) return static_cast<int>(a) - static_cast<int>(b);  // refused: byte order
  return r == CSTR_LESS_THAN ? -1 : (r == CSTR_GREATER_THAN ? 1 : 0);
}

}  // namespace kes::platform

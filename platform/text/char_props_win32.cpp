// Character properties of code page 1252 through the host's character calls. Each byte is
// decoded from code page 1252 explicitly, so the process's own ANSI page does not matter.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <array>
#include <windows.h>

#include "platform/text/char_props.h"

namespace kes::platform {
namespace {

constexpr UINT kAnsiPage = 1252;

struct Props {
  std::array<std::uint8_t, 256> alpha;
  std::array<std::uint8_t, 256> upper;
  std::array<std::uint8_t, 256> lower;
};

Props build_props() noexcept {
  Props p{};
  std::array<int, 256> unit{};  // the UTF-16 unit of each byte, -1 if none
  for (std::size_t c = 0; c < 256; ++c) {
    const char byte = static_cast<char>(c);
    wchar_t decoded[4];
    unit[c] = ::MultiByteToWideChar(kAnsiPage, MB_ERR_INVALID_CHARS, &byte, 1, decoded, 4) == 1
                  ? decoded[0]
                  : -1;
  }
  for (std::size_t c = 0; c < 256; ++c) {
    if (unit[c] < 0) continue;
    const auto wide = static_cast<wchar_t>(unit[c]);
    p.alpha[c] = ::IsCharAlphaW(wide) ? 1 : 0;
    p.upper[c] = ::IsCharUpperW(wide) ? 1 : 0;
    // CharLowerW takes a single character in the low word of its argument.
    const auto lowered = static_cast<wchar_t>(
        reinterpret_cast<ULONG_PTR>(::CharLowerW(reinterpret_cast<LPWSTR>(ULONG_PTR{wide}))));
    // The lower-case form back to a byte by a reverse search of the decoded page.
    for (std::size_t d = 0; d < 256; ++d) {
      if (unit[d] == lowered) {
        p.lower[c] = static_cast<std::uint8_t>(d);
        break;
      }
    }
  }
  return p;
}

const Props& props() noexcept {
  static const Props p = build_props();
  return p;
}

}  // namespace

bool ansi_is_alpha(std::uint8_t ansi) noexcept { return props().alpha[ansi] != 0; }

bool ansi_is_upper(std::uint8_t ansi) noexcept { return props().upper[ansi] != 0; }

std::uint8_t ansi_to_lower(std::uint8_t ansi) noexcept { return props().lower[ansi]; }

}  // namespace kes::platform

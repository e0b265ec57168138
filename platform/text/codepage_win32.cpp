// OEM <-> ANSI tables built through the host's code-page conversions once, on first use.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <array>
#include <windows.h>

#include "platform/text/codepage.h"

namespace kes::platform {
namespace {

using ByteTable = std::array<std::uint8_t, 256>;

constexpr UINT kOemPage = 437;
constexpr UINT kAnsiPage = 1252;

// The one byte of code page `page` for `unit`, or `fallback`. Only exact counterparts are taken
// (the host's best-fit forms, such as "_" for three quarters, would disguise a missing
// character); the micro sign and the Greek small mu are one character in these two pages.
std::uint8_t from_unicode(UINT page, wchar_t unit, std::uint8_t fallback) noexcept {
  const wchar_t candidates[2] = {unit, unit == 0x00B5   ? wchar_t{0x03BC}
                                       : unit == 0x03BC ? wchar_t{0x00B5}
                                                        : unit};
  for (const wchar_t candidate : candidates) {
    char out[8];
    BOOL used_default = FALSE;
    const int bytes = ::WideCharToMultiByte(page, WC_NO_BEST_FIT_CHARS, &candidate, 1, out,
                                            sizeof out, nullptr, &used_default);
    if (bytes == 1 && !used_default) {
      return static_cast<std::uint8_t>(out[0]);
    }
  }
  return fallback;
}

// Maps every byte of code page `from` to code page `to` through Unicode. Bytes below 128 are
// ASCII in both pages; a byte that the target page cannot show becomes "?".
ByteTable build_table(UINT from, UINT to) noexcept {
  ByteTable table{};
  for (std::size_t c = 0; c < 256; ++c) {
    table[c] = c < 128 ? static_cast<std::uint8_t>(c) : static_cast<std::uint8_t>('?');
  }
  for (std::size_t c = 128; c < 256; ++c) {
    const char byte = static_cast<char>(c);
    wchar_t unit[4];
    const int units = ::MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, &byte, 1, unit, 4);
    if (units != 1) continue;
    table[c] = from_unicode(to, unit[0], table[c]);
  }
  return table;
}

const ByteTable& oem_to_ansi_table() noexcept {
  static const ByteTable table = build_table(kOemPage, kAnsiPage);
  return table;
}

const ByteTable& ansi_to_oem_table() noexcept {
  static const ByteTable table = build_table(kAnsiPage, kOemPage);
  return table;
}

}  // namespace

std::uint8_t oem_to_ansi(std::uint8_t oem) noexcept { return oem_to_ansi_table()[oem]; }

std::uint8_t ansi_to_oem(std::uint8_t ansi) noexcept { return ansi_to_oem_table()[ansi]; }

void oem_to_ansi(std::span<char> text) noexcept {
  for (char& c : text)
    c = static_cast<char>(oem_to_ansi(static_cast<std::uint8_t>(c)));
}

void ansi_to_oem(std::span<char> text) noexcept {
  for (char& c : text)
    c = static_cast<char>(ansi_to_oem(static_cast<std::uint8_t>(c)));
}

}  // namespace kes::platform

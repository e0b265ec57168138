// OEM <-> ANSI tables generated through ICU's converters once, on first use.
#include <array>
#include <unicode/ucnv.h>

#include "platform/text/codepage.h"

namespace kes::platform {

namespace {

using ByteTable = std::array<std::uint8_t, 256>;

// The one character of `target`'s page for `unit`, or `fallback`. The micro sign and the Greek
// small mu are one character in these two pages (IBM's tables name it mu, the ANSI page micro).
std::uint8_t from_unicode(UConverter* target, UChar unit, std::uint8_t fallback) noexcept {
  const UChar candidates[2] = {unit, unit == 0x00B5   ? UChar{0x03BC}
                                     : unit == 0x03BC ? UChar{0x00B5}
                                                      : unit};
  for (const UChar candidate : candidates) {
    char out[8];
    UErrorCode status = U_ZERO_ERROR;
    ucnv_reset(target);
    ucnv_setFromUCallBack(target, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    const int32_t bytes = ucnv_fromUChars(target, out, 8, &candidate, 1, &status);
    if (U_SUCCESS(status) && bytes == 1) {
      return static_cast<std::uint8_t>(out[0]);
    }
  }
  return fallback;
}

// Maps every byte of code page `from` to code page `to` through Unicode. Bytes below 128 are
// ASCII in both pages; a byte that the target page cannot show becomes "?". Should ICU lack a
// converter the upper half maps to "?" as well.
ByteTable build_table(const char* from, const char* to) noexcept {
  ByteTable table{};
  for (std::size_t c = 0; c < 256; ++c) {
    table[c] = c < 128 ? static_cast<std::uint8_t>(c) : static_cast<std::uint8_t>('?');
  }
  UErrorCode status = U_ZERO_ERROR;
  UConverter* source = ucnv_open(from, &status);
  UConverter* target = ucnv_open(to, &status);
  if (U_SUCCESS(status)) {
    ucnv_setFallback(target, true);
    for (std::size_t c = 128; c < 256; ++c) {
      const char byte = static_cast<char>(c);
      UChar unit[4];
      status = U_ZERO_ERROR;
      const int32_t units = ucnv_toUChars(source, unit, 4, &byte, 1, &status);
      if (U_FAILURE(status) || units != 1) {
        continue;
      }
      table[c] = from_unicode(target, unit[0], table[c]);
    }
  }
  if (source != nullptr) ucnv_close(source);
  if (target != nullptr) ucnv_close(target);
  return table;
}

const ByteTable& oem_to_ansi_table() noexcept {
  static const ByteTable table = build_table("ibm-437", "windows-1252");
  return table;
}

const ByteTable& ansi_to_oem_table() noexcept {
  static const ByteTable table = build_table("windows-1252", "ibm-437");
  return table;
}

}  // namespace

std::uint8_t oem_to_ansi(std::uint8_t oem) noexcept { return oem_to_ansi_table()[oem]; }
std::uint8_t ansi_to_oem(std::uint8_t ansi) noexcept { return ansi_to_oem_table()[ansi]; }

void oem_to_ansi(std::span<char> text) noexcept {
  const ByteTable& table = oem_to_ansi_table();
  for (char& c : text) {
    c = static_cast<char>(table[static_cast<std::uint8_t>(c)]);
  }
}

void ansi_to_oem(std::span<char> text) noexcept {
  const ByteTable& table = ansi_to_oem_table();
  for (char& c : text) {
    c = static_cast<char>(table[static_cast<std::uint8_t>(c)]);
  }
}

}  // namespace kes::platform

// BSTR strings: allocation, release and conversion between UTF-16 and the ANSI code page 1252.
//
// State: none.
#pragma once

#include <cstdint>
#include <string_view>

#include <kestrel/ole.h>

namespace kes::runtime {

// A text converted to the ANSI code page, in a heap block the caller owns (heap_free).
struct AnsiText {
  char* pointer;  // null when empty or when the allocation failed
  std::uint32_t length;
};

// Largest number of UTF-16 units in a BSTR (its byte length must fit 31 bits).
inline constexpr std::uint32_t kBStrMaxUnits = 0x3FFFFFFEu;

// A new BSTR holding `units` (may be null only when `count` is 0); null on allocation failure or
// when `count` exceeds kBStrMaxUnits.
KesBStr bstr_allocate(const KesOleChar* units, std::uint32_t count) noexcept;
// Releases a BSTR from bstr_allocate; null is ignored.
void bstr_free(KesBStr bstr) noexcept;
// Number of UTF-16 units (0 for null).
std::uint32_t bstr_units(KesBStr bstr) noexcept;
// A new BSTR with the same units (null for null or failure).
KesBStr bstr_copy(KesBStr bstr) noexcept;

// The byte of code page 1252 for a UTF-16 unit; '?' for units the code page lacks.
char ansi_from_unit(KesOleChar unit) noexcept;
// The UTF-16 unit for a byte of code page 1252.
KesOleChar unit_from_ansi(char byte) noexcept;

// Number of ANSI bytes the BSTR converts to: one per unit, a surrogate pair counting once.
std::uint32_t bstr_ansi_length(KesBStr bstr) noexcept;
// Converts to ANSI bytes: one '?' per surrogate pair or stray surrogate. An empty BSTR gives
// {null, 0}; so does a failed allocation, with `*failed` set when given.
AnsiText bstr_to_ansi(KesBStr bstr, bool* failed = nullptr) noexcept;
// A new BSTR from ANSI bytes (null on failure; an empty text gives an empty, non-null BSTR).
KesBStr bstr_from_ansi(std::string_view text) noexcept;

}  // namespace kes::runtime

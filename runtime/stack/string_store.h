// Stores of text into the fixed-size string types of compiled programs, and the small byte
// helpers compiled code calls beside them.
//
// State: none.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace kes::runtime {

// A text handed to a caller who now owns it (a platform heap block, or null with length 0).
struct HeapText {
  char* pointer;
  std::uint32_t length;
};

// Longest text a PSTRING holds: its length byte counts to 255, so sizes above 256 store as 256.
inline constexpr std::uint32_t kPStringMaxSize = 256;

// Each store takes the destination and its size in bytes, then the source and its length. A
// null source makes `length` a signed fill code (0 blank or empty, negative low values, positive
// high values). Nothing is written beyond `size` bytes; source and destination may overlap.

// Fixed STRING: min(size, length) bytes, then spaces to the end. Inline: every pop into a
// STRING ends here, and most of those texts are short.
inline void store_string(char* destination, std::uint32_t size, const char* source,
                         std::uint32_t length) noexcept;
// store_string for any size and the fill codes, kept out of line.
void store_string_general(char* destination, std::uint32_t size, const char* source,
                          std::uint32_t length) noexcept;
// CSTRING: min(size - 1, length) bytes and a zero byte; nothing for size 0.
void store_cstring(char* destination, std::uint32_t size, const char* source,
                   std::uint32_t length) noexcept;
// PSTRING: a length byte, then min(size - 1, length) bytes; nothing for size 0.
void store_pstring(char* destination, std::uint32_t size, const char* source,
                   std::uint32_t length) noexcept;

// Fills `length` bytes with spaces (null is ignored).
void clear_string(char* destination, std::uint32_t length) noexcept;
// Repeats the first `unit` bytes at `destination` until it holds `count` copies of them.
void duplicate_unit(void* destination, std::uint32_t unit, std::uint32_t count) noexcept;
// The length of the text without its trailing spaces (0 for null). Inline: CLIP, the truth
// test and the REAL pop all end here.
inline std::uint32_t clipped_length(const char* text, std::uint32_t length) noexcept;

// A new heap copy of `length` bytes from `source`; {null, 0} for a null source, a length of 0
// or a failed allocation.
HeapText load_text(const char* source, std::uint32_t length) noexcept;

// Reads a REAL from a terminated text: leading white space, an optional sign, digits, an
// optional point and digits, an optional exponent (E or e, optional sign, digits). Reading stops
// at the first character that does not fit; no number gives 0.0; overflow gives an infinity.
double read_real(const char* text) noexcept;

}  // namespace kes::runtime

// The inline definitions of the functions declared inline above.
#include "runtime/stack/string_store_inline.h"

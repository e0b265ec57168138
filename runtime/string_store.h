// Stores of text into the fixed-size string types of compiled programs, and the small byte
// helpers compiled code calls beside them.
//
// State: none.
#pragma once

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
// The length of the text without its trailing spaces (0 for null).
std::uint32_t clipped_length(const char* text, std::uint32_t length) noexcept;

// A new heap copy of `length` bytes from `source`; {null, 0} for a null source, a length of 0
// or a failed allocation.
HeapText load_text(const char* source, std::uint32_t length) noexcept;

// Reads a REAL from a terminated text: leading white space, an optional sign, digits, an
// optional point and digits, an optional exponent (E or e, optional sign, digits). Reading stops
// at the first character that does not fit; no number gives 0.0; overflow gives an infinity.
double read_real(const char* text) noexcept;

// ---- Short copies and fills for the inline stores, for lengths up to kShortStore. Each reads
// all its source bytes before it writes any, so overlapping areas copy as memmove does; no byte
// outside [0, length) is read or written.

inline constexpr std::uint32_t kShortStore = 64;

inline void move_short(char* destination, const char* source, std::uint32_t length) noexcept {
  if (length <= 16) {
    if (length >= 8) {
      std::uint64_t head;
      std::uint64_t tail;
      std::memcpy(&head, source, 8);
      std::memcpy(&tail, source + length - 8, 8);
      std::memcpy(destination, &head, 8);
      std::memcpy(destination + length - 8, &tail, 8);
    } else if (length >= 4) {
      std::uint32_t head;
      std::uint32_t tail;
      std::memcpy(&head, source, 4);
      std::memcpy(&tail, source + length - 4, 4);
      std::memcpy(destination, &head, 4);
      std::memcpy(destination + length - 4, &tail, 4);
    } else if (length != 0) {
      const char first = source[0];
      const char middle = source[length / 2];
      const char last = source[length - 1];
      destination[0] = first;
      destination[length / 2] = middle;
      destination[length - 1] = last;
    }
  } else if (length <= 32) {
    std::uint64_t words[4];
    std::memcpy(&words[0], source, 16);
    std::memcpy(&words[2], source + length - 16, 16);
    std::memcpy(destination, &words[0], 16);
    std::memcpy(destination + length - 16, &words[2], 16);
  } else {
    std::uint64_t words[8];
    std::memcpy(&words[0], source, 32);
    std::memcpy(&words[4], source + length - 32, 32);
    std::memcpy(destination, &words[0], 32);
    std::memcpy(destination + length - 32, &words[4], 32);
  }
}

// kShortStore spaces, the source of the short blank fills.
inline constexpr char kBlankRun[kShortStore + 1] =
    "                                                                ";
static_assert(sizeof(kBlankRun) == kShortStore + 1 && kBlankRun[kShortStore - 1] == ' ');

inline void fill_blanks_short(char* destination, std::uint32_t length) noexcept {
  if (length <= 16) {
    if (length >= 8) {
      std::memcpy(destination, kBlankRun, 8);
      std::memcpy(destination + length - 8, kBlankRun, 8);
    } else if (length >= 4) {
      std::memcpy(destination, kBlankRun, 4);
      std::memcpy(destination + length - 4, kBlankRun, 4);
    } else if (length != 0) {
      destination[0] = ' ';
      destination[length / 2] = ' ';
      destination[length - 1] = ' ';
    }
  } else if (length <= 32) {
    std::memcpy(destination, kBlankRun, 16);
    std::memcpy(destination + length - 16, kBlankRun, 16);
  } else {
    std::memcpy(destination, kBlankRun, 32);
    std::memcpy(destination + length - 32, kBlankRun, 32);
  }
}

inline void store_string(char* destination, std::uint32_t size, const char* source,
                         std::uint32_t length) noexcept {
  if (size - 1 < kShortStore && destination != nullptr && source != nullptr) [[likely]] {
    const std::uint32_t copied = length < size ? length : size;
    move_short(destination, source, copied);
    fill_blanks_short(destination + copied, size - copied);
    return;
  }
  store_string_general(destination, size, source, length);
}

}  // namespace kes::runtime

// The string store's inline stores: short copies and fills, and the vector paths of the hosts that
// have them.
#pragma once

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "runtime/stack/string_store.h"

namespace kes::runtime {

// ---- Short copies and fills for the inline stores, for lengths up to kShortStore. Each reads
// all its source bytes before it writes any, so overlapping areas copy as memmove does; no byte
// outside [0, length) is read or written.

inline constexpr std::uint32_t kShortStore = 64;

// A copy of up to 32 bytes (texts bound for an inline area, and the short cases of
// move_short()).
inline void move_up_to_32(char* destination, const char* source, std::uint32_t length) noexcept {
  if (length > 16) {
    std::uint64_t words[4];
    std::memcpy(&words[0], source, 16);
    std::memcpy(&words[2], source + length - 16, 16);
    std::memcpy(destination, &words[0], 16);
    std::memcpy(destination + length - 16, &words[2], 16);
  } else if (length >= 8) {
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
}

// A copy of up to kShortStore bytes: two overlapping moves of the largest width that fits.
inline void move_short(char* destination, const char* source, std::uint32_t length) noexcept {
  if (length <= 32) {
    move_up_to_32(destination, source, length);
    return;
  }
  std::uint64_t words[8];
  std::memcpy(&words[0], source, 32);
  std::memcpy(&words[4], source + length - 32, 32);
  std::memcpy(destination, &words[0], 32);
  std::memcpy(destination + length - 32, &words[4], 32);
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

inline std::uint32_t clipped_length(const char* text, std::uint32_t length) noexcept {
  if (text == nullptr) return 0;
#if defined(__SSE2__)
  if (length - 8 <= 24) {
    // 8 to 32 bytes, the width of most fields: one bit per byte that is a space, from two
    // overlapping loads (the second ending at the text's end); the highest byte that is not a
    // space ends the clipped text. No branch depends on the text's bytes.
    const __m128i blanks = _mm_set1_epi8(' ');
    std::uint64_t spaces = 0;
    if (length >= 16) {
      const __m128i head = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text));
      const __m128i tail = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + length - 16));
      spaces =
          static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(head, blanks))) |
          std::uint64_t{static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(tail, blanks)))}
              << (length - 16);
    } else {
      // Eight-byte loads leave the upper half zero, which never equals a space.
      const __m128i head = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(text));
      const __m128i tail = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(text + length - 8));
      spaces =
          static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(head, blanks))) |
          std::uint64_t{static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(tail, blanks)))}
              << (length - 8);
    }
    const std::uint64_t others = ~spaces & ((std::uint64_t{1} << length) - 1);
    return static_cast<std::uint32_t>(std::bit_width(others));
  }
#endif
  if constexpr (std::endian::native == std::endian::little) {
    // A word read from the end holds the text's last byte in its highest byte, so the first
    // word that is not all spaces gives the last other byte by its leading zero bits.
    constexpr std::uint64_t kBlanks8 = 0x2020202020202020ull;
    while (length >= 8) {
      std::uint64_t word = 0;
      std::memcpy(&word, text + length - 8, sizeof(word));
      word ^= kBlanks8;
      if (word != 0) return length - static_cast<std::uint32_t>(std::countl_zero(word) / 8);
      length -= 8;
    }
  }
  while (length > 0 && text[length - 1] == ' ')
    --length;
  return length;
}

#if defined(__SSE2__) && defined(__x86_64__)
#define KES_AREA_IMAGES 1
// Short texts held in registers as the image of a 20-byte inline area: bytes 0 to 15 in a
// vector, bytes 16 to 19 in a word. An area written from an image (one 16-byte and one 4-byte
// store) and read back as one (the same two loads) lets each load take its bytes straight from
// the store before it: a load that spans several recent stores, or part of one, has to wait
// until they reach the cache, which costs more than the rest of a short operation.
struct AreaImage {
  __m128i low;         // bytes 0-15
  std::uint32_t high;  // bytes 16-19
};

// The image of `length` bytes, [0, 20], of a text; the bytes past the length are zero. Nothing
// past the text is read.
inline AreaImage load_text_image(const char* text, std::uint32_t length) noexcept {
  if (length >= 16) {
    std::uint32_t tail = 0;  // the last four bytes, of which bytes 16 to length - 1 are kept
    std::memcpy(&tail, text + length - 4, sizeof(tail));
    return {_mm_loadu_si128(reinterpret_cast<const __m128i*>(text)),
            static_cast<std::uint32_t>(std::uint64_t{tail} >> (8 * (20 - length)))};
  }
  std::uint64_t first = 0;
  std::uint64_t second = 0;
  if (length >= 8) {
    std::memcpy(&first, text, sizeof(first));
    std::memcpy(&second, text + length - 8, sizeof(second));
    second = (second >> 1) >> (8 * (16 - length) - 1);  // a shift by 64 for length 8
  } else if (length >= 4) {
    std::uint32_t head = 0;
    std::uint32_t tail = 0;
    std::memcpy(&head, text, sizeof(head));
    std::memcpy(&tail, text + length - 4, sizeof(tail));
    first = head | ((std::uint64_t{tail} >> (8 * (8 - length))) << 32);
  } else if (length != 0) {
    const auto byte = [text](std::uint32_t index) noexcept {
      return std::uint64_t{static_cast<unsigned char>(text[index])} << (8 * index);
    };
    first = byte(0) | byte(length / 2) | byte(length - 1);
  }
  return {_mm_unpacklo_epi64(_mm_cvtsi64_si128(static_cast<long long>(first)),
                             _mm_cvtsi64_si128(static_cast<long long>(second))),
          0};
}

inline AreaImage load_area_image(const unsigned char* area) noexcept {
  std::uint32_t high = 0;
  std::memcpy(&high, area + 16, sizeof(high));
  return {_mm_loadu_si128(reinterpret_cast<const __m128i*>(area)), high};
}

inline void store_area_image(unsigned char* area, const AreaImage& image) noexcept {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(area), image.low);
  std::memcpy(area + 16, &image.high, sizeof(image.high));
}

// Stores the first `length` bytes, [0, 20], of an image into a fixed STRING of `size` bytes,
// [20, 64], padded with spaces. The bytes past the text become spaces in registers, so no
// branch depends on the length.
inline void store_image_padded(char* destination, std::uint32_t size, const AreaImage& image,
                               std::uint32_t length) noexcept {
  const __m128i blanks = _mm_set1_epi8(' ');
  // Spaces from byte 20 to the end first (offsets kept inside the destination); the image's
  // bytes, spaces past the text, then cover bytes 0 to 19.
  const std::uint32_t last = size - 16;
  _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + (last < 20 ? last : 20)), blanks);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + (last < 36 ? last : 36)), blanks);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + last), blanks);
  const __m128i index = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  const __m128i kept = _mm_cmplt_epi8(index, _mm_set1_epi8(static_cast<char>(length)));
  const __m128i low = _mm_or_si128(_mm_and_si128(kept, image.low), _mm_andnot_si128(kept, blanks));
  const std::uint32_t high_bytes = length > 16 ? length - 16 : 0;  // [0, 4]
  const auto high_kept = static_cast<std::uint32_t>((std::uint64_t{1} << (8 * high_bytes)) - 1);
  const std::uint32_t high = (image.high & high_kept) | (0x20202020u & ~high_kept);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(destination), low);
  std::memcpy(destination + 16, &high, sizeof(high));
}
#endif

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

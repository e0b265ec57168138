// Conversions between digit words (eight digit bytes, least significant first) and base 10^8
// limbs, through SSE2 on x86-64, through 64-bit words otherwise (the 32-bit build, whose SSE2
// serves its REAL arithmetic); KES_DECIMAL_SCALAR selects the word version anywhere (the tests
// compare the two).
//
// State: none.
#pragma once

#include <cstdint>
#include <cstring>

#include "numeric/decimal/decimal_value.h"

#if defined(__SSE2__) && defined(__x86_64__) && !defined(KES_DECIMAL_SCALAR)
#define KES_DECIMAL_LIMBS_SSE2 1
#include <emmintrin.h>
#endif

namespace kes::numeric {

// Eight digit bytes (least significant first) as the number they spell, [0, 10^8).
[[gnu::always_inline]] inline std::uint32_t word_to_limb(std::uint64_t word) noexcept {
  word = (word & 0x00FF00FF00FF00FFULL) + ((word >> 8) & 0x00FF00FF00FF00FFULL) * 10;
  word = (word & 0x0000FFFF0000FFFFULL) + ((word >> 16) & 0x0000FFFF0000FFFFULL) * 100;
  return static_cast<std::uint32_t>((word & 0xFFFFFFFFULL) + (word >> 32) * 10000);
}

// A limb below 10^8 as eight digit bytes, least significant first.
[[gnu::always_inline]] inline std::uint64_t limb_to_word(std::uint32_t limb) noexcept {
  const std::uint32_t upper = limb / 10000;
  std::uint64_t word = (limb - upper * 10000) | (static_cast<std::uint64_t>(upper) << 32);
  // Two 32-bit lanes below 10000 become four 16-bit lanes below 100: x / 100 = x * 5243 >> 19.
  std::uint64_t quotient = ((word * 5243) >> 19) & 0x0000007F0000007FULL;
  word = (word - quotient * 100) | (quotient << 16);
  // Four 16-bit lanes below 100 become eight bytes below 10: y / 10 = y * 103 >> 10.
  quotient = ((word * 103) >> 10) & 0x000F000F000F000FULL;
  return (word - quotient * 10) | (quotient << 8);
}

#if KES_DECIMAL_LIMBS_SSE2
inline namespace limbs_sse2 {

// Four limbs below 10^8 (32-bit lanes) as 32 digit bytes: limb i spells bytes 8i to 8i + 7.
[[gnu::always_inline]] inline void limbs_to_digit_pair(__m128i value, __m128i& low,
                                                       __m128i& high) noexcept {
  const __m128i zero = _mm_setzero_si128();
  const __m128i reciprocal = _mm_set1_epi32(109951163);  // x / 10^4 = x * 109951163 >> 40
  const __m128i by100 = _mm_set1_epi16(5243);            // x / 100 = x * 5243 >> 19
  const __m128i by10 = _mm_set1_epi16(6554);             // y / 10 = y * 6554 >> 16, y < 100
  const __m128i even = _mm_srli_epi64(_mm_mul_epu32(value, reciprocal), 40);
  const __m128i odd = _mm_srli_epi64(_mm_mul_epu32(_mm_srli_epi64(value, 32), reciprocal), 40);
  const __m128i upper = _mm_or_si128(even, _mm_slli_epi64(odd, 32));
  const __m128i lower = _mm_sub_epi32(value, _mm_madd_epi16(upper, _mm_set1_epi32(10000)));
  // Sixteen-bit lanes below 10^4, then bytes below 100, then digits.
  const __m128i quads = _mm_or_si128(lower, _mm_slli_epi32(upper, 16));
  const __m128i hundreds = _mm_srli_epi16(_mm_mulhi_epu16(quads, by100), 3);
  const __m128i pairs =
      _mm_or_si128(_mm_sub_epi16(quads, _mm_mullo_epi16(hundreds, _mm_set1_epi16(100))),
                   _mm_slli_epi16(hundreds, 8));
  const __m128i y0 = _mm_unpacklo_epi8(pairs, zero);
  const __m128i y1 = _mm_unpackhi_epi8(pairs, zero);
  const __m128i tens0 = _mm_mulhi_epu16(y0, by10);
  const __m128i tens1 = _mm_mulhi_epu16(y1, by10);
  const __m128i ten = _mm_set1_epi16(10);
  low = _mm_or_si128(_mm_sub_epi16(y0, _mm_mullo_epi16(tens0, ten)), _mm_slli_epi16(tens0, 8));
  high = _mm_or_si128(_mm_sub_epi16(y1, _mm_mullo_epi16(tens1, ten)), _mm_slli_epi16(tens1, 8));
}

// Writes the 32 digit bytes spelt by four limbs below 10^8 (limb i as bytes 8i to 8i + 7) and
// returns their non-zero bytes as bits.
[[gnu::always_inline]] inline std::uint32_t four_limbs_to_words(std::uint32_t l0, std::uint32_t l1,
                                                                std::uint32_t l2, std::uint32_t l3,
                                                                std::uint8_t* out) noexcept {
  __m128i low;
  __m128i high;
  limbs_to_digit_pair(_mm_set_epi32(static_cast<int>(l3), static_cast<int>(l2),
                                    static_cast<int>(l1), static_cast<int>(l0)),
                      low, high);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), low);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), high);
  const __m128i zero = _mm_setzero_si128();
  const auto zeros = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(low, zero))) |
                     static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(high, zero)))
                         << 16;
  return ~zeros;
}

// Four digit words as the limbs they spell, two words to a vector.
[[gnu::always_inline]] inline void four_words_to_limbs(std::uint64_t w0, std::uint64_t w1,
                                                       std::uint64_t w2, std::uint64_t w3,
                                                       std::uint64_t* limbs) noexcept {
  const __m128i low_bytes = _mm_set1_epi16(0x00FF);
  const __m128i ten = _mm_set1_epi16(10);
  const __m128i by_hundred = _mm_set1_epi32(0x00640001);  // (1, 100) per 16-bit pair
  const auto quads = [&](std::uint64_t low, std::uint64_t high) {
    const __m128i bytes = _mm_set_epi64x(static_cast<long long>(high), static_cast<long long>(low));
    const __m128i pairs = _mm_add_epi16(_mm_and_si128(bytes, low_bytes),
                                        _mm_mullo_epi16(_mm_srli_epi16(bytes, 8), ten));
    return _mm_madd_epi16(pairs, by_hundred);
  };
  const __m128i all = _mm_madd_epi16(_mm_packs_epi32(quads(w0, w1), quads(w2, w3)),
                                     _mm_set1_epi32(0x27100001));  // (1, 10000)
  const auto first = static_cast<std::uint64_t>(_mm_cvtsi128_si64(all));
  const auto second = static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(all, all)));
  limbs[0] = first & 0xFFFFFFFFU;
  limbs[1] = first >> 32;
  limbs[2] = second & 0xFFFFFFFFU;
  limbs[3] = second >> 32;
}

// The 64 digit bytes of a clean row as eight limbs: limb k spells bytes 8k to 8k + 7.
[[gnu::always_inline]] inline void row_to_limbs(const std::uint8_t* digits,
                                                std::uint32_t* limbs) noexcept {
  const __m128i low_bytes = _mm_set1_epi16(0x00FF);
  const __m128i ten = _mm_set1_epi16(10);
  const __m128i by_hundred = _mm_set1_epi32(0x00640001);       // (1, 100) per 16-bit pair
  const __m128i by_ten_thousand = _mm_set1_epi32(0x27100001);  // (1, 10000)
  __m128i quads[4];
  for (int half = 0; half < 4; ++half) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(digits + 16 * half));
    // Sixteen-bit lanes below 100, then 32-bit lanes below 10^4.
    const __m128i pairs = _mm_add_epi16(_mm_and_si128(bytes, low_bytes),
                                        _mm_mullo_epi16(_mm_srli_epi16(bytes, 8), ten));
    quads[half] = _mm_madd_epi16(pairs, by_hundred);
  }
  for (int half = 0; half < 2; ++half) {
    const __m128i packed = _mm_packs_epi32(quads[2 * half], quads[2 * half + 1]);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(limbs + 4 * half),
                     _mm_madd_epi16(packed, by_ten_thousand));
  }
}

}  // namespace limbs_sse2
#else
inline namespace limbs_words {

// Writes the 32 digit bytes spelt by four limbs below 10^8 (limb i as bytes 8i to 8i + 7) and
// returns their non-zero bytes as bits.
[[gnu::always_inline]] inline std::uint32_t four_limbs_to_words(std::uint32_t l0, std::uint32_t l1,
                                                                std::uint32_t l2, std::uint32_t l3,
                                                                std::uint8_t* out) noexcept {
  const std::uint32_t limbs[4] = {l0, l1, l2, l3};
  std::uint32_t mask = 0;
  for (int i = 0; i < 4; ++i) {
    const std::uint64_t word = limb_to_word(limbs[i]);
    std::memcpy(out + 8 * i, &word, sizeof word);
    for (int j = 0; j < 8; ++j) {
      if (((word >> (8 * j)) & 0xFF) != 0) mask |= 1u << (8 * i + j);
    }
  }
  return mask;
}

// Four digit words as the limbs they spell.
[[gnu::always_inline]] inline void four_words_to_limbs(std::uint64_t w0, std::uint64_t w1,
                                                       std::uint64_t w2, std::uint64_t w3,
                                                       std::uint64_t* limbs) noexcept {
  limbs[0] = word_to_limb(w0);
  limbs[1] = word_to_limb(w1);
  limbs[2] = word_to_limb(w2);
  limbs[3] = word_to_limb(w3);
}

// The 64 digit bytes of a clean row as eight limbs: limb k spells bytes 8k to 8k + 7.
[[gnu::always_inline]] inline void row_to_limbs(const std::uint8_t* digits,
                                                std::uint32_t* limbs) noexcept {
  for (int k = 0; k < 8; ++k) {
    std::uint64_t word;
    std::memcpy(&word, digits + 8 * k, sizeof word);
    limbs[k] = word_to_limb(word);
  }
}

}  // namespace limbs_words
#endif

}  // namespace kes::numeric

// CRC-32: table slicing by eight for every processor, and folding with carry-less multiplication
// (PCLMULQDQ) on x86 processors that have it.
#include "numeric/maths/crc32.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define KES_CRC32_CLMUL 1
#include <immintrin.h>
// Compiled for carry-less multiplication whatever the target's baseline; called only after the
// processor check.
#define KES_CRC32_TARGET __attribute__((target("pclmul,sse2")))
#else
#define KES_CRC32_CLMUL 0
#endif

namespace kes::numeric {
namespace {

constexpr std::uint32_t kReflectedPolynomial = 0xEDB88320u;
constexpr int kSlices = 8;

using CrcTables = std::array<std::array<std::uint32_t, 256>, kSlices>;

// tables[0] is the byte-at-a-time table; tables[s][b] is the register after byte b followed by
// s zero bytes, which lets eight bytes be folded in one step.
constexpr CrcTables make_tables() {
  CrcTables tables{};
  for (std::uint32_t byte = 0; byte < 256; ++byte) {
    std::uint32_t crc = byte;
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 1u) != 0 ? (crc >> 1) ^ kReflectedPolynomial : crc >> 1;
    }
    tables[0][byte] = crc;
  }
  for (std::size_t slice = 1; slice < kSlices; ++slice) {
    for (std::size_t byte = 0; byte < 256; ++byte) {
      const std::uint32_t previous = tables[slice - 1][byte];
      tables[slice][byte] = (previous >> 8) ^ tables[0][previous & 0xFFu];
    }
  }
  return tables;
}

constexpr CrcTables kTables = make_tables();

std::uint32_t load_le32(const std::uint8_t* bytes) noexcept {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

std::uint32_t update_bytewise(std::uint32_t crc, const std::uint8_t* bytes,
                              std::size_t length) noexcept {
  for (std::size_t index = 0; index < length; ++index) {
    crc = kTables[0][(crc ^ bytes[index]) & 0xFFu] ^ (crc >> 8);
  }
  return crc;
}

std::uint32_t update_sliced(std::uint32_t crc, const std::uint8_t* bytes,
                            std::size_t length) noexcept {
  while (length >= 8) {
    const std::uint32_t low = load_le32(bytes) ^ crc;
    const std::uint32_t high = load_le32(bytes + 4);
    crc = kTables[7][low & 0xFFu] ^ kTables[6][(low >> 8) & 0xFFu] ^
          kTables[5][(low >> 16) & 0xFFu] ^ kTables[4][low >> 24] ^ kTables[3][high & 0xFFu] ^
          kTables[2][(high >> 8) & 0xFFu] ^ kTables[1][(high >> 16) & 0xFFu] ^
          kTables[0][high >> 24];
    bytes += 8;
    length -= 8;
  }
  return update_bytewise(crc, bytes, length);
}

#if KES_CRC32_CLMUL

// Folding constants for the reflected polynomial, each a power of x reduced modulo P and
// bit-reflected: x^(512+32) and x^(512-32) fold 64 bytes ahead, x^(128+32) and x^(128-32) fold
// 16 bytes ahead, x^64 folds 128 bits to 64; then Barrett reduction with P' and mu.
alignas(16) constexpr std::uint64_t kFold4[2] = {0x0154442BD4u, 0x01C6E41596u};
alignas(16) constexpr std::uint64_t kFold1[2] = {0x01751997D0u, 0x00CCAA009Eu};
alignas(16) constexpr std::uint64_t kFold64[2] = {0x0163CD6124u, 0};
alignas(16) constexpr std::uint64_t kBarrett[2] = {0x01DB710641u, 0x01F7011641u};

KES_CRC32_TARGET __m128i load_block(const std::uint8_t* bytes) noexcept {
  __m128i block;
  std::memcpy(&block, bytes, sizeof block);
  return block;
}

KES_CRC32_TARGET __m128i load_constants(const std::uint64_t (&pair)[2]) noexcept {
  __m128i constants;
  std::memcpy(&constants, pair, sizeof constants);
  return constants;
}

// One fold: the two 64-bit halves of `x` multiplied by the constants' halves, added to `next`.
KES_CRC32_TARGET __m128i fold(__m128i x, __m128i constants, __m128i next) noexcept {
  const __m128i low = _mm_clmulepi64_si128(x, constants, 0x00);
  const __m128i high = _mm_clmulepi64_si128(x, constants, 0x11);
  return _mm_xor_si128(_mm_xor_si128(low, high), next);
}

// The register over a multiple of 16 bytes, at least 64.
KES_CRC32_TARGET std::uint32_t update_clmul(std::uint32_t crc, const std::uint8_t* bytes,
                                            std::size_t length) noexcept {
  __m128i x1 = _mm_xor_si128(load_block(bytes), _mm_cvtsi32_si128(static_cast<int>(crc)));
  __m128i x2 = load_block(bytes + 16);
  __m128i x3 = load_block(bytes + 32);
  __m128i x4 = load_block(bytes + 48);
  bytes += 64;
  length -= 64;
  const __m128i fold4 = load_constants(kFold4);
  while (length >= 64) {
    x1 = fold(x1, fold4, load_block(bytes));
    x2 = fold(x2, fold4, load_block(bytes + 16));
    x3 = fold(x3, fold4, load_block(bytes + 32));
    x4 = fold(x4, fold4, load_block(bytes + 48));
    bytes += 64;
    length -= 64;
  }
  const __m128i fold1 = load_constants(kFold1);
  x1 = fold(x1, fold1, x2);
  x1 = fold(x1, fold1, x3);
  x1 = fold(x1, fold1, x4);
  while (length >= 16) {
    x1 = fold(x1, fold1, load_block(bytes));
    bytes += 16;
    length -= 16;
  }

  // 128 bits to 64: the low half times x^(128-32), added to the high half.
  const __m128i low_words = _mm_setr_epi32(-1, 0, -1, 0);
  __m128i x2b = _mm_clmulepi64_si128(x1, fold1, 0x10);
  x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), x2b);
  // 96 bits to 64: the low 32 bits times x^64.
  __m128i shifted = _mm_srli_si128(x1, 4);
  x1 = _mm_and_si128(x1, low_words);
  x1 = _mm_clmulepi64_si128(x1, load_constants(kFold64), 0x00);
  x1 = _mm_xor_si128(x1, shifted);
  // Barrett reduction to 32 bits.
  const __m128i barrett = load_constants(kBarrett);
  __m128i quotient = _mm_and_si128(x1, low_words);
  quotient = _mm_clmulepi64_si128(quotient, barrett, 0x10);
  quotient = _mm_and_si128(quotient, low_words);
  quotient = _mm_clmulepi64_si128(quotient, barrett, 0x00);
  x1 = _mm_xor_si128(x1, quotient);
  return static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(x1, 4)));
}

bool processor_has_clmul() noexcept {
  static const bool has = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse2");
  return has;
}

#endif

}  // namespace

std::uint32_t crc32_update_portable(std::uint32_t crc,
                                    std::span<const std::uint8_t> bytes) noexcept {
  return update_sliced(crc, bytes.data(), bytes.size());
}

std::uint32_t crc32_update(std::uint32_t crc, std::span<const std::uint8_t> bytes) noexcept {
  const std::uint8_t* data = bytes.data();
  std::size_t length = bytes.size();
#if KES_CRC32_CLMUL
  if (length >= 64 && processor_has_clmul()) {
    const std::size_t folded = length & ~static_cast<std::size_t>(15);
    crc = update_clmul(crc, data, folded);
    data += folded;
    length -= folded;
  }
#endif
  return update_sliced(crc, data, length);
}

}  // namespace kes::numeric

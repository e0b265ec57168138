// BFLOAT4 and BFLOAT8 bit moves to and from IEEE doubles.
#include "numeric/storage/bfloat.h"

#include <bit>
#include <cstdint>
#include <span>

namespace kes::numeric {
namespace {

// The REAL exponent field (bias 1023) less the BFLOAT exponent (bias 129 with the implicit bit
// placed one lower): E = e + 894.
constexpr std::int32_t kExponentOffset = 894;
constexpr std::uint64_t kRealFractionMask = (std::uint64_t{1} << 52) - 1;
constexpr std::uint64_t kRealSignBit = std::uint64_t{1} << 63;

// The BFLOAT exponent for a REAL's bits, or -1 when the value stores as zero.
std::int32_t bfloat_exponent(std::uint64_t bits) noexcept {
  if ((bits >> 48) == 0) {
    return -1;  // positive zero (and the tiniest subnormals)
  }
  const std::int32_t exponent = static_cast<std::int32_t>((bits >> 52) & 0x7FFu) - kExponentOffset;
  if (exponent < 0) {
    return -1;  // negative zero, subnormals and values too small for the format
  }
  return exponent > 255 ? 255 : exponent;
}

std::uint64_t real_bits(std::uint64_t exponent, bool negative, std::uint64_t fraction) noexcept {
  return (negative ? kRealSignBit : 0) | (exponent + kExponentOffset) << 52 | fraction;
}

}  // namespace

void store_bfloat8(std::span<std::uint8_t, kBfloat8Size> destination, double value) noexcept {
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
  const std::int32_t exponent = bfloat_exponent(bits);
  std::uint64_t stored = 0;
  if (exponent >= 0) {
    stored = static_cast<std::uint64_t>(exponent) << 56 | ((bits >> 63) << 55) |
             (bits & kRealFractionMask) << 3;
  }
  for (std::size_t index = 0; index < kBfloat8Size; ++index) {
    destination[index] = static_cast<std::uint8_t>(stored >> (8 * index));
  }
}

double load_bfloat8(std::span<const std::uint8_t, kBfloat8Size> source) noexcept {
  if (source[6] == 0 && source[7] == 0) {
    return 0.0;
  }
  std::uint64_t stored = 0;
  for (std::size_t index = 0; index < kBfloat8Size; ++index) {
    stored |= static_cast<std::uint64_t>(source[index]) << (8 * index);
  }
  const std::uint64_t fraction = (stored >> 3) & kRealFractionMask;
  return std::bit_cast<double>(real_bits(stored >> 56, ((stored >> 55) & 1u) != 0, fraction));
}

void store_bfloat4(std::span<std::uint8_t, kBfloat4Size> destination, double value) noexcept {
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
  const std::int32_t exponent = bfloat_exponent(bits);
  std::uint32_t stored = 0;
  if (exponent >= 0) {
    stored = static_cast<std::uint32_t>(exponent) << 24 |
             static_cast<std::uint32_t>(bits >> 63) << 23 |
             static_cast<std::uint32_t>((bits & kRealFractionMask) >> 29);
  }
  for (std::size_t index = 0; index < kBfloat4Size; ++index) {
    destination[index] = static_cast<std::uint8_t>(stored >> (8 * index));
  }
}

double load_bfloat4(std::span<const std::uint8_t, kBfloat4Size> source) noexcept {
  if (source[2] == 0 && source[3] == 0) {
    return 0.0;
  }
  std::uint32_t stored = 0;
  for (std::size_t index = 0; index < kBfloat4Size; ++index) {
    stored |= static_cast<std::uint32_t>(source[index]) << (8 * index);
  }
  const std::uint64_t fraction = static_cast<std::uint64_t>(stored & 0x7FFFFFu) << 29;
  return std::bit_cast<double>(real_bits(stored >> 24, ((stored >> 23) & 1u) != 0, fraction));
}

}  // namespace kes::numeric

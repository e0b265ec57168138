// Unsigned 128-bit integers modulo 2^128, as the decimal engine's divisions by divisors of up to
// 37 digits need them: the compiler's own type where it has one, two 64-bit halves otherwise (the
// 32-bit Windows build). KES_UINT128_PORTABLE selects the halves anywhere (the tests compare
// the two).
//
// State: none.
#pragma once

#include <bit>
#include <cstdint>

#if defined(__SIZEOF_INT128__) && !defined(KES_UINT128_PORTABLE)
#define KES_UINT128_NATIVE 1
#endif

namespace kes::numeric {

#if KES_UINT128_NATIVE
inline namespace uint128_native {

__extension__ using NativeUint128 = unsigned __int128;

class Uint128 {
 public:
  constexpr Uint128() noexcept = default;
  constexpr Uint128(std::uint64_t low) noexcept : value_(low) {}  // NOLINT: widening
  constexpr Uint128(std::uint64_t high, std::uint64_t low) noexcept
      : value_((static_cast<NativeUint128>(high) << 64) | low) {}

  constexpr std::uint64_t low() const noexcept { return static_cast<std::uint64_t>(value_); }
  constexpr std::uint64_t high() const noexcept { return static_cast<std::uint64_t>(value_ >> 64); }

  friend constexpr Uint128 operator+(Uint128 a, Uint128 b) noexcept {
    return from(a.value_ + b.value_);
  }
  friend constexpr Uint128 operator-(Uint128 a, Uint128 b) noexcept {
    return from(a.value_ - b.value_);
  }
  friend constexpr Uint128 operator*(Uint128 a, std::uint64_t b) noexcept {
    return from(a.value_ * b);
  }
  friend constexpr bool operator==(Uint128 a, Uint128 b) noexcept = default;
  friend constexpr bool operator<(Uint128 a, Uint128 b) noexcept { return a.value_ < b.value_; }

 private:
  static constexpr Uint128 from(NativeUint128 value) noexcept {
    Uint128 result;
    result.value_ = value;
    return result;
  }
  NativeUint128 value_ = 0;
};

}  // namespace uint128_native
#else
inline namespace uint128_portable {

class Uint128 {
 public:
  constexpr Uint128() noexcept = default;
  constexpr Uint128(std::uint64_t low) noexcept : low_(low) {}  // NOLINT: widening
  constexpr Uint128(std::uint64_t high, std::uint64_t low) noexcept : low_(low), high_(high) {}

  constexpr std::uint64_t low() const noexcept { return low_; }
  constexpr std::uint64_t high() const noexcept { return high_; }

  friend constexpr Uint128 operator+(Uint128 a, Uint128 b) noexcept {
    const std::uint64_t low = a.low_ + b.low_;
    return {a.high_ + b.high_ + (low < a.low_ ? 1 : 0), low};
  }
  friend constexpr Uint128 operator-(Uint128 a, Uint128 b) noexcept {
    return {a.high_ - b.high_ - (a.low_ < b.low_ ? 1 : 0), a.low_ - b.low_};
  }
  friend constexpr Uint128 operator*(Uint128 a, std::uint64_t b) noexcept {
    // The full product of the low halves from four 32-bit products, then the high half's share.
    const std::uint64_t a0 = a.low_ & 0xFFFFFFFFu;
    const std::uint64_t a1 = a.low_ >> 32;
    const std::uint64_t b0 = b & 0xFFFFFFFFu;
    const std::uint64_t b1 = b >> 32;
    const std::uint64_t p00 = a0 * b0;
    const std::uint64_t p01 = a0 * b1;
    const std::uint64_t p10 = a1 * b0;
    const std::uint64_t middle = (p00 >> 32) + (p01 & 0xFFFFFFFFu) + (p10 & 0xFFFFFFFFu);
    const std::uint64_t low = (middle << 32) | (p00 & 0xFFFFFFFFu);
    const std::uint64_t high = a1 * b1 + (p01 >> 32) + (p10 >> 32) + (middle >> 32);
    return {high + a.high_ * b, low};
  }
  friend constexpr bool operator==(Uint128 a, Uint128 b) noexcept = default;
  friend constexpr bool operator<(Uint128 a, Uint128 b) noexcept {
    return a.high_ != b.high_ ? a.high_ < b.high_ : a.low_ < b.low_;
  }

 private:
  std::uint64_t low_ = 0;
  std::uint64_t high_ = 0;
};

}  // namespace uint128_portable
#endif

// Bits needed to write `value`, [0, 128].
constexpr int bit_width(Uint128 value) noexcept {
  return static_cast<int>(value.high() != 0 ? 64 + std::bit_width(value.high())
                                            : std::bit_width(value.low()));
}

// `value` shifted right by `bits` in [0, 127].
constexpr Uint128 shifted_right(Uint128 value, int bits) noexcept {
  if (bits == 0) return value;
  if (bits >= 64) return Uint128(value.high() >> (bits - 64));
  return {value.high() >> bits, (value.low() >> bits) | (value.high() << (64 - bits))};
}

// True when the top bit is set: a difference that went below zero.
constexpr bool is_wrapped(Uint128 value) noexcept { return (value.high() >> 63) != 0; }

// `value` as the nearest double or one of its two neighbours.
inline double to_double(Uint128 value) noexcept {
  return static_cast<double>(value.high()) * 18446744073709551616.0 +
         static_cast<double>(value.low());
}

}  // namespace kes::numeric

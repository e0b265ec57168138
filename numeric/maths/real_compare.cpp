// REAL and SREAL tolerance, and the conversions that forgive representation error.
#include "numeric/maths/real_compare.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

namespace kes::numeric {
namespace {

constexpr int kRealOneField = 1023;
constexpr int kSrealOneField = 127;
constexpr std::int64_t kIndefinite64 = std::numeric_limits<std::int64_t>::min();
constexpr std::int32_t kIndefinite32 = std::numeric_limits<std::int32_t>::min();

int real_field(double value) noexcept {
  return static_cast<int>((std::bit_cast<std::uint64_t>(value) >> 52) & 0x7FFu);
}
int sreal_field(float value) noexcept {
  return static_cast<int>((std::bit_cast<std::uint32_t>(value) >> 23) & 0xFFu);
}

// The 64-bit truncation as the processor gives it with exceptions masked: the integer
// indefinite (-2^63) for NaN and values outside the range.
std::int64_t truncate_64(double value) noexcept {
  if (value >= -9223372036854775808.0 && value < 9223372036854775808.0) {
    return static_cast<std::int64_t>(value);
  }
  return kIndefinite64;
}

std::int64_t wrapping_add(std::int64_t a, std::int64_t b) noexcept {
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) + static_cast<std::uint64_t>(b));
}

std::uint32_t low_32(std::int64_t value) noexcept {
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(value) & 0xFFFFFFFFu);
}

template <typename Real, bool (*Distinct)(Real, Real)>
std::int32_t to_long(Real value) noexcept {
  // Truncations from -2147483648 to 2147483647: values strictly between -2^31 - 1 and 2^31.
  if (!(value > Real(-2147483649.0) && value < Real(2147483648.0))) {
    return kIndefinite32;
  }
  const std::int64_t n = static_cast<std::int64_t>(value);
  if (static_cast<Real>(n) == value) {
    return static_cast<std::int32_t>(n);  // whole already: nothing to forgive
  }
  const std::int64_t m = value < Real(0) ? n - 1 : n + 1;
  if (m < std::numeric_limits<std::int32_t>::min() ||
      m > std::numeric_limits<std::int32_t>::max()) {
    return static_cast<std::int32_t>(n);
  }
  return static_cast<std::int32_t>(Distinct(value, static_cast<Real>(m)) ? n : m);
}

template <typename Real, bool (*Distinct)(Real, Real)>
std::uint32_t to_ulong(Real value) noexcept {
  const std::int64_t n = truncate_64(static_cast<double>(value));
  if (n == kIndefinite64 || static_cast<Real>(n) == value) {
    // Beyond the 64-bit range the truncation is the indefinite integer, whose low half is 0; a
    // whole value has nothing to forgive (an SREAL of 2^24 or more is always whole, and the
    // tolerance there exceeds 1).
    return low_32(n);
  }
  const std::int64_t m = wrapping_add(n, 1);
  return low_32(Distinct(value, static_cast<Real>(m)) ? n : m);
}

}  // namespace

bool real_distinct(double x, double y) noexcept {
  if (x == y) {
    return false;  // y - x of equal infinities is NaN, which the field test would call distinct
  }
  const int difference = real_field(y - x);
  if (difference == 0) {
    return false;
  }
  const int x_field = real_field(x) == 0 ? kRealOneField : real_field(x);
  const int y_field = real_field(y) == 0 ? kRealOneField : real_field(y);
  return !(difference + kRealToleranceBits < y_field || difference + kRealToleranceBits < x_field);
}

bool sreal_distinct(float x, float y) noexcept {
  if (x == y) {
    return false;
  }
  const int difference = sreal_field(y - x);
  if (difference == 0) {
    return false;
  }
  const int x_field = sreal_field(x) == 0 ? kSrealOneField : sreal_field(x);
  const int y_field = sreal_field(y) == 0 ? kSrealOneField : sreal_field(y);
  return !(difference + kSrealToleranceBits < y_field ||
           difference + kSrealToleranceBits < x_field);
}

std::int32_t real_to_long(double value) noexcept { return to_long<double, real_distinct>(value); }
std::uint32_t real_to_ulong(double value) noexcept {
  return to_ulong<double, real_distinct>(value);
}
std::int32_t sreal_to_long(float value) noexcept { return to_long<float, sreal_distinct>(value); }
std::uint32_t sreal_to_ulong(float value) noexcept {
  return to_ulong<float, sreal_distinct>(value);
}

double real_divide(double a, double b) noexcept {
  if (!real_distinct(b, 0.0)) {
    return 0.0;
  }
  return a / b;
}

}  // namespace kes::numeric

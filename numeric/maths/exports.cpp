// The exported mathematical built-ins: thin wrappers over the REAL comparison, maths, RANDOM,
// BSHIFT and CRC-32 functions.
#include <cmath>
#include <cstdint>
#include <span>

#include <kestrel/maths.h>

#include "numeric/maths/bshift.h"
#include "numeric/maths/crc32.h"
#include "numeric/maths/maths.h"
#include "numeric/maths/random.h"
#include "numeric/maths/real_compare.h"

namespace nm = kes::numeric;

extern "C" int32_t Kes$realdistinct(double x, double y) noexcept {
  return nm::real_distinct(x, y) ? 1 : 0;
}
extern "C" uint32_t Kes$uroundd(double value) noexcept { return nm::real_to_ulong(value); }
extern "C" int32_t Kes$lroundd(double value) noexcept { return nm::real_to_long(value); }
extern "C" uint32_t Kes$uroundf(float value) noexcept { return nm::sreal_to_ulong(value); }
extern "C" int32_t Kes$lroundf(float value) noexcept { return nm::sreal_to_long(value); }

extern "C" double Kes$divide(double a, double b) noexcept { return nm::real_divide(a, b); }
extern "C" double Kes$modulus(double a, double b) noexcept { return nm::real_modulus(a, b); }
extern "C" double Kes$realpower(double x, double y) noexcept { return nm::real_power(x, y); }
extern "C" double Kes$longpower(double x, int32_t n) noexcept { return nm::long_power(x, n); }
extern "C" double Kes$ROUND(double x, double increment) noexcept {
  return nm::real_round(x, increment);
}
extern "C" double Kes$INT(double value) noexcept { return nm::real_integer_part(value); }

extern "C" double Kes$SQRT(double value) noexcept { return std::sqrt(value); }
extern "C" double Kes$LOG10(double value) noexcept { return std::log10(value); }
extern "C" double Kes$LOGE(double value) noexcept { return std::log(value); }
extern "C" double Kes$SIN(double radians) noexcept { return std::sin(radians); }
extern "C" double Kes$COS(double radians) noexcept { return std::cos(radians); }
extern "C" double Kes$TAN(double radians) noexcept { return std::tan(radians); }
extern "C" double Kes$ASIN(double value) noexcept { return std::asin(value); }
extern "C" double Kes$ACOS(double value) noexcept { return std::acos(value); }
extern "C" double Kes$ATAN(double value) noexcept { return std::atan(value); }

extern "C" int32_t Kes$RANDOM(int32_t low, int32_t high) noexcept {
  return nm::random_in_range(low, high);
}

extern "C" int32_t Kes$BSHIFT(int32_t value, int32_t count) noexcept {
  return nm::bit_shift(value, count);
}

extern "C" uint32_t Kes$crc32(const void* buffer, uint32_t length, uint32_t crc) noexcept {
  if (buffer == nullptr) {
    return crc;  // nothing to read, whatever length was claimed
  }
  return nm::crc32_update(crc, std::span(static_cast<const std::uint8_t*>(buffer), length));
}

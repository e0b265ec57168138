// The REAL built-ins: remainder, powers, ROUND and INT.
#include "numeric/maths/maths.h"

#include <cmath>
#include <cstdint>

namespace kes::numeric {
namespace {

// The decimal position of a positive finite increment's leading digit: floor(log10(increment)),
// corrected where the platform's logarithm lands a hair beside an exact power of ten.
int leading_decimal_position(double increment) noexcept {
  // log10 of a positive finite double lies in [-324, 309]; the cast is in range.
  int position = static_cast<int>(std::floor(std::log10(increment)));
  if (std::pow(10.0, position) > increment) {
    --position;
  } else if (std::pow(10.0, position + 1) <= increment) {
    ++position;
  }
  return position;
}

}  // namespace

double real_modulus(double a, double b) noexcept {
  if (b == 0.0) {
    return 0.0;
  }
  return std::fmod(a, b);
}

double real_power(double x, double y) noexcept { return std::pow(x, y); }

double long_power(double x, std::int32_t n) noexcept { return std::pow(x, static_cast<double>(n)); }

double real_round(double x, double increment) noexcept {
  if (x == 0.0 || !(increment > 0.0) || !std::isfinite(x) || !std::isfinite(increment)) {
    return x;
  }
  const double power = std::pow(10.0, leading_decimal_position(increment));
  const double scaled = x / power;
  if (!std::isfinite(scaled)) {
    return x;  // a position so far below x's digits (or a power below the doubles) changes nothing
  }
  if (x > 0.0) {
    return std::trunc(scaled + 0.5) * power;
  }
  return std::trunc(scaled - 0.5) * power;
}

double real_integer_part(double value) noexcept { return std::trunc(value); }

}  // namespace kes::numeric

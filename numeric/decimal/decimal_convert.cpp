// Conversions of working decimal values: whole numbers, REALs, text, literals, packed storage.
#include "numeric/decimal/decimal_convert.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "numeric/decimal/decimal_arith.h"

namespace kes::numeric {
namespace {

constexpr int kTopPosition = kDecimalPositions - 1;
constexpr int kMaxIntegerDigits = 31;
constexpr int kMaxFractionDigits = 32;
constexpr int kRealDigits = 15;
constexpr int kMaxRealDigitsTaken = 16;

constexpr double kPowersOfTen[16] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                     1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

bool is_digit(char c) noexcept { return c >= '0' && c <= '9'; }

// Digit at `position` as the value has it: zero outside low..high and outside the row.
int digit_at(const DecimalEntry& value, int position) noexcept {
  if (position < value.low || position > value.high || position < 0 || position > kTopPosition) {
    return 0;
  }
  return value.digits[position];
}

void from_magnitude(DecimalEntry& value, std::uint32_t magnitude, bool negative) noexcept {
  decimal_set_zero(value);
  int position = kUnitsPosition;
  while (magnitude != 0) {
    value.digits[position++] = static_cast<std::uint8_t>(magnitude % 10);
    magnitude /= 10;
  }
  if (position > kUnitsPosition) value.high = static_cast<std::uint8_t>(position - 1);
  value.sign = negative ? 1 : 0;
}

// Nibble `index` (0 = high nibble of byte 0) of a packed field.
int nibble_at(const std::uint8_t* bytes, int index) noexcept {
  const std::uint8_t byte = bytes[index / 2];
  return (index % 2 == 0) ? byte >> 4 : byte & 0x0F;
}

}  // namespace

void decimal_from_long(DecimalEntry& value, std::int32_t number) noexcept {
  const std::int64_t wide = number;
  from_magnitude(value, static_cast<std::uint32_t>(wide < 0 ? -wide : wide), number < 0);
}

void decimal_from_ulong(DecimalEntry& value, std::uint32_t number) noexcept {
  from_magnitude(value, number, false);
}

void decimal_from_real(DecimalEntry& value, double number) noexcept {
  decimal_set_zero(value);
  if (!std::isfinite(number)) return;
  // d.dddddddddddddde+XX: the 15 significant digits, correctly rounded, and the exponent.
  char text[40];
  const auto result =
      std::to_chars(text, text + sizeof text, number, std::chars_format::scientific, 14);
  const char* cursor = text;
  const bool negative = *cursor == '-';
  if (negative) ++cursor;
  int digits[kRealDigits];
  int count = 0;
  for (; cursor < result.ptr && *cursor != 'e'; ++cursor) {
    if (is_digit(*cursor) && count < kRealDigits) digits[count++] = *cursor - '0';
  }
  int exponent = 0;
  bool exponent_negative = false;
  if (cursor < result.ptr) ++cursor;  // 'e'
  if (cursor < result.ptr && (*cursor == '-' || *cursor == '+')) {
    exponent_negative = *cursor++ == '-';
  }
  for (; cursor < result.ptr; ++cursor)
    exponent = exponent * 10 + (*cursor - '0');
  if (exponent_negative) exponent = -exponent;

  const int first = kUnitsPosition + exponent;  // 31 + decimal point position
  const int low = std::max(first - (count - 1), 0);
  const int high = std::min(first, kTopPosition);
  if (low > high) return;
  for (int position = low; position <= high; ++position) {
    value.digits[position] = static_cast<std::uint8_t>(digits[first - position]);
  }
  value.low = static_cast<std::uint8_t>(low);
  value.high = static_cast<std::uint8_t>(high);
  value.sign = negative ? 1 : 0;
  decimal_normalise(value);
}

void decimal_from_text(DecimalEntry& value, std::string_view text) noexcept {
  std::size_t index = 0;
  const std::size_t size = text.size();
  while (index < size && text[index] == ' ')
    ++index;
  const bool negative = index < size && text[index] == '-';
  if (negative) ++index;
  const std::size_t integer_start = index;
  while (index < size && is_digit(text[index]))
    ++index;
  const std::size_t integer_end = index;
  std::size_t fraction_start = index;
  std::size_t fraction_end = index;
  int exponent = 0;
  if (index < size && (text[index] == '.' || text[index] == ',')) {
    fraction_start = ++index;
    while (index < size && is_digit(text[index]))
      ++index;
    fraction_end = index;
    if (index < size && (text[index] == 'e' || text[index] == 'E')) {
      ++index;
      bool exponent_negative = false;
      if (index < size && (text[index] == '+' || text[index] == '-')) {
        exponent_negative = text[index++] == '-';
      }
      std::uint8_t accumulated = 0;  // wraps modulo 256
      while (index < size && is_digit(text[index])) {
        accumulated = static_cast<std::uint8_t>(accumulated * 10 + (text[index++] - '0'));
      }
      exponent = exponent_negative ? -accumulated : accumulated;
    }
  }

  // Integer digits end at the units position, with one leading zero digit above them.
  std::memset(value.digits, 0, sizeof value.digits);
  const std::size_t integer_count =
      std::min<std::size_t>(integer_end - integer_start, kMaxIntegerDigits);
  const std::size_t fraction_count =
      std::min<std::size_t>(fraction_end - fraction_start, kMaxFractionDigits);
  int position = kUnitsPosition;
  for (std::size_t i = 0; i < integer_count; ++i) {
    value.digits[position++] = static_cast<std::uint8_t>(text[integer_end - 1 - i] - '0');
  }
  value.digits[position] = 0;
  value.high = static_cast<std::uint8_t>(position);
  position = kUnitsPosition - 1;
  for (std::size_t i = 0; i < fraction_count; ++i) {
    value.digits[position--] = static_cast<std::uint8_t>(text[fraction_start + i] - '0');
  }
  value.low = static_cast<std::uint8_t>(position + 1);
  value.sign = negative ? 1 : 0;
  if (exponent != 0) {
    DecimalEntry power;
    decimal_set_digit(power, 1);
    power.digits[kUnitsPosition + 1] = 1;  // ten
    power.digits[kUnitsPosition] = 0;
    power.high = kUnitsPosition + 1;
    decimal_power_signed(power, exponent);
    decimal_multiply(value, power);
  }
}

void decimal_from_constant(DecimalEntry& value, const std::uint8_t* digits, int count, int places,
                           int sign) noexcept {
  decimal_set_zero(value);
  if (digits == nullptr || count <= 0) return;
  const int bottom = kUnitsPosition - places;
  const int low = std::max(bottom, 0);
  const int high = std::min(bottom + count - 1, kTopPosition);
  if (low > high) return;
  for (int position = low; position <= high; ++position) {
    value.digits[position] = static_cast<std::uint8_t>(digits[position - bottom] % 10);
  }
  value.low = static_cast<std::uint8_t>(low);
  value.high = static_cast<std::uint8_t>(high);
  value.sign = sign != 0 ? 1 : 0;
}

std::uint32_t decimal_to_ulong(const DecimalEntry& value) noexcept {
  const int high = std::min<int>(value.high, kTopPosition);
  const int stop = std::max<int>(value.low, kUnitsPosition);
  std::uint32_t result = 0;  // wraps modulo 2^32
  for (int position = high; position >= stop; --position) {
    result = result * 10 + value.digits[position];
  }
  for (int position = kUnitsPosition; position < value.low && position <= high; ++position) {
    result *= 10;
  }
  return result;
}

std::int32_t decimal_to_long(const DecimalEntry& value) noexcept {
  std::uint32_t magnitude = decimal_to_ulong(value);
  if (value.sign != 0) magnitude = 0U - magnitude;
  return static_cast<std::int32_t>(magnitude);
}

double decimal_to_real(const DecimalEntry& value) noexcept {
  DecimalEntry v = value;
  decimal_normalise(v);
  if (decimal_is_zero(v)) return 0.0;
  double result = 0.0;
  int position = v.high;
  int taken = 0;
  for (; taken < kMaxRealDigitsTaken && position >= v.low; ++taken, --position) {
    result = result * 10.0 + v.digits[position];
  }
  int exponent = position + 1 - kUnitsPosition;  // the last digit taken weighs 10^exponent
  if (exponent > 0) {
    while (exponent > 15) {
      result *= 1e16;
      exponent -= 16;
    }
    result *= kPowersOfTen[exponent];
  } else if (exponent < 0) {
    exponent = -exponent;
    while (exponent > 15) {
      result /= 1e16;
      exponent -= 16;
    }
    result /= kPowersOfTen[exponent];
  }
  return v.sign != 0 ? -result : result;
}

void decimal_load_packed(DecimalEntry& value, const std::uint8_t* bytes, PackedKind kind, int size,
                         int places) noexcept {
  decimal_set_zero(value);
  if (bytes == nullptr || size <= 0) return;
  const int digit_count = 2 * size - 1;
  const int bottom = kUnitsPosition - places;
  const int top = bottom + digit_count - 1;
  const int low = std::max(bottom, 0);
  const int high = std::min(top, kTopPosition);
  const int first_digit_nibble = kind == PackedKind::Decimal ? 1 : 0;
  const int sign_nibble = nibble_at(bytes, kind == PackedKind::Decimal ? 0 : digit_count);
  const bool negative = kind == PackedKind::Decimal ? sign_nibble != 0 : sign_nibble == 0xD;
  if (low > high) return;
  for (int position = low; position <= high; ++position) {
    const int digit = nibble_at(bytes, first_digit_nibble + top - position);
    value.digits[position] = static_cast<std::uint8_t>(digit <= 9 ? digit : 0);
  }
  value.low = static_cast<std::uint8_t>(low);
  value.high = static_cast<std::uint8_t>(high);
  value.sign = negative ? 1 : 0;
}

void decimal_store_packed(DecimalEntry value, std::uint8_t* bytes, PackedKind kind, int size,
                          int places) noexcept {
  if (bytes == nullptr || size <= 0) return;
  decimal_round(value, places);
  const int digit_count = 2 * size - 1;
  const int top = kUnitsPosition - places + digit_count - 1;
  const bool negative = value.sign != 0;
  const int first_digit_nibble = kind == PackedKind::Decimal ? 1 : 0;
  const int sign_index = kind == PackedKind::Decimal ? 0 : digit_count;
  const int sign = kind == PackedKind::Decimal ? (negative ? 0xF : 0x0) : (negative ? 0xD : 0xF);
  for (int byte = 0; byte < size; ++byte) {
    int nibbles[2];
    for (int half = 0; half < 2; ++half) {
      const int index = 2 * byte + half;
      nibbles[half] =
          index == sign_index ? sign : digit_at(value, top - (index - first_digit_nibble));
    }
    bytes[byte] = static_cast<std::uint8_t>((nibbles[0] << 4) | nibbles[1]);
  }
}

void decimal_clear_packed(std::uint8_t* bytes, std::uint32_t size, std::uint8_t type_code,
                          std::int8_t fill) noexcept {
  if (bytes == nullptr || size == 0) return;
  if (type_code != kDecimalTypeCode && type_code != kPdecimalTypeCode) return;
  const bool packed_sign_last = type_code == kPdecimalTypeCode;
  if (fill == 0) {
    std::memset(bytes, 0x00, size);
    if (packed_sign_last) bytes[size - 1] = 0x0F;
    return;
  }
  std::memset(bytes, 0x99, size);
  if (packed_sign_last) {
    bytes[size - 1] = fill > 0 ? 0x9F : 0x9D;
  } else {
    bytes[0] &= fill > 0 ? 0x09 : 0x89;
  }
}

}  // namespace kes::numeric

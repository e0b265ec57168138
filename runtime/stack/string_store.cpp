// The text stores behind the string-stack pops and the value descriptors.
#include "runtime/stack/string_store.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstring>

#include "platform/core/heap.h"

namespace kes::runtime {
namespace {
// A null source carries a signed fill code in its length.
std::int32_t fill_code(std::uint32_t length) noexcept { return static_cast<std::int32_t>(length); }
}  // namespace

void store_string_general(char* destination, std::uint32_t size, const char* source,
                          std::uint32_t length) noexcept {
  if (size == 0 || destination == nullptr) return;
  if (source == nullptr) {
    const std::int32_t code = fill_code(length);
    const int fill = code == 0 ? ' ' : (code < 0 ? 0x00 : 0xFF);
    std::memset(destination, fill, size);
    return;
  }
  const std::uint32_t copied = length < size ? length : size;
  std::memmove(destination, source, copied);
  if (copied < size) std::memset(destination + copied, ' ', size - copied);
}

void store_cstring(char* destination, std::uint32_t size, const char* source,
                   std::uint32_t length) noexcept {
  if (size == 0 || destination == nullptr) return;
  if (source == nullptr) {
    if (fill_code(length) > 0) {
      std::memset(destination, 0xFF, size - 1);
      destination[size - 1] = '\0';
    } else {
      destination[0] = '\0';
    }
    return;
  }
  const std::uint32_t copied = length < size - 1 ? length : size - 1;
  std::memmove(destination, source, copied);
  destination[copied] = '\0';
}

void store_pstring(char* destination, std::uint32_t size, const char* source,
                   std::uint32_t length) noexcept {
  if (size == 0 || destination == nullptr) return;
  if (size > kPStringMaxSize) size = kPStringMaxSize;
  const std::uint32_t room = size - 1;  // [0, 255]
  if (source == nullptr) {
    const std::int32_t code = fill_code(length);
    if (code == 0) {
      destination[0] = '\0';
    } else {
      std::memset(destination + 1, code < 0 ? 0x00 : 0xFF, room);
      destination[0] = static_cast<char>(room);
    }
    return;
  }
  const std::uint32_t copied = length < room ? length : room;
  std::memmove(destination + 1, source, copied);
  destination[0] = static_cast<char>(copied);
}

void clear_string(char* destination, std::uint32_t length) noexcept {
  if (destination != nullptr) std::memset(destination, ' ', length);
}

void duplicate_unit(void* destination, std::uint32_t unit, std::uint32_t count) noexcept {
  if (destination == nullptr || unit == 0 || count < 2) return;
  const std::size_t total = std::size_t{unit} * count;
  auto* bytes = static_cast<unsigned char*>(destination);
  // Doubling the copied run gives the same bytes as the forward unit-by-unit copy.
  std::size_t filled = unit;
  while (filled < total) {
    const std::size_t chunk = filled < total - filled ? filled : total - filled;
    std::memcpy(bytes + filled, bytes, chunk);
    filled += chunk;
  }
}

HeapText load_text(const char* source, std::uint32_t length) noexcept {
  if (source == nullptr || length == 0) return {nullptr, 0};
  auto* copy = static_cast<char*>(platform::heap_allocate(length));
  if (copy == nullptr) return {nullptr, 0};
  std::memcpy(copy, source, length);
  return {copy, length};
}

double read_real(const char* text) noexcept {
  if (text == nullptr) return 0.0;
  const char* cursor = text;
  while (*cursor == ' ' || (*cursor >= '\t' && *cursor <= '\r'))
    ++cursor;
  bool negative = false;
  if (*cursor == '+' || *cursor == '-') negative = *cursor++ == '-';
  const char* mantissa = cursor;
  std::size_t digits = 0;
  while (std::isdigit(static_cast<unsigned char>(*cursor)) != 0)
    ++cursor, ++digits;
  if (*cursor == '.') {
    ++cursor;
    while (std::isdigit(static_cast<unsigned char>(*cursor)) != 0)
      ++cursor, ++digits;
  }
  if (digits == 0) return 0.0;
  bool exponent_negative = false;
  if (*cursor == 'E' || *cursor == 'e') {
    const char* exponent = cursor + 1;
    bool sign_negative = false;
    if (*exponent == '+' || *exponent == '-') sign_negative = *exponent++ == '-';
    // An exponent counts only when it has digits; "1e" reads as 1.
    if (std::isdigit(static_cast<unsigned char>(*exponent)) != 0) {
      exponent_negative = sign_negative;
      cursor = exponent;
      while (std::isdigit(static_cast<unsigned char>(*cursor)) != 0)
        ++cursor;
    }
  }
  double value = 0.0;
  const auto [end, error] = std::from_chars(mantissa, cursor, value, std::chars_format::general);
  if (error == std::errc::result_out_of_range) {
    value = exponent_negative ? 0.0 : HUGE_VAL;
  } else if (error != std::errc{} || end != cursor) {
    return 0.0;
  }
  return negative ? -value : value;
}

}  // namespace kes::runtime

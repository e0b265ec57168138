// REAL and LONG as heap texts.
#include "numeric/storage/storage.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <span>
#include <string_view>

#include "platform/core/heap.h"
#include "runtime/stack/string_store.h"

namespace kes::numeric {
namespace {

constexpr int kRealTextDigits = 14;

char upper(char c) noexcept { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

runtime::HeapText heap_copy(std::string_view text) noexcept {
  return runtime::load_text(text.data(), static_cast<std::uint32_t>(text.size()));
}

}  // namespace

std::size_t format_real_text(double value, std::span<char, kRealTextCapacity> out) noexcept {
  if (value == 0.0) {
    out[0] = '0';  // either sign
    return 1;
  }
  if (std::isnan(value)) {
    constexpr std::string_view kNaN = "NAN";
    std::copy(kNaN.begin(), kNaN.end(), out.begin());
    return kNaN.size();
  }
  const std::to_chars_result result = std::to_chars(out.data(), out.data() + out.size(), value,
                                                    std::chars_format::general, kRealTextDigits);
  // Fits: at most sign, 14 digits, point and a four-character exponent.
  const std::size_t length = static_cast<std::size_t>(result.ptr - out.data());
  for (std::size_t index = 0; index < length; ++index) {
    out[index] = upper(out[index]);
  }
  return length;
}

runtime::HeapText real_to_heap_text(double value) noexcept {
  char buffer[kRealTextCapacity];
  const std::size_t length = format_real_text(value, buffer);
  return heap_copy(std::string_view(buffer, length));
}

runtime::HeapText long_to_heap_text(std::int32_t value) noexcept {
  char buffer[12];  // "-2147483648"
  const std::to_chars_result result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return heap_copy(std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer)));
}

void free_heap_text(runtime::HeapText& text) noexcept {
  platform::heap_free(text.pointer);
  text = {nullptr, 0};
}

}  // namespace kes::numeric

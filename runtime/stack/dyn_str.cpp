// DynStr: growth, appends, and the exchanges with the string stack.
#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <utility>

#include <kestrel/dyn_str.h>

#include "platform/core/heap.h"
#include "runtime/stack/string_stack.h"

namespace platform = kes::platform;
namespace rt = kes::runtime;

DynStr::~DynStr() { platform::heap_free(buffer_); }

DynStr::DynStr(DynStr&& other) noexcept
    : buffer_(std::exchange(other.buffer_, nullptr)),
      length_(std::exchange(other.length_, 0)),
      capacity_(std::exchange(other.capacity_, 0)) {}

DynStr& DynStr::operator=(DynStr&& other) noexcept {
  if (this != &other) {
    platform::heap_free(buffer_);
    buffer_ = std::exchange(other.buffer_, nullptr);
    length_ = std::exchange(other.length_, 0);
    capacity_ = std::exchange(other.capacity_, 0);
  }
  return *this;
}

bool DynStr::grow(std::uint64_t length) noexcept {
  if (length < capacity_) return true;
  const std::uint64_t capacity = (length + 16) & ~std::uint64_t{15};
  void* grown = capacity > UINT32_MAX
                    ? nullptr
                    : platform::heap_reallocate(buffer_, static_cast<std::size_t>(capacity));
  if (grown == nullptr) {
    length_ = 0;
    return false;
  }
  buffer_ = static_cast<char*>(grown);
  capacity_ = static_cast<std::uint32_t>(capacity);
  return true;
}

DynStr& DynStr::cat(char character) noexcept { return cat(&character, 1); }

DynStr& DynStr::cat(const char* text) noexcept {
  if (text == nullptr) return *this;
  const std::size_t length = std::strlen(text);
  if (length > UINT32_MAX) {
    length_ = 0;
    return *this;
  }
  return cat(text, static_cast<std::uint32_t>(length));
}

DynStr& DynStr::cat(const char* text, std::uint32_t length) noexcept {
  if (text == nullptr || length == 0) return *this;
  // The source may lie inside this buffer, which growing can move.
  const bool inside = buffer_ != nullptr && text >= buffer_ && text < buffer_ + capacity_;
  const std::size_t offset = inside ? static_cast<std::size_t>(text - buffer_) : 0;
  if (!grow(std::uint64_t{length_} + length)) return *this;
  if (inside) text = buffer_ + offset;
  std::memmove(buffer_ + length_, text, length);
  length_ += length;
  return *this;
}

DynStr& DynStr::cat(const DynStr& other) noexcept {
  if (&other == this) {
    const std::uint32_t length = length_;
    return cat(buffer_, length);
  }
  return cat(other.buffer_, other.length_);
}

DynStr& DynStr::cat(std::int32_t value) noexcept {
  char digits[12];
  const auto result = std::to_chars(digits, digits + sizeof(digits), value);
  return cat(digits, static_cast<std::uint32_t>(result.ptr - digits));
}

DynStr& DynStr::cat(std::uint32_t value) noexcept { return cat(value, 10); }

DynStr& DynStr::cat(std::uint32_t value, int base) noexcept {
  if (base < 2 || base > 36) return *this;
  char digits[33];
  auto result = std::to_chars(digits, digits + sizeof(digits), value, base);
  for (char* digit = digits; digit < result.ptr; ++digit) {
    if (*digit >= 'a' && *digit <= 'z') *digit = static_cast<char>(*digit - 'a' + 'A');
  }
  return cat(digits, static_cast<std::uint32_t>(result.ptr - digits));
}

DynStr& DynStr::cat(double value) noexcept {
  char text[32];
  const auto result =
      std::to_chars(text, text + sizeof(text), value, std::chars_format::general, 15);
  return cat(text, static_cast<std::uint32_t>(result.ptr - text));
}

DynStr& DynStr::catf(const char* format, ...) noexcept {
  if (format == nullptr) return *this;
  std::va_list arguments;
  va_start(arguments, format);
  std::va_list measuring;
  va_copy(measuring, arguments);
  const int needed = std::vsnprintf(nullptr, 0, format, measuring);
  va_end(measuring);
  if (needed > 0 && grow(std::uint64_t{length_} + static_cast<std::uint64_t>(needed))) {
    std::vsnprintf(buffer_ + length_, static_cast<std::size_t>(needed) + 1, format, arguments);
    length_ += static_cast<std::uint32_t>(needed);
  }
  va_end(arguments);
  return *this;
}

void DynStr::kill() noexcept { length_ = 0; }

char* DynStr::cut() noexcept {
  if (buffer_ != nullptr && std::uint64_t{length_} + 4 >= capacity_) {
    char* text = std::exchange(buffer_, nullptr);
    text[length_] = '\0';  // capacity always exceeds the length
    length_ = 0;
    capacity_ = 0;
    return text;
  }
  auto* copy = static_cast<char*>(platform::heap_allocate(std::size_t{length_} + 1));
  if (copy == nullptr) return nullptr;
  if (length_ != 0) std::memcpy(copy, buffer_, length_);
  copy[length_] = '\0';
  length_ = 0;
  return copy;
}

void DynStr::clip() noexcept {
  while (length_ > 0 && buffer_[length_ - 1] == ' ')
    --length_;
}

void DynStr::trunc(std::uint32_t length) noexcept {
  if (length < length_) length_ = length;
}

void DynStr::PadTo(std::uint32_t length) noexcept {
  if (length <= length_ || !grow(length)) return;
  std::memset(buffer_ + length_, ' ', length - length_);
  length_ = length;
}

void DynStr::PushString() const noexcept { rt::push_text(view()); }

void DynStr::PushString(std::uint32_t offset, std::uint32_t length) const noexcept {
  rt::push_text(view().substr(offset < length_ ? offset : length_, length));
}

void DynStr::PopString() noexcept {
  const std::string_view text = rt::top_text();
  length_ = 0;
  if (!text.empty()) cat(text.data(), static_cast<std::uint32_t>(text.size()));
  rt::pop_discard();
}

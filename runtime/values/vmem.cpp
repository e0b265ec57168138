// vmem: the growable memory stream values are serialised into.
#include <cstring>

#include <kestrel/ufo.h>

#include "platform/core/heap.h"

namespace platform = kes::platform;

vmem::vmem(const void* bytes, uint32_t length) noexcept {
  if (length != 0 && (bytes == nullptr || !write(bytes, length))) state_ = kFailed;
}

vmem::~vmem() { platform::heap_free(buffer_); }

bool vmem::reserve(uint64_t length) noexcept {
  if (length <= capacity_) return true;
  if (length > UINT32_MAX - 64) return false;
  uint64_t capacity = capacity_ < 64 ? 64 : capacity_;
  while (capacity < length)
    capacity *= 2;
  if (capacity > UINT32_MAX) capacity = length;
  void* grown = platform::heap_reallocate(buffer_, static_cast<size_t>(capacity));
  if (grown == nullptr) return false;
  buffer_ = static_cast<unsigned char*>(grown);
  capacity_ = static_cast<uint32_t>(capacity);
  return true;
}

bool vmem::write(const void* bytes, uint32_t length) noexcept {
  if (length == 0) return true;
  if (bytes == nullptr || !reserve(uint64_t{length_} + length)) {
    state_ |= kFailed;
    return false;
  }
  std::memcpy(buffer_ + length_, bytes, length);
  length_ += length;
  return true;
}

bool vmem::put_byte(uint8_t value) noexcept { return write(&value, 1); }

bool vmem::put_u32(uint32_t value) noexcept {
  const unsigned char bytes[4] = {
      static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
      static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
  return write(bytes, 4);
}

bool vmem::read(void* bytes, uint32_t length) noexcept {
  if (length > length_ - position_) {
    state_ |= kEnded;
    return false;
  }
  if (length != 0) std::memcpy(bytes, buffer_ + position_, length);
  position_ += length;
  return true;
}

bool vmem::skip(uint32_t length) noexcept {
  if (length > length_ - position_) {
    state_ |= kEnded;
    return false;
  }
  position_ += length;
  return true;
}

bool vmem::get_byte(uint8_t& value) noexcept { return read(&value, 1); }

bool vmem::get_u32(uint32_t& value) noexcept {
  unsigned char bytes[4];
  if (!read(bytes, 4)) return false;
  value = uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
          uint32_t{bytes[3]} << 24;
  return true;
}

bool vmem::peek_byte(uint8_t& value) noexcept {
  if (position_ >= length_) {
    state_ |= kEnded;
    return false;
  }
  value = buffer_[position_];
  return true;
}

void vmem::rewind() noexcept {
  position_ = 0;
  state_ &= static_cast<uint8_t>(~kEnded);
}

void vmem::clear() noexcept {
  length_ = 0;
  position_ = 0;
  state_ = 0;
}

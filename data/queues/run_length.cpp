// The run-length encoder and decoder of stored queue records.
#include "data/queues/run_length.h"

#include <cstring>

namespace kes::data {
namespace {

constexpr std::uint8_t kLiteral = 0x80;
constexpr std::uint8_t kRun = 0x00;

// Appends one block header; false when it would reach `limit`.
bool put_header(std::uint8_t kind, std::size_t count, std::byte* code, std::size_t& length,
                std::size_t limit) noexcept {
  std::uint8_t bytes[5];
  std::size_t used = 0;
  if (count <= 63) {
    bytes[used++] = static_cast<std::uint8_t>(kind | count);
  } else if (count <= 0x1FFF) {
    bytes[used++] = static_cast<std::uint8_t>(kind | 0x40 | (count >> 8));
    bytes[used++] = static_cast<std::uint8_t>(count & 0xFF);
  } else if (count <= 0xFFFF) {
    bytes[used++] = static_cast<std::uint8_t>(kind | 0x7F);
    bytes[used++] = static_cast<std::uint8_t>(count & 0xFF);
    bytes[used++] = static_cast<std::uint8_t>(count >> 8);
  } else {
    bytes[used++] = static_cast<std::uint8_t>(kind | 0x70);
    for (int shift = 0; shift < 32; shift += 8) {
      bytes[used++] = static_cast<std::uint8_t>((count >> shift) & 0xFF);
    }
  }
  if (length + used >= limit) return false;
  std::memcpy(code + length, bytes, used);
  length += used;
  return true;
}

bool put_literal(const std::byte* from, std::size_t count, std::byte* code, std::size_t& length,
                 std::size_t limit) noexcept {
  if (count == 0) return true;
  if (!put_header(kLiteral, count, code, length, limit) || length + count >= limit) return false;
  std::memcpy(code + length, from, count);
  length += count;
  return true;
}

}  // namespace

std::size_t run_length_encode(std::span<const std::byte> record, std::byte* code) noexcept {
  const std::size_t size = record.size();
  std::size_t length = 0;
  std::size_t literal_start = 0;
  std::size_t index = 0;
  while (index < size) {
    std::size_t end = index + 1;
    while (end < size && record[end] == record[index])
      ++end;
    const std::size_t run = end - index;
    if (run >= 4 || (run >= 3 && end == size)) {
      if (!put_literal(record.data() + literal_start, index - literal_start, code, length, size) ||
          !put_header(kRun, run, code, length, size) || length + 1 >= size) {
        return 0;
      }
      code[length++] = record[index];
      literal_start = end;
    }
    index = end;
  }
  if (!put_literal(record.data() + literal_start, size - literal_start, code, length, size)) {
    return 0;
  }
  return length;
}

bool run_length_decode(std::span<const std::byte> code, std::span<std::byte> record) noexcept {
  std::size_t in = 0;
  std::size_t out = 0;
  auto next = [&](std::uint8_t& byte) {
    if (in >= code.size()) return false;
    byte = static_cast<std::uint8_t>(code[in++]);
    return true;
  };
  while (in < code.size()) {
    std::uint8_t header = 0;
    next(header);
    const std::uint8_t kind = header & kLiteral;
    const std::uint8_t value = header & 0x7F;
    std::size_t count = 0;
    std::uint8_t byte = 0;
    if (value < 0x40) {
      count = value;
    } else if (value < 0x60) {
      if (!next(byte)) return false;
      count = (static_cast<std::size_t>(value & 0x1F) << 8) | byte;
    } else if (value == 0x7F || value == 0x70) {
      const int bytes = value == 0x7F ? 2 : 4;
      for (int shift = 0; shift < 8 * bytes; shift += 8) {
        if (!next(byte)) return false;
        count |= static_cast<std::size_t>(byte) << shift;
      }
    } else {
      return false;
    }
    if (count > record.size() - out) return false;
    if (kind == kLiteral) {
      if (count > code.size() - in) return false;
      std::memcpy(record.data() + out, code.data() + in, count);
      in += count;
    } else {
      if (!next(byte)) return false;
      std::memset(record.data() + out, byte, count);
    }
    out += count;
  }
  return out == record.size();
}

}  // namespace kes::data

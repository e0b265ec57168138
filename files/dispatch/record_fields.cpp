// Walking a record's type descriptor field by field.
#include "files/dispatch/record_fields.h"

#include <cstring>

namespace kes::files {
namespace {

constexpr std::uint8_t kSecondName = 0x01;
constexpr std::uint8_t kName = 0x02;
constexpr std::uint8_t kPicture = 0x04;
constexpr std::uint8_t kOffset = 0x08;
constexpr std::uint8_t kDimensions = 0x10;

constexpr std::uint8_t kReference = 31;
constexpr std::uint8_t kGroup = 22;
constexpr std::size_t kNameLimit = 100;
constexpr int kGroupDepth = 16;

class Reader {
 public:
  explicit Reader(const std::uint8_t* at) noexcept : at_(at) {}
  std::uint8_t byte() noexcept { return *at_++; }
  std::uint32_t word() noexcept {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
      value |= static_cast<std::uint32_t>(*at_++) << (8 * i);
    return value;
  }
  // A compact number: value bits of the first byte, then big-endian further bytes.
  std::int32_t compact() noexcept {
    const std::uint8_t first = *at_++;
    std::uint32_t value = first & 0x1Fu;
    for (int i = 0; i < ((first >> 5) & 3); ++i)
      value = value * 256 + *at_++;
    const auto magnitude = static_cast<std::int32_t>(value);
    return (first & 0x80) != 0 ? -magnitude : magnitude;
  }
  std::string_view text() noexcept {
    const char* start = reinterpret_cast<const char*>(at_);
    const std::size_t length = strnlen(start, kNameLimit);
    at_ += length + (length < kNameLimit ? 1 : 0);
    return {start, length};
  }

 private:
  const std::uint8_t* at_;
};

}  // namespace

std::uint32_t fixed_type_size(std::uint8_t type) noexcept {
  switch (type) {
    case 1: return 1;  // BYTE
    case 2:
    case 3: return 2;  // SHORT, USHORT
    case 4:
    case 5:
    case 6:
    case 7:
    case 8: return 4;  // DATE, TIME, LONG, ULONG, SREAL
    case 9:
    case 14: return 8;  // REAL, BFLOAT8
    case 13: return 4;  // BFLOAT4
    case 27: return 4;  // BLOB (its handle)
    default: return 0;
  }
}

std::uint32_t walk_record_fields(const std::uint8_t* descriptor, FieldVisitor visit,
                                 void* context) noexcept {
  if (descriptor == nullptr || descriptor[0] != kGroup) return 0;
  Reader in(descriptor);
  // Enclosing groups: the last field number that belongs to each and its offset.
  std::uint32_t group_last[kGroupDepth];
  std::uint32_t group_offset[kGroupDepth];
  int depth = 0;
  std::uint32_t count = 0;
  std::uint32_t visited = 0;
  for (std::uint32_t number = 0;; ++number) {
    while (depth > 0 && number > group_last[depth - 1])
      --depth;
    if (number > 0 && number > count) break;
    const std::uint8_t type = in.byte();
    const std::uint8_t flags = in.byte();
    std::uint32_t size = fixed_type_size(type);
    std::uint32_t members = 0;
    if (type == kReference) {
      size = in.byte();
    } else if (type == 10 || type == 11) {
      size = in.byte();
      in.byte();  // places
    } else if (type >= 18 && type <= 21) {
      size = static_cast<std::uint32_t>(in.compact());
      if ((flags & kPicture) != 0) in.text();
    } else if (type == kGroup) {
      size = in.word();
      members = in.word();
      in.word();
    } else if (size == 0) {
      break;  // no known size: the rest cannot be read
    }
    std::string_view name = (flags & kName) != 0 ? in.text() : std::string_view();
    const std::string_view second = (flags & kSecondName) != 0 ? in.text() : std::string_view();
    if (!second.empty()) name = second;
    std::uint32_t offset = (flags & kOffset) != 0 ? static_cast<std::uint32_t>(in.compact()) : 0;
    std::uint32_t elements = 1;
    if ((flags & kDimensions) != 0) {
      const std::uint8_t dimensions = in.byte();
      for (std::uint8_t d = 0; d < dimensions; ++d)
        elements *= static_cast<std::uint32_t>(in.compact());
    }
    if (number == 0) {
      count = members;
      continue;
    }
    if (depth > 0) offset += group_offset[depth - 1];
    visit(RecordField{static_cast<std::uint16_t>(number), type, name, offset, size, elements},
          context);
    ++visited;
    if (type == kGroup && members > 0 && depth < kGroupDepth) {
      group_last[depth] = number + members;
      group_offset[depth] = offset;
      ++depth;
    }
  }
  return visited;
}

}  // namespace kes::files

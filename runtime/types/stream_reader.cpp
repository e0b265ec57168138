// ClassDesc: the byte-by-byte reader of type descriptor streams. Every read checks the bound it
// was given, so a damaged descriptor ends in the damaged state, never in a read past its end.
#include <cstring>

#include <kestrel/types.h>

#include "runtime/types/type_codes.h"

bool ClassDesc::fail() noexcept {
  damaged_ = true;
  return false;
}

bool ClassDesc::read_byte(uint8_t& value) noexcept {
  if (damaged_ || position_ >= length_) return fail();
  value = stream_[position_++];
  return true;
}

bool ClassDesc::read_u32(uint32_t& value) noexcept {
  if (damaged_ || position_ > length_ || length_ - position_ < 4) return fail();
  const unsigned char* bytes = stream_ + position_;
  value = std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
          std::uint32_t{bytes[3]} << 24;
  position_ += 4;
  return true;
}

bool ClassDesc::read_compact(int32_t& value) noexcept {
  uint8_t first = 0;
  if (!read_byte(first)) return false;
  const int further = (first >> 5) & 3;
  std::uint32_t magnitude = first & 0x1Fu;
  for (int index = 0; index < further; ++index) {
    uint8_t next = 0;
    if (!read_byte(next)) return false;
    magnitude = magnitude * 256 + next;  // at most 29 bits: no overflow
  }
  value = (first & 0x80) != 0 ? -static_cast<int32_t>(magnitude) : static_cast<int32_t>(magnitude);
  return true;
}

bool ClassDesc::skip_string(const char*& text) noexcept {
  if (damaged_ || position_ >= length_) return fail();
  const auto* start = stream_ + position_;
  const void* end = std::memchr(start, 0, length_ - position_);
  if (end == nullptr) return fail();
  text = reinterpret_cast<const char*>(start);
  position_ += static_cast<uint32_t>(static_cast<const unsigned char*>(end) - start) + 1;
  return true;
}

bool ClassDesc::read_string(char* destination, uint32_t capacity) noexcept {
  const char* text = nullptr;
  if (!skip_string(text)) return false;
  const std::size_t length = std::strlen(text);
  const std::size_t kept = capacity == 0 ? 0 : std::min<std::size_t>(length, capacity - 1);
  std::memcpy(destination, text, kept);
  if (capacity != 0) destination[kept] = '\0';
  return true;
}

namespace {

// The size information of a record, shared by both reads.
struct SizeInfo {
  uint32_t size = 0;
  uint32_t places = 0;
  uint32_t group_fields = 0;
  uint32_t group_extra = 0;
  const char* picture = nullptr;
};

bool read_size(ClassDesc& reader, uint8_t type, uint8_t flags, SizeInfo& info) noexcept {
  uint8_t byte = 0;
  int32_t compact = 0;
  switch (type) {
    case KesTypeStringRef:
      // The byte is the size of the text referred to; the variable itself is a pointer.
      if (!reader.read_byte(byte)) return false;
      info.size = sizeof(void*);
      info.places = byte;
      return true;
    case KesTypeDecimal:
    case KesTypePdecimal:
      if (!reader.read_byte(byte)) return false;
      info.size = byte;
      if (!reader.read_byte(byte)) return false;
      info.places = byte;
      // A packed decimal holds at most 31 digits in 16 bytes: anything else is damage.
      return (info.size >= 1 && info.size <= 16 && info.places <= 31) || reader.fail_now();
    case KesTypeString:
    case KesTypeCstring:
    case KesTypePstring:
    case KesTypeMemo:
      if (!reader.read_compact(compact) || compact < 0) return false;
      info.size = static_cast<uint32_t>(compact);
      if ((flags & KesFieldPicture) != 0 && !reader.skip_string(info.picture)) return false;
      return true;
    case KesTypeGroup:
      return reader.read_u32(info.size) && reader.read_u32(info.group_fields) &&
             reader.read_u32(info.group_extra);
    default: info.size = kes::runtime::type_size(type); return true;
  }
}

// Reads the offset and dimensions; false on damage (a negative offset, more than the supported
// dimensions, a dimension of no elements).
bool read_tail(ClassDesc& reader, uint8_t flags, uint32_t& offset, uint8_t& count,
               uint32_t* dimensions) noexcept {
  int32_t compact = 0;
  offset = 0;
  count = 0;
  if ((flags & KesFieldOffset) != 0) {
    if (!reader.read_compact(compact) || compact < 0) return false;
    offset = static_cast<uint32_t>(compact);
  }
  if ((flags & KesFieldDimensions) != 0) {
    if (!reader.read_byte(count) || count > kKesFieldMaxDimensions) return false;
    for (uint8_t index = 0; index < count; ++index) {
      if (!reader.read_compact(compact) || compact <= 0) return false;
      dimensions[index] = static_cast<uint32_t>(compact);
    }
  }
  return true;
}

}  // namespace

bool ClassDesc::read_field(field_descriptor& field) noexcept {
  field.record = stream_ + position_;
  field.record_room = position_ <= length_ ? length_ - position_ : 0;
  uint8_t type = 0;
  uint8_t flags = 0;
  SizeInfo info;
  if (!read_byte(type) || !read_byte(flags) || !read_size(*this, type, flags, info)) return false;
  field.type = type;
  field.size = info.size;
  field.places = info.places;
  field.picture = info.picture;
  field.group_fields = info.group_fields;
  field.group_extra = info.group_extra;
  field.name[0] = '\0';
  field.second_name[0] = '\0';
  if ((flags & KesFieldName) != 0 && !read_string(field.name, sizeof(field.name))) return false;
  if ((flags & KesFieldSecondName) != 0 &&
      !read_string(field.second_name, sizeof(field.second_name)))
    return false;
  if (!read_tail(*this, flags, field.offset, field.dimension_count, field.dimensions))
    return fail();
  return true;
}

bool ClassDesc::skip_field(KesFieldInfo& info) noexcept {
  info.stream_position = position_;
  uint8_t type = 0;
  uint8_t flags = 0;
  SizeInfo size;
  if (!read_byte(type) || !read_byte(flags) || !read_size(*this, type, flags, size)) return false;
  const char* text = nullptr;
  if ((flags & KesFieldName) != 0 && !skip_string(text)) return false;
  if ((flags & KesFieldSecondName) != 0 && !skip_string(text)) return false;
  uint32_t dimensions[kKesFieldMaxDimensions];
  if (!read_tail(*this, flags, info.offset, info.dimension_count, dimensions)) return fail();
  std::uint64_t elements = 1;
  for (uint8_t index = 0; index < info.dimension_count; ++index) {
    elements *= dimensions[index];
    if (elements > UINT32_MAX) return fail();
  }
  info.type = type;
  info.size = size.size;
  info.places = static_cast<uint8_t>(size.places);
  info.group_fields = size.group_fields;
  info.elements = static_cast<uint32_t>(elements);
  return true;
}

// The builder of type descriptors: writes the compiler's stream encodings for fields declared
// one by one, into a buffer of its own, and then reads the result back like a compiled
// descriptor.
#include <cstring>

#include <kestrel/types.h>

#include "platform/core/heap.h"
#include "runtime/types/type_codes.h"

namespace platform = kes::platform;

namespace {
constexpr int kMaxOpenGroups = 64;
// Largest value a compact number holds: 5 bits and three further bytes.
constexpr uint32_t kCompactLimit = (1u << 29) - 1;
}  // namespace

struct class_descriptor::Builder {
  struct Group {
    uint32_t record;    // record number
    uint32_t position;  // stream position of the record
    uint32_t offset;    // within the enclosing group
    uint32_t elements;  // product of its dimensions
    uint32_t running;   // offset of the next field without SetOffset
    uint32_t end;       // furthest byte reached by a field
  };
  Group groups[kMaxOpenGroups];
  int depth = 0;
  uint32_t records = 0;
  uint32_t dimensions[kKesFieldMaxDimensions];
  uint8_t dimension_count = 0;
  uint32_t next_offset = 0;
  bool has_next_offset = false;
  bool ended = false;
};

namespace {

class Writer {
 public:
  Writer(unsigned char* buffer, uint32_t& length) noexcept : buffer_(buffer), length_(length) {}
  bool byte(uint32_t value) noexcept {
    if (length_ >= class_descriptor::kBuilderCapacity) return false;
    buffer_[length_++] = static_cast<unsigned char>(value);
    return true;
  }
  bool u32(uint32_t value) noexcept {
    return byte(value & 0xFF) && byte((value >> 8) & 0xFF) && byte((value >> 16) & 0xFF) &&
           byte(value >> 24);
  }
  bool compact(uint32_t value) noexcept {
    if (value > kCompactLimit) return false;
    uint32_t further = value < (1u << 5) ? 0 : value < (1u << 13) ? 1 : value < (1u << 21) ? 2 : 3;
    if (!byte((further << 5) | (value >> (8 * further)))) return false;
    for (uint32_t index = further; index > 0; --index) {
      if (!byte((value >> (8 * (index - 1))) & 0xFF)) return false;
    }
    return true;
  }
  bool text(const char* value) noexcept {
    for (; *value != '\0'; ++value) {
      if (!byte(static_cast<unsigned char>(*value))) return false;
    }
    return byte(0);
  }

 private:
  unsigned char* buffer_;
  uint32_t& length_;
};

void patch_u32(unsigned char* at, uint32_t value) noexcept {
  for (int index = 0; index < 4; ++index)
    at[index] = static_cast<unsigned char>(value >> (8 * index));
}

bool valid_name(const char* name) noexcept {
  return name == nullptr || std::strlen(name) <= kKesFieldNameLength;
}

bool is_sized_string(unsigned char type) noexcept {
  return type == KesTypeString || type == KesTypeCstring || type == KesTypePstring ||
         type == KesTypeMemo;
}

}  // namespace

class_descriptor::class_descriptor() noexcept {
  auto* buffer = static_cast<unsigned char*>(platform::heap_allocate(kBuilderCapacity));
  void* state = platform::heap_allocate(sizeof(Builder));
  if (buffer == nullptr || state == nullptr) {
    platform::heap_free(buffer);
    platform::heap_free(state);
    damaged_ = true;
    return;
  }
  buffer[0] = 0;  // a descriptor under construction starts with a zero byte
  stream_ = buffer;
  stream_length_ = 0;
  builder_ = new (state) Builder;
}

// Writes one record at the end of the stream, with the pending offset and dimensions.
bool class_descriptor::write_record(unsigned char type, uint32_t size, unsigned places,
                                    const char* picture, const char* name,
                                    const char* second_name) noexcept {
  Builder& b = *builder_;
  Builder::Group& group = b.groups[b.depth - 1];
  const uint32_t offset = b.has_next_offset ? b.next_offset : group.running;
  uint64_t elements = 1;
  for (uint8_t index = 0; index < b.dimension_count; ++index)
    elements *= b.dimensions[index];
  uint32_t flags = 0;
  if (name != nullptr && name[0] != '\0') flags |= KesFieldName;
  if (second_name != nullptr && second_name[0] != '\0') flags |= KesFieldSecondName;
  if (picture != nullptr && is_sized_string(type)) flags |= KesFieldPicture;
  if (offset != 0) flags |= KesFieldOffset;
  if (b.dimension_count != 0) flags |= KesFieldDimensions;
  auto* buffer = const_cast<unsigned char*>(stream_);
  Writer out(buffer, stream_length_);
  const uint32_t position = stream_length_;
  bool written = out.byte(type) && out.byte(flags);
  if (type == KesTypeStringRef) {
    written = written && size <= 255 && out.byte(size);
    size = sizeof(void*);  // the variable holds a pointer to the text
  } else if (type == KesTypeDecimal || type == KesTypePdecimal) {
    written =
        written && size >= 1 && size <= 255 && places <= 255 && out.byte(size) && out.byte(places);
  } else if (is_sized_string(type)) {
    written = written && out.compact(size);
    if ((flags & KesFieldPicture) != 0) written = written && out.text(picture);
  } else if (type == KesTypeGroup) {
    written = written && out.u32(0) && out.u32(0) && out.u32(0);  // patched at its end
  } else {
    size = kes::runtime::is_pointer_type(type) ? sizeof(void*) : kes::runtime::type_size(type);
  }
  if ((flags & KesFieldName) != 0) written = written && out.text(name);
  if ((flags & KesFieldSecondName) != 0) written = written && out.text(second_name);
  if ((flags & KesFieldOffset) != 0) written = written && out.compact(offset);
  if ((flags & KesFieldDimensions) != 0) {
    written = written && out.byte(b.dimension_count);
    for (uint8_t index = 0; index < b.dimension_count && written; ++index)
      written = out.compact(b.dimensions[index]);
  }
  const uint64_t end = offset + elements * size;
  if (!written || elements > UINT32_MAX || end > UINT32_MAX) return false;
  ++b.records;
  b.dimension_count = 0;
  b.has_next_offset = false;
  if (type == KesTypeGroup) {
    if (b.depth == kMaxOpenGroups) return false;
    b.groups[b.depth++] = {b.records - 1, position, offset, static_cast<uint32_t>(elements), 0, 0};
    return true;
  }
  group.running = static_cast<uint32_t>(end);
  if (group.end < group.running) group.end = group.running;
  return true;
}

bool class_descriptor::StartGroup(const char* name) noexcept {
  if (builder_ == nullptr || builder_->ended || damaged_ || !valid_name(name)) return false;
  Builder& b = *builder_;
  if (b.records == 0) {
    // Record 0: the structure. Its type byte stays 0 until the declaration ends.
    auto* buffer = const_cast<unsigned char*>(stream_);
    Writer out(buffer, stream_length_);
    const bool named = name != nullptr && name[0] != '\0';
    if (!out.byte(0) || !out.byte(named ? KesFieldName : 0) || !out.u32(0) || !out.u32(0) ||
        !out.u32(0) || (named && !out.text(name)))
      return !(damaged_ = true);
    b.records = 1;
    b.groups[0] = {0, 0, 0, 1, 0, 0};
    b.depth = 1;
    b.dimension_count = 0;
    b.has_next_offset = false;
    return true;
  }
  if (b.depth == 0 || !write_record(KesTypeGroup, 0, 0, nullptr, name, nullptr))
    return !(damaged_ = true);
  return true;
}

bool class_descriptor::AddField(unsigned char type, uint32_t size, const char* name,
                                unsigned places, const char* picture,
                                const char* second_name) noexcept {
  if (builder_ == nullptr || builder_->ended || damaged_ || builder_->depth == 0 ||
      type == KesTypeGroup || type == KesTypeEnd || !valid_name(name) || !valid_name(second_name) ||
      !write_record(type, size, places, picture, name, second_name))
    return !(damaged_ = true);
  return true;
}

bool class_descriptor::AddSimple(unsigned char type, const char* name,
                                 const char* second_name) noexcept {
  return AddField(type, kes::runtime::type_size(type), name, 0, nullptr, second_name);
}

bool class_descriptor::AddArray(uint32_t elements) noexcept {
  if (builder_ == nullptr || builder_->ended || damaged_ || elements == 0 ||
      elements > kCompactLimit || builder_->dimension_count == kKesFieldMaxDimensions)
    return !(damaged_ = true);
  builder_->dimensions[builder_->dimension_count++] = elements;
  return true;
}

bool class_descriptor::SetOffset(uint32_t offset) noexcept {
  if (builder_ == nullptr || builder_->ended || damaged_ || offset > kCompactLimit)
    return !(damaged_ = true);
  builder_->next_offset = offset;
  builder_->has_next_offset = true;
  return true;
}

bool class_descriptor::EndGroup() noexcept {
  if (builder_ == nullptr || builder_->ended || damaged_ || builder_->depth < 2)
    return !(damaged_ = true);
  Builder& b = *builder_;
  const Builder::Group group = b.groups[--b.depth];
  auto* buffer = const_cast<unsigned char*>(stream_);
  patch_u32(buffer + group.position + 2, group.end);
  patch_u32(buffer + group.position + 6, b.records - 1 - group.record);
  Builder::Group& parent = b.groups[b.depth - 1];
  const uint64_t end = group.offset + uint64_t{group.elements} * group.end;
  if (end > UINT32_MAX) return !(damaged_ = true);
  parent.running = static_cast<uint32_t>(end);
  if (parent.end < parent.running) parent.end = parent.running;
  return true;
}

bool class_descriptor::EndDeclaration() noexcept {
  if (builder_ == nullptr || builder_->ended || damaged_ || builder_->depth != 1)
    return !(damaged_ = true);
  Builder& b = *builder_;
  auto* buffer = const_cast<unsigned char*>(stream_);
  buffer[0] = KesTypeGroup;
  patch_u32(buffer + 2, b.groups[0].end);
  patch_u32(buffer + 6, b.records - 1);
  b.ended = true;
  b.depth = 0;
  if (!walk(true)) {
    forget_fields();
    return false;
  }
  return true;
}

// class_descriptor: the walk over a type descriptor, its table of fields, names and lookups.
#include <cstring>
#include <new>

#include <kestrel/hash_table.h>
#include <kestrel/types.h>

#include "platform/core/heap.h"
#include "runtime/types/class_cache.h"

namespace platform = kes::platform;

namespace {

constexpr uint32_t kInitialFields = 20;
// Deepest nesting of groups the walk follows; deeper is damage.
constexpr int kMaxNesting = 64;

// Name table element: the number of the first field of that name.
class NameElement : public HashElement {
 public:
  uint32_t field = 0;
};

class NameTable : public HashTable {
 public:
  NameTable() noexcept : HashTable(0) { set_ignore_case(true); }
  static void* operator new(std::size_t size) noexcept { return platform::heap_allocate(size); }
  static void operator delete(void* block) noexcept { platform::heap_free(block); }

 protected:
  HashElement* make_element() noexcept override { return construct<NameElement>(); }
};

// Copies `name` without trailing blanks into `out` (kKesFieldNameLength + 1 bytes); false when
// it is longer than a field name can be.
bool clipped_name(const char* name, char* out) noexcept {
  std::size_t length = std::strlen(name);
  while (length > 0 && name[length - 1] == ' ')
    --length;
  if (length > kKesFieldNameLength) return false;
  std::memcpy(out, name, length);
  out[length] = '\0';
  return true;
}

}  // namespace

CLASS_DESCRIPTOR::~CLASS_DESCRIPTOR() {
  release_attachments();
  platform::heap_free(fields_);
}

bool CLASS_DESCRIPTOR::attach(unsigned slot, void* data, AttachmentRelease release) const noexcept {
  if (slot >= kAttachmentSlots) return false;
  if (attachments_[slot] != nullptr && releases_[slot] != nullptr)
    releases_[slot](attachments_[slot]);
  attachments_[slot] = data;
  releases_[slot] = release;
  return true;
}

void CLASS_DESCRIPTOR::release_attachments() const noexcept {
  for (unsigned slot = 0; slot < kAttachmentSlots; ++slot)
    attach(slot, nullptr, nullptr);
}

void* CLASS_DESCRIPTOR::operator new(size_t size) noexcept { return platform::heap_allocate(size); }
void CLASS_DESCRIPTOR::operator delete(void* block) noexcept { platform::heap_free(block); }

void CLASS_DESCRIPTOR::Error(int code) noexcept { last_error_ = code; }

bool CLASS_DESCRIPTOR::read_last(unsigned field) noexcept {
  if (fields_ == nullptr || field > field_count_) return false;
  ClassDesc reader(stream_, stream_length_);
  reader.seek(fields_[field].stream_position);
  if (!reader.read_field(last_)) return false;  // the walk read it once: only a changed stream
  last_.offset = fields_[field].offset;
  return true;
}

const char* CLASS_DESCRIPTOR::FIELDNAME(unsigned field) noexcept {
  if (!read_last(field)) return "";
  return last_.second_name[0] != '\0' ? last_.second_name : last_.name;
}

const char* CLASS_DESCRIPTOR::FIELDLABEL(unsigned field) noexcept {
  return read_last(field) ? last_.name : "";
}

class_descriptor::class_descriptor(const unsigned char* stream, uint32_t length,
                                   bool with_names) noexcept {
  stream_ = stream;
  stream_length_ = stream == nullptr ? 0 : length;
  if (!walk(with_names)) forget_fields();
}

class_descriptor::~class_descriptor() {
  delete static_cast<NameTable*>(names_);
  if (builder_ != nullptr) {
    // The stream and its nested groups' records may have been cached by address: the memory is
    // about to be released and may be reused for another descriptor.
    for (uint32_t field = 1; fields_ != nullptr && field <= field_count_; ++field) {
      if (fields_[field].type == KesTypeGroup)
        kes::runtime::forget_class_descriptor(stream_ + fields_[field].stream_position);
    }
    kes::runtime::forget_class_descriptor(stream_);
    platform::heap_free(const_cast<unsigned char*>(stream_));
  }
  platform::heap_free(builder_);
}

// A damaged descriptor keeps nothing it read: no fields, not even the structure's record.
void class_descriptor::forget_fields() noexcept {
  damaged_ = true;
  field_count_ = 0;
  platform::heap_free(fields_);
  fields_ = nullptr;
  field_capacity_ = 0;
  delete static_cast<NameTable*>(names_);
  names_ = nullptr;
}

bool class_descriptor::store_field(uint32_t index, const KesFieldInfo& info) noexcept {
  if (fields_ == nullptr || index >= field_capacity_) {
    uint32_t capacity = fields_ == nullptr ? kInitialFields : field_capacity_;
    while (capacity <= index)
      capacity *= 2;
    void* grown = platform::heap_reallocate(fields_, sizeof(KesFieldInfo) * capacity);
    if (grown == nullptr) return out_of_memory();
    fields_ = static_cast<KesFieldInfo*>(grown);
    field_capacity_ = capacity;
  }
  fields_[index] = info;
  return true;
}

// One pass over the records: absolute offsets, parents and the nesting checks. Field numbers
// count records; every record belongs to all groups open around it.
bool class_descriptor::walk(bool with_names) noexcept {
  release_attachments();  // plans made from an earlier reading
  ClassDesc reader(stream_, stream_length_);
  KesFieldInfo info{};
  if (!reader.skip_field(info) || info.type != KesTypeGroup) return false;
  info.parent = 0;
  info.inside_array = 0;
  info.offset = 0;  // a nested group read on its own starts at its own address
  field_count_ = 0;
  short_of_memory_ = false;
  if (!store_field(0, info)) return false;
  const uint32_t total = info.group_fields;
  struct Open {
    uint32_t record;
    uint32_t remaining;
  };
  Open open[kMaxNesting];
  int depth = 0;
  open[depth++] = {0, total};
  for (uint32_t number = 1; number <= total; ++number) {
    while (depth > 0 && open[depth - 1].remaining == 0)
      --depth;
    if (depth == 0) return false;
    const KesFieldInfo& parent = fields_[open[depth - 1].record];
    if (!reader.skip_field(info)) return false;
    const std::uint64_t offset = std::uint64_t{parent.offset} + info.offset;
    const std::uint64_t extent = std::uint64_t{info.size} * info.elements;
    if (offset + extent > UINT32_MAX) return false;
    info.offset = static_cast<uint32_t>(offset);
    info.parent = open[depth - 1].record;
    info.inside_array =
        (parent.inside_array != 0 || (info.parent != 0 && parent.elements > 1)) ? 1 : 0;
    for (int level = 0; level < depth; ++level)
      --open[level].remaining;
    if (info.type == KesTypeGroup && info.group_fields > 0) {
      if (info.group_fields > open[depth - 1].remaining || depth == kMaxNesting) return false;
      open[depth++] = {number, info.group_fields};
    }
    if (!store_field(number, info)) return false;
    field_count_ = number;
  }
  if (with_names) {
    auto* table = new NameTable;
    if (table == nullptr) return out_of_memory();
    names_ = table;
    char name[kKesFieldNameLength + 1];
    for (uint32_t number = 1; number <= field_count_; ++number) {
      if (!clipped_name(FIELDNAME(number), name) || name[0] == '\0') continue;
      auto* element = static_cast<NameElement*>(table->add(name));
      if (element == nullptr) return out_of_memory();
      if (element->field == 0) element->field = number;
    }
  }
  return true;
}

const field_descriptor* class_descriptor::FieldDesc(unsigned field) noexcept {
  if (!read_last(field)) {
    Error(8);
    return nullptr;
  }
  return &last_;
}

unsigned class_descriptor::FieldNum(const char* name) noexcept {
  char key[kKesFieldNameLength + 1];
  const auto* table = static_cast<const NameTable*>(names_);
  const auto* element = table == nullptr || name == nullptr || !clipped_name(name, key)
                            ? nullptr
                            : static_cast<const NameElement*>(table->find(key));
  if (element == nullptr) {
    Error(5);
    return 0;
  }
  return element->field;
}

unsigned class_descriptor::OverField(unsigned field) const noexcept {
  if (fields_ == nullptr || field == 0 || field > field_count_) return 0;
  const KesFieldInfo& over = fields_[field];
  for (unsigned earlier = over.parent + 1; earlier < field; ++earlier) {
    if (fields_[earlier].parent == over.parent && fields_[earlier].offset == over.offset)
      return earlier;
  }
  return 0;
}

const char* class_descriptor::FieldComment(unsigned field) noexcept {
  return read_last(field) ? last_.second_name : "";
}

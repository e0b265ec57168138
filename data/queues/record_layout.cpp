// Record layouts from type descriptors.
#include "data/queues/record_layout.h"

#include <new>

#include <kestrel/types.h>

#include "runtime/types/class_cache.h"

namespace kes::data {
namespace {

std::uint64_t extent(const KesFieldInfo& info) noexcept {
  return std::uint64_t{info.size} * info.elements;
}

bool is_ancestor(const class_descriptor& descriptor, unsigned group, unsigned field) noexcept {
  for (unsigned parent = descriptor.field_info(field)->parent; parent != 0;
       parent = descriptor.field_info(parent)->parent) {
    if (parent == group) return true;
  }
  return false;
}

bool shares_bytes(const class_descriptor& descriptor, unsigned field) noexcept {
  const KesFieldInfo& own = *descriptor.field_info(field);
  const std::uint64_t start = own.offset;
  const std::uint64_t end = start + extent(own);
  for (unsigned other = 1; other <= descriptor.NFields(); ++other) {
    if (other == field) continue;
    const KesFieldInfo& info = *descriptor.field_info(other);
    const std::uint64_t other_end = std::uint64_t{info.offset} + extent(info);
    if (info.offset >= end || other_end <= start) continue;
    if (info.type == KesTypeGroup && is_ancestor(descriptor, other, field)) continue;
    return true;
  }
  return false;
}

// Every element of the field: its own dimensions, those of the groups around it and those of the
// record itself, up to the end of the record.
void add_tails(const class_descriptor& descriptor, unsigned field, unsigned group,
               std::uint64_t base, std::uint64_t record_size, std::vector<StringTail>& tails) {
  const KesFieldInfo& around = *descriptor.field_info(group);
  for (std::uint32_t copy = 0; copy < around.elements; ++copy) {
    const std::uint64_t start = base + std::uint64_t{copy} * around.size;
    if (start >= record_size) return;
    if (group != 0) {
      add_tails(descriptor, field, around.parent, start, record_size, tails);
      continue;
    }
    const KesFieldInfo& own = *descriptor.field_info(field);
    const TailKind kind = own.type == KesTypeCstring ? TailKind::CString : TailKind::PString;
    for (std::uint32_t element = 0; element < own.elements; ++element) {
      const std::uint64_t offset = start + own.offset + std::uint64_t{element} * own.size;
      if (offset >= record_size) break;
      tails.push_back({static_cast<std::uint32_t>(offset), own.size, kind});
    }
  }
}

}  // namespace

LayoutResult read_record_layout(const unsigned char* type, RecordLayout& layout) noexcept {
  class_descriptor* descriptor = runtime::cached_class_descriptor(type);
  if (descriptor == nullptr) return LayoutResult::NoMemory;
  if (descriptor->damaged()) return LayoutResult::Damaged;
  const KesFieldInfo& record = *descriptor->field_info(0);
  const std::uint64_t record_size = extent(record);
  if (record_size > UINT32_MAX) return LayoutResult::Damaged;
  layout.record_size = static_cast<std::uint32_t>(record_size);
  try {
    layout.fields.clear();
    layout.tails.clear();
    layout.fields.reserve(descriptor->NFields());
    for (unsigned field = 1; field <= descriptor->NFields(); ++field) {
      const KesFieldInfo& info = *descriptor->field_info(field);
      layout.fields.push_back({info.offset, info.size, info.type, info.places, info.elements});
      if ((info.type == KesTypeCstring || info.type == KesTypePstring) &&
          !shares_bytes(*descriptor, field)) {
        add_tails(*descriptor, field, info.parent, 0, record_size, layout.tails);
      }
    }
  } catch (const std::bad_alloc&) {
    return LayoutResult::NoMemory;
  }
  return LayoutResult::Read;
}

}  // namespace kes::data

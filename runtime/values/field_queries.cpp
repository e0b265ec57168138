// WHO, WHAT and WHERE over a structure and its class descriptor.
#include "runtime/values/field_queries.h"

#include <cstring>

#include <kestrel/string_stack.h>

#include "runtime/stack/string_stack.h"

namespace kes::runtime {

void push_field_name(class_descriptor* descriptor, unsigned field) noexcept {
  if (descriptor == nullptr || field > descriptor->NFields()) {
    Kes$PushNull();
    return;
  }
  const char* name = descriptor->FIELDNAME(field);
  push_text({name, std::strlen(name)});
}

Ufo* field_value(class_descriptor* descriptor, void* base, std::uint32_t size,
                 unsigned field) noexcept {
  if (descriptor == nullptr || base == nullptr || field > descriptor->NFields()) return nullptr;
  const KesFieldInfo& info = *descriptor->field_info(field);
  if (std::uint64_t{info.offset} + std::uint64_t{info.size} * info.elements > size) return nullptr;
  return descriptor->Field2Ufo(field, base);
}

unsigned field_of(class_descriptor* descriptor, const void* base, const Ufo* ufo) noexcept {
  if (descriptor == nullptr || ufo == nullptr || base == nullptr) return 0;
  const auto* variable = dynamic_cast<const VarUfo*>(ufo);
  const char* address = ufo->Address();
  if (variable == nullptr || address == nullptr) return 0;
  const auto* start = static_cast<const char*>(base);
  if (address < start) return 0;
  const auto offset = static_cast<std::uint64_t>(address - start);
  const unsigned char type =
      ufo->Type() == KesTypeGroup ? static_cast<unsigned char>(KesTypeString) : ufo->Type();
  const std::uint64_t size = ufo->Size();
  for (unsigned field = 1; field <= descriptor->NFields(); ++field) {
    const KesFieldInfo& info = *descriptor->field_info(field);
    const unsigned char field_type =
        info.type == KesTypeGroup ? static_cast<unsigned char>(KesTypeString) : info.type;
    const unsigned char ufo_type =
        ufo->Type() == KesTypeArray && info.dimension_count != 0 ? field_type : type;
    if (info.offset != offset || field_type != ufo_type ||
        std::uint64_t{info.size} * info.elements != size)
      continue;
    if (variable->MatchesField(*descriptor, field) != 0) return field;
  }
  return 0;
}

}  // namespace kes::runtime

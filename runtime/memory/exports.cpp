// Exports of NEW, DISPOSE, CLEAR, deep assignment and ANY references.
#include <cstring>

#include <kestrel/memory.h>
#include <kestrel/string_stack.h>
#include <kestrel/values.h>

#include "platform/core/heap.h"
#include "runtime/memory/memory.h"
#include "runtime/types/class_cache.h"
#include "runtime/values/clear.h"
#include "runtime/values/ufo_factory.h"

namespace platform = kes::platform;
namespace rt = kes::runtime;

extern "C" KES_EXPORT void* Kes$NewMemT(uint32_t size,
                                        const unsigned char* type_descriptor) noexcept {
  void* memory = platform::heap_allocate(size);
  if (memory == nullptr) return nullptr;
  std::memset(memory, 0, size);  // bytes no field covers are not left undefined
  if (const class_descriptor* descriptor = rt::cached_class_descriptor(type_descriptor))
    rt::clear_structure(*descriptor, static_cast<char*>(memory), size, 0);
  return memory;
}

extern "C" KES_EXPORT void* Kes$NewMemB(uint32_t size) noexcept {
  void* memory = platform::heap_allocate(size);
  if (memory != nullptr) std::memset(memory, ' ', size);
  return memory;
}

extern "C" KES_EXPORT void* Kes$NewMemZ(uint32_t size) noexcept {
  void* memory = platform::heap_allocate(size);
  if (memory != nullptr) std::memset(memory, 0, size);
  return memory;
}

extern "C" KES_EXPORT void Kes$DISPOSEref(KesDestructor destructor, void* object) noexcept {
  if (object == nullptr) return;
  if (destructor != nullptr) destructor(object);
  platform::heap_free(object);
}

extern "C" KES_EXPORT void Kes$DISPOSEvref(uint32_t slot, void* object) noexcept {
  if (object == nullptr) return;
  KesDestructor const* table = nullptr;
  std::memcpy(&table, object, sizeof(table));  // the object's first word
  Kes$DISPOSEref(table == nullptr ? nullptr : table[slot], object);
}

extern "C" KES_EXPORT void Kes$CLEAR(void* address, const unsigned char* type_descriptor,
                                     int8_t fill) noexcept {
  const class_descriptor* descriptor = rt::cached_class_descriptor(type_descriptor);
  if (descriptor != nullptr)
    rt::clear_structure(*descriptor, static_cast<char*>(address), descriptor->structure_size(),
                        fill);
}

extern "C" KES_EXPORT void Kes$ClearUfo(Ufo* ufo, int8_t fill) noexcept {
  if (ufo != nullptr) ufo->Clear(static_cast<char>(fill));
}

extern "C" KES_EXPORT void Kes$ClearType(void* address, uint32_t type_code, int8_t fill) noexcept {
  if (!rt::clear_value(address, type_code, 0, 0, fill)) {
    Ufo* ufo = Kes$Mem2Ufo(address, type_code, 0, 0);  // 501 for a code without a class
    if (ufo != nullptr) ufo->Clear(static_cast<char>(fill));
    Ufo::destroy(ufo);
  }
}

extern "C" KES_EXPORT void Kes$DeepAssign(Ufo* destination, Ufo* source,
                                          const unsigned char* pair_list) noexcept {
  if (destination != nullptr && source != nullptr)
    rt::deep_assign(*destination, *source, pair_list);
}

extern "C" KES_EXPORT void Kes$RefAssignAny(Ufo** reference, Ufo* source) noexcept {
  if (reference == nullptr) return;
  Ufo::destroy(*reference);
  *reference = source != nullptr && source->Address() != nullptr ? source->AClone(0) : source;
}

extern "C" KES_EXPORT void Kes$AssignRefUfo(Ufo** reference, const Ufo* source) noexcept {
  if (reference == nullptr) return;
  if (*reference == nullptr) *reference = rt::make_long_value(0);
  if (*reference == nullptr) return;
  if (source != nullptr) {
    (*reference)->Assign(*source);
    return;
  }
  Kes$PushNull();
  (*reference)->Pop();
}

extern "C" KES_EXPORT void Kes$AssignLong2RefUfo(Ufo** reference, int32_t value) noexcept {
  if (reference == nullptr) return;
  if (*reference == nullptr) {
    *reference = rt::make_long_value(value);
    return;
  }
  (*reference)->Assign(static_cast<KesUfoLong>(value));
}

extern "C" KES_EXPORT void Kes$AssignReal2RefUfo(Ufo** reference, double value) noexcept {
  if (reference == nullptr) return;
  if (*reference == nullptr) {
    *reference = rt::make_real_value(value);
    return;
  }
  (*reference)->Assign(value);
}

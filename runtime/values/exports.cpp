// Exports of the value descriptors: factories, generic operations, WHO, WHAT and WHERE.
#include <kestrel/decimal.h>
#include <kestrel/dyn_str.h>
#include <kestrel/pic_desc.h>
#include <kestrel/string_stack.h>
#include <kestrel/values.h>

#include "numeric/pictures/picture_engine.h"
#include "platform/core/heap.h"
#include "runtime/fatal/fatal.h"
#include "runtime/stack/string_stack.h"
#include "runtime/types/class_cache.h"
#include "runtime/types/type_codes.h"
#include "runtime/values/field_queries.h"
#include "runtime/values/ufo_factory.h"

namespace num = kes::numeric;
namespace platform = kes::platform;
namespace rt = kes::runtime;

namespace {

// A picture compiled into a heap block the descriptor owns; null for an invalid picture.
Ufo* owned_picture_ufo(const char* picture, void* address, bool own_storage) noexcept {
  auto* compiled = static_cast<PicDesc*>(platform::heap_allocate(sizeof(PicDesc)));
  if (compiled == nullptr) return nullptr;
  num::compile_picture(*compiled, picture);
  compiled->source = nullptr;  // the caller's text need not outlive the descriptor
  Ufo* ufo = rt::make_picture_ufo(compiled, address, own_storage, true);
  if (ufo == nullptr) platform::heap_free(compiled);
  return ufo;
}

}  // namespace

extern "C" KES_EXPORT Ufo* Kes$Mem2Ufo(void* address, uint32_t type_code, uint32_t size,
                                       uint32_t clone) noexcept {
  if (!rt::has_ufo_class(type_code))
    rt::fatal(rt::RuntimeError::InternalAssertion, "String Stack Error");
  const bool packed = type_code == KesTypeDecimal || type_code == KesTypePdecimal;
  return rt::make_ufo(address, type_code, packed ? (size & 0xFF) : size,
                      packed ? ((size >> 8) & 0xFF) : 0, clone != 0);
}

extern "C" KES_EXPORT Ufo* Kes$Group2Ufo(void* address,
                                         const unsigned char* type_descriptor) noexcept {
  return rt::make_group_ufo(address, type_descriptor, false);
}

extern "C" KES_EXPORT Ufo* Kes$ArrayOfUfo(Ufo* element, uint32_t count) noexcept {
  return rt::make_array_ufo(element, count);
}

extern "C" KES_EXPORT Ufo* Kes$PictureUfo(const char* picture) noexcept {
  return owned_picture_ufo(picture, nullptr, true);
}

extern "C" KES_EXPORT Ufo* Kes$Picture2Ufo(const char* picture, void* address) noexcept {
  return owned_picture_ufo(picture, address, false);
}

extern "C" KES_EXPORT Ufo* Kes$Long2Ufo(int32_t value) noexcept {
  return rt::make_long_value(value);
}

extern "C" KES_EXPORT Ufo* Kes$Real2Ufo(double value) noexcept {
  return rt::make_real_value(value);
}

extern "C" KES_EXPORT Ufo* Kes$Stack2Ufo(void) noexcept {
  Ufo* ufo = rt::make_long_value(0);
  if (ufo == nullptr) {
    Kes$STACKpop();
    return nullptr;
  }
  ufo->Pop();
  return ufo;
}

extern "C" KES_EXPORT Ufo* Kes$DStack2Ufo(void) noexcept {
  Ufo* ufo = rt::make_long_value(0);
  if (ufo == nullptr) {
    (void)Kes$DPopLong();
    return nullptr;
  }
  ufo->DPop();
  return ufo;
}

extern "C" KES_EXPORT Ufo* Kes$CloneUfo(const Ufo* ufo, int32_t mode) noexcept {
  if (ufo == nullptr) return nullptr;
  if (mode == 1) {
    Ufo* value = rt::make_long_value(0);
    if (value != nullptr) value->Assign(*ufo);
    return value;
  }
  return ufo->AClone(mode == 2 ? 1 : 0);
}

extern "C" KES_EXPORT void Kes$AssignUfo(Ufo* destination, const Ufo* source) noexcept {
  if (destination != nullptr && source != nullptr) destination->Assign(*source);
}

extern "C" KES_EXPORT void Kes$AssignLong2Ufo(Ufo* ufo, int32_t value) noexcept {
  if (ufo != nullptr) ufo->Assign(static_cast<KesUfoLong>(value));
}

extern "C" KES_EXPORT void Kes$Stack2UfoC(Ufo* ufo) noexcept {
  if (ufo != nullptr) {
    ufo->Pop();
  } else {
    Kes$STACKpop();
  }
}

extern "C" KES_EXPORT void Kes$PushUfo(const Ufo* ufo) noexcept {
  if (ufo != nullptr) {
    ufo->Push();
  } else {
    Kes$PushNull();
  }
}

extern "C" KES_EXPORT int32_t Kes$Ufo2Long(const Ufo* ufo) noexcept {
  return ufo == nullptr ? 0 : static_cast<int32_t>(ufo->Long());
}

extern "C" KES_EXPORT double Kes$Ufo2Real(const Ufo* ufo) noexcept {
  return ufo == nullptr ? 0.0 : ufo->Real();
}

extern "C" KES_EXPORT uint32_t Kes$SizeUfo(const Ufo* ufo) noexcept {
  return ufo == nullptr ? 0 : ufo->Size();
}

extern "C" KES_EXPORT void* Kes$AddressUfo(const Ufo* ufo) noexcept {
  return ufo == nullptr ? nullptr : ufo->Address();
}

extern "C" KES_EXPORT Ufo* Kes$SelectUfo(const Ufo* ufo, uint32_t element) noexcept {
  return ufo == nullptr ? nullptr : ufo->Select(element);
}

extern "C" KES_EXPORT Ufo* Kes$SelectUfo2(const Ufo* ufo, uint32_t start, uint32_t end) noexcept {
  return ufo == nullptr ? nullptr : ufo->Select(start, end);
}

extern "C" KES_EXPORT Ufo* Kes$DesignateUfo(const Ufo* ufo, uint32_t field) noexcept {
  return ufo == nullptr ? nullptr : ufo->Designate(field);
}

extern "C" KES_EXPORT void Kes$BindG(Ufo* ufo) noexcept {
  if (ufo != nullptr) ufo->Bind();
}

extern "C" KES_EXPORT int32_t Kes$UfoCompareN(const Ufo* ufo) noexcept {
  return ufo == nullptr || ufo->Null() != 0 ? 0 : 1;
}

extern "C" KES_EXPORT int32_t Kes$Ufodistinct(const Ufo* a, const Ufo* b) noexcept {
  if (a == nullptr) return -Kes$UfoCompareN(b);
  if (b == nullptr) return Kes$UfoCompareN(a);
  return a->Distincts(*b);
}

extern "C" KES_EXPORT int32_t Kes$Ufodistincti(const Ufo* a, const Ufo* b) noexcept {
  if (a != nullptr && b != nullptr && a->BaseType() == KesTypeString &&
      b->BaseType() == KesTypeString) {
    a->Push();
    b->Push();
    return rt::compare_top_ignoring_case();
  }
  return Kes$Ufodistinct(a, b);
}

extern "C" KES_EXPORT int32_t Kes$UfoRealDiff(const Ufo* ufo, double d) noexcept {
  if (ufo == nullptr) return d >= 0 ? -1 : 1;
  return ufo->Distincts(d);
}

extern "C" KES_EXPORT int32_t Kes$IsUfoString(const Ufo* ufo) noexcept {
  return ufo != nullptr && rt::is_string_type(ufo->Type()) ? 1 : 0;
}

extern "C" KES_EXPORT void Kes$FreeUfo(Ufo* ufo) noexcept { Ufo::destroy(ufo); }

extern "C" KES_EXPORT void Kes$FreeUpUfo(Ufo* ufo) noexcept {
  if (ufo != nullptr) ufo->Free();
}

extern "C" KES_EXPORT void Kes$CONVERTOEMTOANSI(Ufo* ufo) noexcept {
  if (ufo != nullptr) ufo->OEMANSITRANS();
}

extern "C" KES_EXPORT void Kes$CONVERTANSITOOEM(Ufo* ufo) noexcept {
  if (ufo != nullptr) ufo->ANSIOEMTRANS();
}

extern "C" KES_EXPORT void Kes$WHO(void*, uint32_t, const unsigned char* type_descriptor,
                                   uint32_t field) noexcept {
  rt::push_field_name(rt::cached_class_descriptor(type_descriptor), field);
}

extern "C" KES_EXPORT Ufo* Kes$WHAT(void* address, uint32_t size,
                                    const unsigned char* type_descriptor, uint32_t field) noexcept {
  return rt::field_value(rt::cached_class_descriptor(type_descriptor), address, size, field);
}

extern "C" KES_EXPORT int32_t Kes$WHERE(void* address, uint32_t,
                                        const unsigned char* type_descriptor,
                                        const Ufo* ufo) noexcept {
  if (ufo == nullptr) return 0;
  return static_cast<int32_t>(
      rt::field_of(rt::cached_class_descriptor(type_descriptor), address, ufo));
}

DynStr& DynStr::cat(const Ufo& value) noexcept {
  value.Push();
  rt::convert_to_text(1);
  const std::string_view text = rt::top_text();
  cat(text.data(), static_cast<uint32_t>(text.size()));
  rt::pop_discard();
  return *this;
}

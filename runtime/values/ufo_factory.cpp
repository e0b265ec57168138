// Making value descriptors by type code.
#include "runtime/values/ufo_factory.h"

#include <new>

#include <kestrel/ole.h>

#include "runtime/types/type_codes.h"

namespace kes::runtime {
namespace {

template <typename Descriptor>
Ufo* plain(void* address, std::uint32_t size, bool clone) noexcept {
  auto* ufo = new Descriptor;
  if (ufo != nullptr && !ufo->Init(address, size, clone ? 1 : 0)) {
    Ufo::destroy(ufo);
    return nullptr;
  }
  return ufo;
}

template <typename Descriptor>
Ufo* packed(void* address, std::uint32_t size, std::uint32_t places, bool clone) noexcept {
  auto* ufo = new Descriptor;
  if (ufo != nullptr && !ufo->InitDecimal(address, size, places, clone ? 1 : 0)) {
    Ufo::destroy(ufo);
    return nullptr;
  }
  return ufo;
}

// OLE values own what they hold: a copy is made by AClone, never by copying the bytes.
template <typename Descriptor>
Ufo* ole(void* address, std::uint32_t size, bool clone) noexcept {
  Ufo* ufo = plain<Descriptor>(address, size, false);
  if (ufo == nullptr || !clone) return ufo;
  Ufo* copy = ufo->AClone(1);
  Ufo::destroy(ufo);
  return copy;
}

Ufo* reference(void* address, std::uint32_t type, std::uint32_t size, bool clone) noexcept {
  auto* ufo = new RefUfo;
  if (ufo != nullptr &&
      !ufo->InitRef(address, static_cast<unsigned char>(type), size, clone ? 1 : 0)) {
    Ufo::destroy(ufo);
    return nullptr;
  }
  return ufo;
}

}  // namespace

bool has_ufo_class(std::uint32_t type_code) noexcept {
  switch (type_code) {
    case KesTypeByte:
    case KesTypeShort:
    case KesTypeUshort:
    case KesTypeDate:
    case KesTypeTime:
    case KesTypeLong:
    case KesTypeUlong:
    case KesTypeSreal:
    case KesTypeReal:
    case KesTypeDecimal:
    case KesTypePdecimal:
    case KesTypeBfloat4:
    case KesTypeBfloat8:
    case KesTypeAny:
    case KesTypeString:
    case KesTypeCstring:
    case KesTypePstring:
    case KesTypeStringRef:
    case KesTypeBString:
    case KesTypeAString:
    case KesTypeVariant: return true;
    default: return false;
  }
}

Ufo* make_ufo(void* address, std::uint32_t type_code, std::uint32_t size, std::uint32_t places,
              bool clone) noexcept {
  const std::uint32_t fixed = type_size(type_code);
  switch (type_code) {
    case KesTypeByte: return plain<ByteUfo>(address, fixed, clone);
    case KesTypeShort: return plain<ShortUfo>(address, fixed, clone);
    case KesTypeUshort: return plain<UshortUfo>(address, fixed, clone);
    case KesTypeDate: return plain<DateUfo>(address, fixed, clone);
    case KesTypeTime: return plain<TimeUfo>(address, fixed, clone);
    case KesTypeLong: return plain<LongUfo>(address, fixed, clone);
    case KesTypeUlong: return packed<UlongUfo>(address, fixed, 0, clone);
    case KesTypeSreal: return plain<FloatUfo>(address, fixed, clone);
    case KesTypeReal: return plain<RealUfo>(address, fixed, clone);
    case KesTypeBfloat4: return plain<Bfloat4Ufo>(address, fixed, clone);
    case KesTypeBfloat8: return plain<Bfloat8Ufo>(address, fixed, clone);
    case KesTypeDecimal: return packed<DecimalUfo>(address, size, places, clone);
    case KesTypePdecimal: return packed<PdecimalUfo>(address, size, places, clone);
    case KesTypeString: return plain<StringUfo>(address, size, clone);
    case KesTypeCstring: return plain<CstringUfo>(address, size, clone);
    case KesTypePstring: return plain<PstringUfo>(address, size, clone);
    case KesTypeAny:
    case KesTypeStringRef: return reference(address, type_code, size, clone);
    case KesTypeAString: return plain<AStringUfo>(address, sizeof(void*), clone);
    case KesTypeBString: return ole<BStringUfo>(address, sizeof(KesBStr), clone);
    case KesTypeVariant: return ole<VariantUfo>(address, sizeof(KesVariant), clone);
    default: return nullptr;
  }
}

namespace {

template <typename Descriptor>
Ufo* place(ScalarUfoRoom& room, void* address, std::uint32_t size) noexcept {
  static_assert(sizeof(Descriptor) <= sizeof(room.bytes));
  auto* ufo = ::new (room.bytes) Descriptor;
  ufo->Init(address, size, 0);
  return ufo;
}

template <typename Descriptor>
Ufo* place_packed(ScalarUfoRoom& room, void* address, std::uint32_t size,
                  std::uint32_t places) noexcept {
  static_assert(sizeof(Descriptor) <= sizeof(room.bytes));
  auto* ufo = ::new (room.bytes) Descriptor;
  ufo->InitDecimal(address, size, places, 0);
  return ufo;
}

}  // namespace

Ufo* place_scalar_ufo(ScalarUfoRoom& room, void* address, std::uint32_t type_code,
                      std::uint32_t size, std::uint32_t places) noexcept {
  const std::uint32_t fixed = type_size(type_code);
  switch (type_code) {
    case KesTypeByte: return place<ByteUfo>(room, address, fixed);
    case KesTypeShort: return place<ShortUfo>(room, address, fixed);
    case KesTypeUshort: return place<UshortUfo>(room, address, fixed);
    case KesTypeDate: return place<DateUfo>(room, address, fixed);
    case KesTypeTime: return place<TimeUfo>(room, address, fixed);
    case KesTypeLong: return place<LongUfo>(room, address, fixed);
    case KesTypeUlong: return place_packed<UlongUfo>(room, address, fixed, 0);
    case KesTypeSreal: return place<FloatUfo>(room, address, fixed);
    case KesTypeReal: return place<RealUfo>(room, address, fixed);
    case KesTypeBfloat4: return place<Bfloat4Ufo>(room, address, fixed);
    case KesTypeBfloat8: return place<Bfloat8Ufo>(room, address, fixed);
    case KesTypeDecimal: return place_packed<DecimalUfo>(room, address, size, places);
    case KesTypePdecimal: return place_packed<PdecimalUfo>(room, address, size, places);
    case KesTypeString: return place<StringUfo>(room, address, size);
    case KesTypeCstring: return place<CstringUfo>(room, address, size);
    case KesTypePstring: return place<PstringUfo>(room, address, size);
    default: return nullptr;
  }
}

bool assigns_as_bytes(std::uint32_t type_code) noexcept {
  switch (type_code) {
    case KesTypeByte:
    case KesTypeShort:
    case KesTypeUshort:
    case KesTypeLong:
    case KesTypeUlong:
    case KesTypeReal:
    case KesTypeString: return true;
    default: return false;
  }
}

Ufo* make_group_ufo(void* address, const unsigned char* type_descriptor, bool clone,
                    std::uint32_t length) noexcept {
  auto* ufo = new GroupUfo;
  if (ufo != nullptr && !ufo->InitGroup(address, type_descriptor, clone ? 1 : 0, length) &&
      ufo->descriptor() == nullptr) {
    Ufo::destroy(ufo);
    return nullptr;
  }
  return ufo;
}

Ufo* make_array_ufo(Ufo* element, std::uint32_t count) noexcept {
  if (element == nullptr) return nullptr;
  auto* ufo = new ArrayUfo;
  if (ufo == nullptr) {
    Ufo::destroy(element);
    return nullptr;
  }
  if (!ufo->InitArray(element, count)) {
    Ufo::destroy(ufo);  // destroys the element too
    return nullptr;
  }
  return ufo;
}

Ufo* make_long_value(std::int32_t value) noexcept {
  auto* ufo = new ValueUfo;
  if (ufo != nullptr) ufo->Assign(static_cast<KesUfoLong>(value));
  return ufo;
}

Ufo* make_real_value(double value) noexcept {
  auto* ufo = new ValueUfo;
  if (ufo != nullptr) ufo->Assign(value);
  return ufo;
}

}  // namespace kes::runtime

// CLEAR's fill table. Every class's Clear and the group walk use this one table.
#include "runtime/values/clear.h"

#include <cstring>

#include <kestrel/decimal.h>
#include <kestrel/string_stack.h>
#include <kestrel/ufo.h>

#include "runtime/values/ufo_factory.h"

namespace kes::runtime {
namespace {

void put_le(void* address, std::uint64_t value, int bytes) noexcept {
  auto* out = static_cast<unsigned char*>(address);
  for (int index = 0; index < bytes; ++index)
    out[index] = static_cast<unsigned char>(value >> (8 * index));
}

// Lowest, zero and highest bit patterns of the fixed-size types, little-endian.
void put_extreme(void* address, int bytes, int fill, std::uint64_t lowest,
                 std::uint64_t highest) noexcept {
  put_le(address, fill == 0 ? 0 : fill < 0 ? lowest : highest, bytes);
}

}  // namespace

bool clear_value(void* address, std::uint32_t type_code, std::uint32_t size, std::uint32_t places,
                 int fill) noexcept {
  (void)places;
  if (address == nullptr) return true;
  auto* bytes = static_cast<unsigned char*>(address);
  const auto code = static_cast<std::uint32_t>(fill);  // the stores read a null source's code
  switch (type_code) {
    case KesTypeString: Kes$storestr(static_cast<char*>(address), size, nullptr, code); return true;
    case KesTypeCstring:
      Kes$storecstr(static_cast<char*>(address), size, nullptr, code);
      return true;
    case KesTypePstring:
      Kes$storepstr(static_cast<char*>(address), size, nullptr, code);
      return true;
    case KesTypeByte: put_extreme(address, 1, fill, 0, 0xFF); return true;
    case KesTypeShort: put_extreme(address, 2, fill, 0x8000, 0x7FFF); return true;
    case KesTypeUshort: put_extreme(address, 2, fill, 0, 0xFFFF); return true;
    case KesTypeLong: put_extreme(address, 4, fill, 0x80000000u, 0x7FFFFFFFu); return true;
    case KesTypeUlong:
    case KesTypeDate: put_extreme(address, 4, fill, 0, 0xFFFFFFFFu); return true;
    case KesTypeTime:
      // 23:59:59.99 as hundredths, seconds, minutes, hours.
      put_extreme(address, 4, fill, 0, 0x173B3B63u);
      return true;
    case KesTypeSreal: put_extreme(address, 4, fill, 0xFF7FFFFFu, 0x7F7FFFFFu); return true;
    case KesTypeReal:
      // Slightly inside the largest double: the stored files' extremes end in E3.
      put_extreme(address, 8, fill, 0xFFEFFFFFFFFFFFE3u, 0x7FEFFFFFFFFFFFE3u);
      return true;
    case KesTypeBfloat4:
      std::memset(address, fill == 0 ? 0 : 0xFF, 4);
      if (fill > 0) bytes[2] = 127;
      return true;
    case KesTypeBfloat8:
      std::memset(address, fill == 0 ? 0 : 0xFF, 8);
      if (fill > 0) bytes[6] = 127;
      return true;
    case KesTypeDecimal:
    case KesTypePdecimal:
      Kes$ClearDec(address, size, static_cast<uint8_t>(type_code), static_cast<int8_t>(fill));
      return true;
    default: return false;
  }
}

namespace {

struct ClearWalk {
  const class_descriptor& descriptor;
  char* base;
  std::uint32_t size;
  int fill;

  void clear_field(const KesFieldInfo& info, std::uint64_t offset) const noexcept {
    if (offset + info.size > size) return;
    char* address = base + offset;
    if (clear_value(address, info.type, info.size, info.places, fill)) return;
    Ufo* ufo = make_ufo(address, info.type, info.size, info.places, false);
    if (ufo == nullptr) return;
    ufo->Clear(static_cast<char>(fill));
    Ufo::destroy(ufo);
  }

  // Fields first to last (record numbers), their offsets moved by `shift` bytes (the element of
  // the enclosing dimensioned groups).
  void clear_range(std::uint32_t first, std::uint32_t last, std::uint64_t shift,
                   int depth) const noexcept {
    for (std::uint32_t number = first; number <= last; ++number) {
      const KesFieldInfo& info = *descriptor.field_info(number);
      if (info.type == KesTypeGroup) {
        const std::uint32_t end = number + info.group_fields;
        if (info.elements > 1 && depth < 64) {
          for (std::uint32_t element = 1; element < info.elements; ++element)
            clear_range(number + 1, end, shift + std::uint64_t{element} * info.size, depth + 1);
        }
        continue;  // element 1's fields follow as records of their own
      }
      for (std::uint32_t element = 0; element < info.elements; ++element)
        clear_field(info, shift + info.offset + std::uint64_t{element} * info.size);
    }
  }
};

}  // namespace

void clear_structure(const class_descriptor& descriptor, char* base, std::uint32_t size,
                     int fill) noexcept {
  if (base == nullptr || descriptor.NFields() == 0) return;
  const ClearWalk walk{descriptor, base, size, fill};
  walk.clear_range(1, descriptor.NFields(), 0, 0);
}

}  // namespace kes::runtime

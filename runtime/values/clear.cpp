// CLEAR's fill table. Every class's Clear and the group walk use this one table.
#include "runtime/values/clear.h"

#include <cstring>

#include <kestrel/decimal.h>
#include <kestrel/string_stack.h>
#include <kestrel/ufo.h>

#include "platform/core/heap.h"
#include "runtime/values/ufo_factory.h"

namespace platform = kes::platform;

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
    // A string reference's descriptor takes the size of the text it refers to.
    const std::uint32_t described = info.type == KesTypeStringRef ? info.places : info.size;
    Ufo* ufo = make_ufo(address, info.type, described, info.places, false);
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
        // Elements from the first that starts past the structure on are left alone, so a
        // damaged count costs no more than the structure's bytes.
        if (info.elements > 1 && depth < 64 && info.size != 0) {
          for (std::uint32_t element = 1; element < info.elements; ++element) {
            const std::uint64_t moved = shift + std::uint64_t{element} * info.size;
            if (info.offset + moved >= size) break;
            clear_range(number + 1, end, moved, depth + 1);
          }
        }
        continue;  // element 1's fields follow as records of their own
      }
      if (info.size == 0) continue;
      for (std::uint32_t element = 0; element < info.elements; ++element) {
        const std::uint64_t at = shift + info.offset + std::uint64_t{element} * info.size;
        if (at + info.size > size) break;
        clear_field(info, at);
      }
    }
  }
};

// A structure's CLEAR for one fill code, made once: the bytes the walk writes, as an image of
// the whole structure and the runs of bytes that some field covers. Bytes no field covers are
// left alone, as the walk leaves them.
struct ClearPlan {
  std::uint32_t run_count;  // kWalk: some field needs its descriptor; walk every time
  struct Run {
    std::uint32_t offset;
    std::uint32_t length;
  };
  Run* runs;             // inside the same block
  unsigned char* image;  // inside the same block
};
constexpr std::uint32_t kWalk = UINT32_MAX;
// Largest structure given an image; larger ones are walked.
constexpr std::uint32_t kMaxImage = 1u << 16;

bool has_fill_rule(std::uint32_t type_code) noexcept {
  return (type_code >= KesTypeByte && type_code <= KesTypePdecimal) ||
         type_code == KesTypeBfloat4 || type_code == KesTypeBfloat8 ||
         (type_code >= KesTypeString && type_code <= KesTypePstring);
}

void release_plan(void* plan) noexcept { platform::heap_free(plan); }

ClearPlan* make_plan(const class_descriptor& descriptor, int fill) noexcept {
  const std::uint32_t size = descriptor.structure_size();
  bool walk_only = size > kMaxImage;
  for (unsigned field = 1; field <= descriptor.NFields() && !walk_only; ++field) {
    const KesFieldInfo& info = *descriptor.field_info(field);
    walk_only = info.type != KesTypeGroup && !has_fill_rule(info.type);
  }
  // Two copies cleared from opposite bytes: the bytes that come out equal are written.
  auto* low = static_cast<unsigned char*>(platform::heap_allocate(size + 1));
  auto* high = static_cast<unsigned char*>(platform::heap_allocate(size + 1));
  std::uint32_t runs = 0;
  if (!walk_only && low != nullptr && high != nullptr) {
    std::memset(low, 0, size);
    std::memset(high, 0xFF, size);
    ClearWalk{descriptor, reinterpret_cast<char*>(low), size, fill}.clear_range(
        1, descriptor.NFields(), 0, 0);
    ClearWalk{descriptor, reinterpret_cast<char*>(high), size, fill}.clear_range(
        1, descriptor.NFields(), 0, 0);
    for (std::uint32_t at = 0; at < size; ++at) {
      if (low[at] == high[at] && (at == 0 || low[at - 1] != high[at - 1])) ++runs;
    }
  }
  const std::size_t block = sizeof(ClearPlan) + sizeof(ClearPlan::Run) * runs + size;
  auto* plan = static_cast<ClearPlan*>(platform::heap_allocate(block));
  if (plan != nullptr) {
    plan->run_count = walk_only || low == nullptr || high == nullptr ? kWalk : runs;
    plan->runs = reinterpret_cast<ClearPlan::Run*>(plan + 1);
    plan->image = reinterpret_cast<unsigned char*>(plan->runs + runs);
    if (plan->run_count != kWalk) {
      std::memcpy(plan->image, low, size);
      std::uint32_t run = 0;
      for (std::uint32_t at = 0; at < size; ++at) {
        if (low[at] != high[at]) continue;
        if (at == 0 || low[at - 1] != high[at - 1]) plan->runs[run++] = {at, 0};
        ++plan->runs[run - 1].length;
      }
    }
  }
  platform::heap_free(low);
  platform::heap_free(high);
  return plan;
}

}  // namespace

void clear_structure(const class_descriptor& descriptor, char* base, std::uint32_t size,
                     int fill) noexcept {
  if (base == nullptr || descriptor.NFields() == 0) return;
  const unsigned slot = fill < 0 ? 0 : fill == 0 ? 1 : 2;
  if (size == descriptor.structure_size()) {
    auto* plan = static_cast<const ClearPlan*>(descriptor.attachment(slot));
    if (plan == nullptr) {
      plan = make_plan(descriptor, fill);
      if (plan != nullptr) descriptor.attach(slot, const_cast<ClearPlan*>(plan), release_plan);
    }
    if (plan != nullptr && plan->run_count != kWalk) {
      for (std::uint32_t run = 0; run < plan->run_count; ++run) {
        const ClearPlan::Run& bytes = plan->runs[run];
        std::memcpy(base + bytes.offset, plan->image + bytes.offset, bytes.length);
      }
      return;
    }
  }
  const ClearWalk walk{descriptor, base, size, fill};
  walk.clear_range(1, descriptor.NFields(), 0, 0);
}

}  // namespace kes::runtime

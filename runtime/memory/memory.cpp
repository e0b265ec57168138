// Deep assignment: the compiler's field-pair list run over two groups' value descriptors.
#include "runtime/memory/memory.h"

#include <bit>
#include <cstring>
#include <typeinfo>

#include "platform/core/heap.h"
#include "runtime/values/ufo_factory.h"

namespace kes::runtime {
namespace {

namespace platform = kes::platform;

std::uint32_t read_u32(const unsigned char* bytes) noexcept {
  return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
         std::uint32_t{bytes[3]} << 24;
}

// A field of a group that a walk can reach without a descriptor of its own: not a group, not
// dimensioned, inside the group's storage.
const KesFieldInfo* plain_field(const GroupUfo* group, std::uint32_t number) noexcept {
  if (group == nullptr || number == 0 || group->Address() == nullptr) return nullptr;
  const class_descriptor* descriptor = group->descriptor();
  const KesFieldInfo* info = descriptor == nullptr ? nullptr : descriptor->field_info(number);
  if (info == nullptr || info->type == KesTypeGroup || info->elements != 1 ||
      std::uint64_t{info->offset} + info->size > group->Size())
    return nullptr;
  return info;
}

// Assigns one pair through descriptors on the machine stack, or by copying bytes when the two
// fields are of one type that assignment copies unchanged. False when either field needs a
// descriptor of its own.
bool assign_plain(const GroupUfo* to_group, std::uint32_t to, const GroupUfo* from_group,
                  std::uint32_t from) noexcept {
  const KesFieldInfo* target = plain_field(to_group, to);
  const KesFieldInfo* value = plain_field(from_group, from);
  if (target == nullptr || value == nullptr) return false;
  char* target_address = to_group->Address() + target->offset;
  char* value_address = from_group->Address() + value->offset;
  if (target->type == value->type && target->size == value->size &&
      target->places == value->places && assigns_as_bytes(target->type)) {
    std::memmove(target_address, value_address, target->size);
    return true;
  }
  ScalarUfoRoom target_room;
  ScalarUfoRoom value_room;
  Ufo* target_ufo =
      place_scalar_ufo(target_room, target_address, target->type, target->size, target->places);
  Ufo* value_ufo =
      place_scalar_ufo(value_room, value_address, value->type, value->size, value->places);
  if (target_ufo == nullptr || value_ufo == nullptr) return false;
  target_ufo->Assign(*value_ufo);
  return true;
}

// The list as read: its pairs.
struct PairList {
  bool wide;
  std::uint32_t count;
  const unsigned char* pairs;
  std::uint32_t to(std::uint32_t index) const noexcept {
    return wide ? read_u32(pairs + 8 * index) : pairs[2 * index];
  }
  std::uint32_t from(std::uint32_t index) const noexcept {
    return wide ? read_u32(pairs + 8 * index + 4) : pairs[2 * index + 1];
  }
  std::uint32_t length() const noexcept { return (wide ? 8 : 2) + count * (wide ? 8 : 2); }
};

PairList read_list(const unsigned char* pair_list) noexcept {
  const bool wide = pair_list[0] == 1;
  return {wide, wide ? read_u32(pair_list + 4) : pair_list[1], pair_list + (wide ? 8 : 2)};
}

// One pair the general way: descriptors on the machine stack, or the fields' own descriptors.
void assign_pair(Ufo& destination, Ufo& source, const GroupUfo* to_group,
                 const GroupUfo* from_group, std::uint32_t to, std::uint32_t from) noexcept {
  if (assign_plain(to_group, to, from_group, from)) return;
  Ufo* target = to == 0 ? &destination : destination.Designate(to);
  Ufo* value = from == 0 ? &source : source.Designate(from);
  if (target != nullptr && value != nullptr) target->Assign(*value);
  if (to != 0) Ufo::destroy(target);
  if (from != 0) Ufo::destroy(value);
}

// True when a packed decimal's bytes are what storing its own value writes: the sign nibble as
// the engine writes it, every digit nibble a digit, and no negative zero. Only then is copying
// its bytes the same as assigning it.
// Nonzero when some nibble of the word is not a digit: a nibble above 9 carries into the bit
// above it when 6 is added, and the nibbles are taken apart first so that no carry crosses a
// byte.
constexpr std::uint64_t nibble_faults(std::uint64_t word) noexcept {
  constexpr std::uint64_t kLow = 0x0F0F0F0F0F0F0F0Full;
  constexpr std::uint64_t kSix = 0x0606060606060606ull;
  constexpr std::uint64_t kCarry = 0x1010101010101010ull;
  return (((word & kLow) + kSix) | (((word >> 4) & kLow) + kSix)) & kCarry;
}

// How to tell, from the source's bytes, whether a packed decimal is canonical: its bytes are
// what storing its own value writes (the sign nibble as the engine writes it, every digit
// nibble a digit, no negative zero). Only then is copying its bytes the same as assigning it.
// Two 8-byte windows inside the structure cover the field; the masks keep the digit nibbles.
struct PackedCheck {
  std::uint32_t to_offset;
  std::uint32_t from_offset;
  std::uint32_t windows[2];  // offsets in the source structure
  std::uint64_t masks[2];
  std::uint32_t sign_at;    // byte of the sign nibble
  std::uint16_t signs;      // bit n set: sign nibble n is written by the engine
  std::uint8_t negative;    // the negative sign nibble the engine writes
  std::uint8_t sign_shift;  // 4: high nibble, 0: low nibble
  std::uint8_t size;
  std::uint8_t places;
  std::uint8_t type;
};

std::uint64_t load_word(const char* bytes) noexcept {
  static_assert(std::endian::native == std::endian::little);
  std::uint64_t word = 0;
  std::memcpy(&word, bytes, sizeof(word));
  return word;
}

// The check of a packed field of `size` bytes at `offset` in a structure of `structure` bytes;
// false when the structure is too small for the windows.
bool make_check(PackedCheck& check, std::uint32_t offset, std::uint32_t size, std::uint8_t type,
                std::uint32_t structure) noexcept {
  if (structure < 8 || size == 0 || size > 16) return false;
  check.windows[0] = offset + 8 <= structure ? offset : structure - 8;
  check.windows[1] = size <= 8 ? check.windows[0] : offset + size - 8;  // unused up to 8 bytes
  check.sign_at = type == KesTypeDecimal ? offset : offset + size - 1;
  check.sign_shift = type == KesTypeDecimal ? 4 : 0;
  check.negative = type == KesTypeDecimal ? 0xF : 0xD;
  check.signs = type == KesTypeDecimal ? (1u << 0 | 1u << 0xF) : (1u << 0xD | 1u << 0xF);
  check.masks[1] = 0;
  for (int window = 0; window < (size <= 8 ? 1 : 2); ++window) {
    std::uint64_t mask = 0;
    for (std::uint32_t at = offset; at < offset + size; ++at) {
      if (at < check.windows[window] || at >= check.windows[window] + 8) continue;
      std::uint64_t byte_mask = 0xFF;
      if (at == check.sign_at) byte_mask = check.sign_shift == 4 ? 0x0F : 0xF0;
      mask |= byte_mask << (8 * (at - check.windows[window]));
    }
    check.masks[window] = mask;
  }
  return true;
}

// Nonzero when the field is not canonical; without branches on the bytes, so that a run's
// checks add up cheaply.
[[gnu::always_inline]] inline std::uint64_t packed_faults(const PackedCheck& check,
                                                          const char* from_base) noexcept {
  const std::uint64_t first = load_word(from_base + check.windows[0]) & check.masks[0];
  const std::uint64_t second =
      check.masks[1] == 0 ? 0 : load_word(from_base + check.windows[1]) & check.masks[1];
  const unsigned sign =
      (static_cast<unsigned char>(from_base[check.sign_at]) >> check.sign_shift) & 0x0Fu;
  const std::uint64_t wrong_sign = ((check.signs >> sign) & 1u) ^ 1u;
  const std::uint64_t negative_zero = static_cast<std::uint64_t>(sign == check.negative) &
                                      static_cast<std::uint64_t>((first | second) == 0);
  return nibble_faults(first) | nibble_faults(second) | wrong_sign | negative_zero;
}

// The group behind a descriptor, or null; the common case without a walk of the class tree.
const GroupUfo* as_group(const Ufo& ufo) noexcept {
  if (typeid(ufo) == typeid(GroupUfo)) return static_cast<const GroupUfo*>(&ufo);
  return dynamic_cast<const GroupUfo*>(&ufo);
}

// A list of pairs between two structures, made once: runs of fields that copy as bytes, merged
// where they follow each other on both sides, with the packed decimals among them to check; every
// other pair assigned the general way.
struct CopyStep {
  std::uint32_t to_offset;
  std::uint32_t from_offset;
  std::uint32_t length;       // 0: pair `pair` goes the general way
  std::uint32_t pair;         // the list's pair index (general steps)
  std::uint32_t first_check;  // packed decimals of a run
  std::uint32_t check_count;
};
struct CopyPlan {
  const class_descriptor* source;
  std::uint32_t list_length;
  std::uint32_t step_count;
  CopyStep* steps;
  PackedCheck* checks;
  unsigned char* list;
};
constexpr unsigned kCopyPlanSlot = 3;

void release_plan(void* plan) noexcept { platform::heap_free(plan); }

const KesFieldInfo* plain_info(const class_descriptor& descriptor, std::uint32_t number) noexcept {
  const KesFieldInfo* info = number == 0 ? nullptr : descriptor.field_info(number);
  if (info == nullptr || info->type == KesTypeGroup || info->elements != 1 ||
      std::uint64_t{info->offset} + info->size > descriptor.structure_size())
    return nullptr;
  return info;
}

CopyPlan* make_plan(const class_descriptor& to, const class_descriptor& from,
                    const unsigned char* pair_list, const PairList& list) noexcept {
  const std::uint32_t length = list.length();
  const std::size_t block =
      sizeof(CopyPlan) + list.count * (sizeof(CopyStep) + sizeof(PackedCheck)) + length;
  auto* plan = static_cast<CopyPlan*>(platform::heap_allocate(block));
  if (plan == nullptr) return nullptr;
  plan->source = &from;
  plan->list_length = length;
  plan->steps = reinterpret_cast<CopyStep*>(plan + 1);
  plan->checks = reinterpret_cast<PackedCheck*>(plan->steps + list.count);
  plan->list = reinterpret_cast<unsigned char*>(plan->checks + list.count);
  std::memcpy(plan->list, pair_list, length);
  std::uint32_t steps = 0;
  std::uint32_t checks = 0;
  for (std::uint32_t index = 0; index < list.count; ++index) {
    const KesFieldInfo* target = plain_info(to, list.to(index));
    const KesFieldInfo* value = plain_info(from, list.from(index));
    const bool packed = target != nullptr && target->size <= 16 &&
                        (target->type == KesTypeDecimal || target->type == KesTypePdecimal);
    const bool bytes = target != nullptr && value != nullptr && target->type == value->type &&
                       (!packed || from.structure_size() >= 8) && target->size == value->size &&
                       target->places == value->places && target->size != 0 &&
                       (packed || assigns_as_bytes(target->type));
    if (!bytes) {
      plan->steps[steps++] = {0, 0, 0, index, 0, 0};
      continue;
    }
    CopyStep* last = steps == 0 ? nullptr : &plan->steps[steps - 1];
    if (last == nullptr || last->length == 0 || last->to_offset + last->length != target->offset ||
        last->from_offset + last->length != value->offset) {
      plan->steps[steps++] = {target->offset, value->offset, 0, index, checks, 0};
      last = &plan->steps[steps - 1];
    }
    last->length += target->size;
    if (packed) {
      PackedCheck& check = plan->checks[checks++];
      make_check(check, value->offset, value->size, value->type, from.structure_size());
      check.to_offset = target->offset;
      check.from_offset = value->offset;
      check.size = static_cast<std::uint8_t>(target->size);
      check.places = target->places;
      check.type = target->type;
      ++last->check_count;
    }
  }
  plan->step_count = steps;
  return plan;
}

}  // namespace

void deep_assign(Ufo& destination, Ufo& source, const unsigned char* pair_list) noexcept {
  if (pair_list == nullptr) return;
  const PairList list = read_list(pair_list);
  const GroupUfo* to_group = as_group(destination);
  const GroupUfo* from_group = as_group(source);
  const class_descriptor* to = to_group == nullptr ? nullptr : to_group->descriptor();
  const class_descriptor* from = from_group == nullptr ? nullptr : from_group->descriptor();
  char* to_base = destination.Address();
  char* from_base = source.Address();
  // The plan needs two structures of their full size that do not share storage.
  const bool planned = to != nullptr && from != nullptr && to_base != nullptr &&
                       from_base != nullptr && destination.Size() == to->structure_size() &&
                       source.Size() == from->structure_size() &&
                       (to_base + to->structure_size() <= from_base ||
                        from_base + from->structure_size() <= to_base);
  if (!planned) {
    for (std::uint32_t index = 0; index < list.count; ++index)
      assign_pair(destination, source, to_group, from_group, list.to(index), list.from(index));
    return;
  }
  auto* plan = static_cast<const CopyPlan*>(to->attachment(kCopyPlanSlot));
  if (plan == nullptr || plan->source != from || plan->list_length != list.length() ||
      std::memcmp(plan->list, pair_list, plan->list_length) != 0) {
    CopyPlan* made = make_plan(*to, *from, pair_list, list);
    if (made != nullptr) to->attach(kCopyPlanSlot, made, release_plan);
    plan = made;
  }
  if (plan == nullptr) {
    for (std::uint32_t index = 0; index < list.count; ++index)
      assign_pair(destination, source, to_group, from_group, list.to(index), list.from(index));
    return;
  }
  for (std::uint32_t step = 0; step < plan->step_count; ++step) {
    const CopyStep& s = plan->steps[step];
    if (s.length == 0) {
      assign_pair(destination, source, to_group, from_group, list.to(s.pair), list.from(s.pair));
      continue;
    }
    std::memcpy(to_base + s.to_offset, from_base + s.from_offset, s.length);
    std::uint64_t faults = 0;
    for (std::uint32_t check = s.first_check; check < s.first_check + s.check_count; ++check)
      faults |= packed_faults(plan->checks[check], from_base);
    if (faults == 0) continue;
    // Some packed decimal is not as the engine writes it: those go through the decimal stack.
    for (std::uint32_t check = s.first_check; check < s.first_check + s.check_count; ++check) {
      const PackedCheck& c = plan->checks[check];
      if (packed_faults(c, from_base) == 0) continue;
      ScalarUfoRoom target_room;
      ScalarUfoRoom value_room;
      Ufo* target = place_scalar_ufo(target_room, to_base + c.to_offset, c.type, c.size, c.places);
      Ufo* value =
          place_scalar_ufo(value_room, from_base + c.from_offset, c.type, c.size, c.places);
      target->Assign(*value);
    }
  }
}

}  // namespace kes::runtime

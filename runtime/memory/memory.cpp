// Deep assignment: the compiler's field-pair list run over two groups' value descriptors.
#include "runtime/memory/memory.h"

namespace kes::runtime {
namespace {

// The field `number` of `group` (the group itself for 0); `made` is set when the descriptor is
// a new one the caller destroys.
Ufo* field_of_group(Ufo& group, std::uint32_t number, bool& made) noexcept {
  made = number != 0;
  return number == 0 ? &group : group.Designate(number);
}

std::uint32_t read_u32(const unsigned char* bytes) noexcept {
  return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
         std::uint32_t{bytes[3]} << 24;
}

}  // namespace

void deep_assign(Ufo& destination, Ufo& source, const unsigned char* pair_list) noexcept {
  if (pair_list == nullptr) return;
  const bool wide = pair_list[0] == 1;
  const std::uint32_t count = wide ? read_u32(pair_list + 4) : pair_list[1];
  const unsigned char* pairs = pair_list + (wide ? 8 : 2);
  for (std::uint32_t index = 0; index < count; ++index) {
    const std::uint32_t to = wide ? read_u32(pairs + 8 * index) : pairs[2 * index];
    const std::uint32_t from = wide ? read_u32(pairs + 8 * index + 4) : pairs[2 * index + 1];
    bool made_to = false;
    bool made_from = false;
    Ufo* target = field_of_group(destination, to, made_to);
    Ufo* value = field_of_group(source, from, made_from);
    if (target != nullptr && value != nullptr) target->Assign(*value);
    if (made_to) Ufo::destroy(target);
    if (made_from) Ufo::destroy(value);
  }
}

}  // namespace kes::runtime

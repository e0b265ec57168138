// The string stack's exchanges with the decimal stack: whole-number pops and the transfers
// between the two stacks.
#include <array>
#include <cstring>

#include "numeric/decimal_stack.h"
#include "platform/variant.h"
#include "runtime/string_stack.h"

namespace kes::runtime {
namespace {
// Pops the top as a CSTRING of 100 bytes: the decimal stack reads at most 99 bytes of it.
std::string_view pop_number_text(std::array<char, 100>& buffer) noexcept {
  pop_to_cstring(buffer.data(), static_cast<std::uint32_t>(buffer.size()));
  return {buffer.data(), std::strlen(buffer.data())};
}
}  // namespace

std::int32_t pop_long() noexcept {
  StackEntry& entry = entry_from_top(1);
  if (entry.kind == static_cast<std::uint32_t>(EntryKind::VariantRef) ||
      entry.kind == static_cast<std::uint32_t>(EntryKind::VariantInline)) {
    const std::optional<std::int32_t> value =
        platform::variant_to_long(*static_cast<KesVariant*>(entry.pointer));
    pop_discard();
    return value.value_or(0);
  }
  std::array<char, 100> buffer;
  numeric::decimal_push_text(pop_number_text(buffer));
  return numeric::decimal_pop_long();
}

void pop_to_decimal_stack() noexcept {
  std::array<char, 100> buffer;
  numeric::decimal_push_text(pop_number_text(buffer));
}

void push_from_decimal_stack() noexcept {
  const numeric::DecimalEntry value = numeric::decimal_pop();
  std::array<char, numeric::kDecimalTextCapacity> text;
  const std::size_t length = numeric::decimal_to_text(value, text);
  push_text({text.data(), length});
}

}  // namespace kes::runtime

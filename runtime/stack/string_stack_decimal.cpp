// The string stack's exchanges with the decimal stack: whole-number pops and the transfers
// between the two stacks.
#include <array>
#include <cstring>
#include <optional>

#include "numeric/decimal/decimal_stack.h"
#include "runtime/ole/variant.h"
#include "runtime/stack/string_stack.h"

namespace kes::runtime {
namespace {
// Pops the top as a CSTRING of 100 bytes: the decimal stack reads at most 99 bytes of it.
std::string_view pop_number_text(std::array<char, 100>& buffer) noexcept {
  pop_to_cstring(buffer.data(), static_cast<std::uint32_t>(buffer.size()));
  return {buffer.data(), std::strlen(buffer.data())};
}

// Reads the common whole-number texts directly: spaces, an optional '-', one to nine digits,
// then the end of the text or a character that is neither a digit nor a decimal point. The
// decimal stack gives the same value for these (no fraction, no exponent, no wrap-around);
// every other text returns nothing and goes the long way.
std::optional<std::int32_t> read_plain_whole(const char* text, std::uint32_t length) noexcept {
  std::uint32_t index = 0;
  while (index < length && text[index] == ' ')
    ++index;
  const bool negative = index < length && text[index] == '-';
  if (negative) ++index;
  const std::uint32_t first_digit = index;
  std::int32_t value = 0;
  while (index < length && text[index] >= '0' && text[index] <= '9') {
    if (index - first_digit == 9) return std::nullopt;
    value = value * 10 + (text[index] - '0');
    ++index;
  }
  if (index == first_digit) return std::nullopt;
  if (index < length && (text[index] == '.' || text[index] == ',')) return std::nullopt;
  return negative ? -value : value;
}
}  // namespace

std::int32_t pop_long() noexcept {
  // The fast case needs a plain text within the 99 bytes the CSTRING keeps, and room on the
  // decimal stack, whose overflow the long way reports.
  if (string_stack_depth() > 0) {
    const StackEntry& top = entry_from_top(1);
    if (is_plain_text(top.kind) && top.pointer != nullptr && top.length <= 99 &&
        numeric::decimal_depth() < numeric::kDecimalStackCapacity) {
      const std::optional<std::int32_t> value =
          read_plain_whole(static_cast<const char*>(top.pointer), top.length);
      if (value) {
        pop_discard();
        return *value;
      }
    }
  }
  StackEntry& entry = entry_from_top(1);
  if (entry.kind == static_cast<std::uint32_t>(EntryKind::VariantRef) ||
      entry.kind == static_cast<std::uint32_t>(EntryKind::VariantInline)) {
    const std::optional<std::int32_t> value =
        runtime::variant_to_long(*static_cast<KesVariant*>(entry.pointer));
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

// The process-wide decimal stack: ten working entries, its push and pop conversions, the stack
// forms of the arithmetic, and the save and restore used at thread switches.
#include "numeric/decimal/decimal_stack.h"

#include <cstring>

#include "numeric/decimal/decimal_arith.h"
#include "numeric/decimal/decimal_convert.h"
#include "numeric/decimal/decimal_stack_ops.h"
#include "platform/core/heap.h"
#include "runtime/fatal/fatal.h"

namespace kes::numeric {
namespace {

// Per-thread state that the thread layer saves and restores at each switch; one live copy.
DecimalEntry g_entries[kDecimalStackCapacity];
int g_depth = 0;  // [0, kDecimalStackCapacity]

[[noreturn]] void stack_fault() noexcept { runtime::fatal(runtime::RuntimeError::StackOverflow); }

// The entry that the next push fills; fatal when the stack is full.
DecimalEntry& push_slot() noexcept {
  if (g_depth >= kDecimalStackCapacity) stack_fault();
  return g_entries[g_depth++];
}

// The top entry, which the caller consumes; fatal when the stack is empty.
DecimalEntry& pop_slot() noexcept {
  if (g_depth <= 0) stack_fault();
  return g_entries[--g_depth];
}

// next and top of a binary operation; fatal with fewer than two entries. The depth falls by one
// and the result goes into next's place.
struct Operands {
  DecimalEntry& next;
  DecimalEntry& top;
};
Operands pop_operands() noexcept {
  if (g_depth < 2) stack_fault();
  --g_depth;
  return {g_entries[g_depth - 1], g_entries[g_depth]};
}

// Layout of a saved block: the depth, then the live entries in stack order.
struct SavedHeader {
  std::uint8_t depth;
};

}  // namespace

int decimal_depth() noexcept { return g_depth; }

DecimalEntry& decimal_top() noexcept {
  if (g_depth <= 0) stack_fault();
  return g_entries[g_depth - 1];
}

void decimal_push(const DecimalEntry& value) noexcept { push_slot() = value; }

DecimalEntry decimal_pop() noexcept { return pop_slot(); }

void decimal_push_long(std::int32_t value) noexcept { decimal_from_long(push_slot(), value); }
void decimal_push_ulong(std::uint32_t value) noexcept { decimal_from_ulong(push_slot(), value); }
void decimal_push_real(double value) noexcept { decimal_from_real(push_slot(), value); }
void decimal_push_text(std::string_view text) noexcept { decimal_from_text(push_slot(), text); }

std::int32_t decimal_pop_long() noexcept { return decimal_to_long(pop_slot()); }
std::uint32_t decimal_pop_ulong() noexcept { return decimal_to_ulong(pop_slot()); }
double decimal_pop_real() noexcept { return decimal_to_real(pop_slot()); }

void decimal_push_packed(const std::uint8_t* bytes, PackedKind kind, int size,
                         int places) noexcept {
  decimal_load_packed(push_slot(), bytes, kind, size, places);
}

void decimal_pop_packed(std::uint8_t* bytes, PackedKind kind, int size, int places) noexcept {
  decimal_store_packed(pop_slot(), bytes, kind, size, places);
}

void decimal_push_constant(const std::uint8_t* digits, int count, int places, int sign) noexcept {
  decimal_from_constant(push_slot(), digits, count, places, sign);
}

std::size_t decimal_to_text(const DecimalEntry& value,
                            std::span<char, kDecimalTextCapacity> out) noexcept {
  DecimalEntry v = value;
  decimal_normalise(v);
  std::size_t length = 0;
  if (v.sign != 0) out[length++] = '-';
  if (v.high < kUnitsPosition) {
    out[length++] = '0';
  } else {
    // Integer positions below low are zeros of the value, whatever the bytes hold.
    for (int position = v.high; position >= kUnitsPosition; --position) {
      out[length++] = position >= v.low ? static_cast<char>('0' + v.digits[position]) : '0';
    }
  }
  if (v.low < kUnitsPosition) {
    out[length++] = '.';
    for (int position = kUnitsPosition - 1; position >= v.low; --position) {
      out[length++] = position <= v.high ? static_cast<char>('0' + v.digits[position]) : '0';
    }
  }
  return length;
}

void decimal_stack_add() noexcept {
  const Operands operands = pop_operands();
  decimal_add(operands.next, operands.top);
}

void decimal_stack_subtract() noexcept {
  const Operands operands = pop_operands();
  decimal_subtract(operands.next, operands.top);
}

void decimal_stack_subtract_reversed() noexcept {
  const Operands operands = pop_operands();
  decimal_subtract(operands.next, operands.top);
  // top - next is next - top with the sign inverted; a zero stays positive.
  if (!decimal_is_zero(operands.next)) operands.next.sign ^= 1;
}

void decimal_stack_multiply() noexcept {
  const Operands operands = pop_operands();
  decimal_multiply(operands.next, operands.top);
}

void decimal_stack_divide() noexcept {
  const Operands operands = pop_operands();
  decimal_divide(operands.next, operands.top);
}

void decimal_stack_divide_reversed() noexcept {
  decimal_stack_swap();
  decimal_stack_divide();
}

void decimal_stack_power(std::uint32_t exponent) noexcept {
  decimal_power(decimal_top(), exponent);
}

void decimal_stack_power_signed(std::int32_t exponent) noexcept {
  decimal_power_signed(decimal_top(), exponent);
}

void decimal_stack_truncate() noexcept { decimal_truncate(decimal_top()); }

void decimal_stack_abs() noexcept { decimal_top().sign = 0; }

void decimal_stack_negate() noexcept {
  DecimalEntry& top = decimal_top();
  top.sign = top.sign != 0 ? 0 : 1;
}

void decimal_stack_round() noexcept {
  const Operands operands = pop_operands();
  decimal_round_to_increment(operands.next, operands.top);
}

void decimal_stack_swap() noexcept {
  if (g_depth < 2) stack_fault();
  DecimalEntry held = g_entries[g_depth - 1];
  g_entries[g_depth - 1] = g_entries[g_depth - 2];
  g_entries[g_depth - 2] = held;
}

bool decimal_stack_nonzero() noexcept { return !decimal_is_zero(pop_slot()); }

int decimal_stack_distinct() noexcept {
  const Operands operands = pop_operands();
  --g_depth;
  return decimal_compare(operands.top, operands.next);
}

int decimal_stack_distinct_reversed() noexcept { return -decimal_stack_distinct(); }

void decimal_stack_clear() noexcept { g_depth = 0; }

void* save_decimal_stack() noexcept {
  if (g_depth == 0) return nullptr;
  const std::size_t entries_length = sizeof(DecimalEntry) * static_cast<std::size_t>(g_depth);
  auto* block =
      static_cast<std::uint8_t*>(platform::heap_allocate(sizeof(SavedHeader) + entries_length));
  if (block == nullptr) {
    // Going on would hand the resumed thread an empty stack in place of its temporaries.
    runtime::fatal(runtime::RuntimeError::InternalAssertion,
                   "decimal stack cannot be saved: out of memory");
  }
  block[0] = static_cast<std::uint8_t>(g_depth);
  std::memcpy(block + sizeof(SavedHeader), g_entries, entries_length);
  return block;
}

void restore_decimal_stack(void* block) noexcept {
  if (block == nullptr) {
    g_depth = 0;
    return;
  }
  const auto* bytes = static_cast<const std::uint8_t*>(block);
  int depth = bytes[0];
  if (depth > kDecimalStackCapacity) depth = kDecimalStackCapacity;
  std::memcpy(g_entries, bytes + sizeof(SavedHeader),
              sizeof(DecimalEntry) * static_cast<std::size_t>(depth));
  g_depth = depth;
  platform::heap_free(block);
}

}  // namespace kes::numeric

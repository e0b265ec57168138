// Concatenation, the ordering comparison, the inequality test, the truth of a text and INLIST.
#include <algorithm>
#include <cstring>
#include <optional>

#include "numeric/locale/collation_compare.h"
#include "platform/core/heap.h"
#include "runtime/builtins/string_builtins.h"
#include "runtime/builtins/string_builtins_entry.h"
#include "runtime/fatal/fatal.h"
#include "runtime/ole/bstr.h"
#include "runtime/ole/variant.h"
#include "runtime/stack/string_stack.h"
#include "runtime/stack/string_store.h"

namespace kes::runtime {
namespace {

bool is_variant_entry(const StackEntry& entry) noexcept { return (entry.kind & 8u) != 0; }
bool is_bstr_entry(const StackEntry& entry) noexcept { return (entry.kind & 4u) != 0; }

// The numeric value of a VARIANT entry holding a whole number or a double.
std::optional<double> variant_number(const StackEntry& entry) noexcept {
  if (!is_variant_entry(entry)) return std::nullopt;
  const KesVariant& variant = *static_cast<const KesVariant*>(entry.pointer);
  if (variant.type == KesVariantLong) return runtime::variant_long(variant);
  if (variant.type == KesVariantReal) return runtime::variant_real(variant);
  return std::nullopt;
}

int compare_bstrs(KesBStr a, KesBStr b) noexcept {
  const std::uint32_t a_units = runtime::bstr_units(a);
  const std::uint32_t b_units = runtime::bstr_units(b);
  const std::uint32_t common = std::min(a_units, b_units);
  for (std::uint32_t i = 0; i < common; ++i) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  }
  return (a_units > b_units) - (a_units < b_units);
}

// The ordering comparison of the entry below the top (A) with the top (B); pops nothing.
std::int32_t order_top_two() noexcept {
  StackEntry& b = entry_from_top(1);
  StackEntry& a = entry_from_top(2);
  if (is_astring_entry(a) && is_astring_entry(b) && a.pointer == b.pointer) return 0;
  if (is_variant_entry(a) || is_variant_entry(b)) {
    const std::optional<double> a_number = variant_number(a);
    const std::optional<double> b_number = variant_number(b);
    if (a_number && b_number) return (*a_number > *b_number) - (*a_number < *b_number);
    // Any other pair of values compares as text.
  } else if (is_bstr_entry(a) && is_bstr_entry(b)) {
    return compare_bstrs(static_cast<KesBStr>(a.pointer), static_cast<KesBStr>(b.pointer));
  }
  convert_to_text(1);
  convert_to_text(2);
  return numeric::compare_padded(entry_text(a), entry_text(b));
}

bool texts_differ(std::string_view a, std::string_view b) noexcept {
  const std::size_t common = std::min(a.size(), b.size());
  if (common != 0 && std::memcmp(a.data(), b.data(), common) != 0) return true;
  const std::string_view rest = a.size() > common ? a.substr(common) : b.substr(common);
  return rest.find_first_not_of(' ') != std::string_view::npos;
}

void pop_pair(bool pop_both) noexcept {
  pop_discard();
  if (pop_both) pop_discard();
}

// Concatenation when a BSTR or VARIANT takes part: an owned BSTR, or the empty text when it
// cannot be made.
void concat_bstrs(bool reversed) noexcept {
  KesBStr b = pop_bstr();
  KesBStr a = pop_bstr();
  const KesBStr first = reversed ? b : a;
  const KesBStr second = reversed ? a : b;
  const std::uint64_t first_units = runtime::bstr_units(first);
  const std::uint64_t total = first_units + runtime::bstr_units(second);
  KesBStr joined = nullptr;
  if (total <= runtime::kBStrMaxUnits) {
    auto* units = static_cast<KesOleChar*>(
        platform::heap_allocate(static_cast<std::size_t>(total == 0 ? 1 : total) * 2));
    if (units != nullptr) {
      if (first_units != 0) std::memcpy(units, first, static_cast<std::size_t>(first_units) * 2);
      if (total != first_units)
        std::memcpy(units + first_units, second, static_cast<std::size_t>(total - first_units) * 2);
      joined = runtime::bstr_allocate(units, static_cast<std::uint32_t>(total));
      platform::heap_free(units);
    }
  }
  runtime::bstr_free(a);
  runtime::bstr_free(b);
  if (joined == nullptr) return push_reference({});
  push_bstr(joined, true);
}

}  // namespace

void concat_pop_slow(bool reversed) noexcept {
  StackEntry& a = entry_from_top(2);
  StackEntry& b = (&a)[1];  // the top: entries are consecutive
  if (is_ole_entry(a) || is_ole_entry(b)) return concat_bstrs(reversed);
  if (((a.kind | b.kind) & kKindNotTextBits) != 0) {
    convert_to_text(1);
    convert_to_text(2);
  }
  const std::string_view first = entry_text(reversed ? b : a);
  const std::string_view second = entry_text(reversed ? a : b);
  const std::uint64_t total = std::uint64_t{first.size()} + second.size();
  if (total == 0 || total > kMaxTextLength) {
    pop_discard();
    set_empty(a);
    return;
  }
  const auto length = static_cast<std::uint32_t>(total);
  if (length <= kInlineCapacity && !reversed && !owns_text(a)) {
    // A's text moves to the front of its own inline area (where an inline result already is)
    // and B is appended there: no heap block and no intermediate copy.
    if (!first.empty() && first.data() != reinterpret_cast<const char*>(a.inline_area)) {
      std::memmove(a.inline_area, first.data(), first.size());
    }
    if (!second.empty()) std::memcpy(a.inline_area + first.size(), second.data(), second.size());
    a.kind = static_cast<std::uint32_t>(EntryKind::TextInline);
    a.pointer = a.inline_area;
    a.length = length;
    return pop_discard();
  }
  if (length <= kInlineCapacity) {
    // Short results stay in the entry: no heap block at all.
    char local[kInlineCapacity];
    if (!first.empty()) std::memcpy(local, first.data(), first.size());
    if (!second.empty()) std::memcpy(local + first.size(), second.data(), second.size());
    pop_discard();
    return set_inline_text(a, local, length);
  }
  if (!reversed && owns_text(a)) {
    // A's own block grows in place of a new one; B never lies in it.
    auto* grown = static_cast<char*>(platform::heap_reallocate(a.pointer, length));
    if (grown == nullptr) {
      pop_discard();
      return set_empty(a);
    }
    if (!second.empty()) std::memcpy(grown + first.size(), second.data(), second.size());
    a.pointer = grown;
    a.length = length;
    return pop_discard();
  }
  auto* block = static_cast<char*>(platform::heap_allocate(length));
  if (block == nullptr) {
    pop_discard();
    return set_empty(a);
  }
  if (!first.empty()) std::memcpy(block, first.data(), first.size());
  if (!second.empty()) std::memcpy(block + first.size(), second.data(), second.size());
  pop_discard();
  set_owned_text(a, block, length);
}

std::int32_t compare_pop(bool pop_both) noexcept {
  const std::int32_t result = order_top_two();
  pop_pair(pop_both);
  return result;
}

std::int32_t not_equal_pop(bool pop_both) noexcept {
  StackEntry& b = entry_from_top(1);
  StackEntry& a = entry_from_top(2);
  std::int32_t result = 0;
  if (is_astring_entry(a) && is_astring_entry(b)) {
    result = a.pointer != b.pointer ? 1 : 0;
  } else {
    if (is_astring_entry(a)) convert_to_text(2);
    if (is_astring_entry(b)) convert_to_text(1);
    if (is_ole_entry(a) || is_ole_entry(b)) {
      result = order_top_two() != 0 ? 1 : 0;
    } else {
      result = texts_differ(entry_text(a), entry_text(b)) ? 1 : 0;
    }
  }
  pop_pair(pop_both);
  return result;
}

std::int32_t truth_pop() noexcept {
  StackEntry& entry = entry_from_top(1);
  bool truth = false;
  if (is_astring_entry(entry)) {
    truth = entry.pointer != nullptr;
  } else if (is_bstr_entry(entry) && entry.pointer == nullptr) {
    truth = false;
  } else {
    convert_to_text(1);
    truth = clipped_text_length(static_cast<const char*>(entry.pointer), entry.length) != 0;
  }
  pop_discard();
  return truth ? 1 : 0;
}

std::int32_t inlist_pop(std::uint32_t count) noexcept {
  // The value and its items must all be on the stack; anything else is a broken expression.
  if (std::int64_t{count} + 1 > string_stack_depth()) fatal(RuntimeError::StackOverflow);
  const auto items = static_cast<int>(count);
  const std::string_view value = entry_text(text_top());
  std::int32_t found = 0;
  for (int item = 1; item <= items; ++item) {
    convert_to_text(item + 1);
    if (numeric::compare_padded(value, entry_text(entry_from_top(item + 1))) == 0) {
      found = item;
      break;
    }
  }
  for (int popped = 0; popped <= items; ++popped)
    pop_discard();
  return found;
}

}  // namespace kes::runtime

// The string stack: one fixed array of entries, texts by reference, inline or on the heap.
#include "runtime/stack/string_stack.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <new>

#include "platform/core/heap.h"
#include "runtime/fatal/fatal.h"
#include "runtime/ole/bstr.h"
#include "runtime/ole/variant.h"
#include "runtime/stack/string_store.h"

namespace kes::runtime {

constinit StringStackArea string_stack_area{};

namespace {

constexpr StringStackArea& stack = string_stack_area;

// "00" to "99": two digits per division when writing whole numbers.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes `pair`, [0, 99], as two digits at `at`.
inline void write_digit_pair(unsigned char* at, std::uint32_t pair) noexcept {
  std::memcpy(at, kDigitPairs + pair * 2, 2);
}
// Writes `value`, [0, 9999], as four digits at `at`.
inline void write_four_digits(unsigned char* at, std::uint32_t value) noexcept {
  write_digit_pair(at, value / 100);
  write_digit_pair(at + 2, value % 100);
}
// Writes `value`, [0, 99999999], as eight digits at `at`.
inline void write_eight_digits(unsigned char* at, std::uint32_t value) noexcept {
  write_four_digits(at, value / 10000);
  write_four_digits(at + 4, value % 10000);
}

constexpr std::uint32_t kind_of(EntryKind kind) noexcept {
  return static_cast<std::uint32_t>(kind);
}
bool has_kind(const StackEntry& entry, EntryKind kind) noexcept {
  return entry.kind == kind_of(kind);
}
bool is_variant(const StackEntry& entry) noexcept {
  return has_kind(entry, EntryKind::VariantRef) || has_kind(entry, EntryKind::VariantInline);
}
bool is_bstr(const StackEntry& entry) noexcept {
  return has_kind(entry, EntryKind::BStrRef) || has_kind(entry, EntryKind::BStrOwned);
}

[[noreturn]] void underflow() noexcept { fatal(RuntimeError::StackOverflow); }

// The next free entry, or null when the stack is full (the push is then quietly dropped).
StackEntry* next_free() noexcept {
  if (stack.depth >= kStringStackCapacity) return nullptr;
  return &stack.entries[stack.depth];
}

StackEntry& top() noexcept {
  if (stack.depth <= 0) underflow();
  return stack.entries[stack.depth - 1];
}

void set_text(StackEntry& entry, EntryKind kind, void* pointer, std::uint32_t length) noexcept {
  entry.kind = kind_of(kind);
  entry.pointer = pointer;
  entry.length = pointer == nullptr ? 0 : length;
}

// Copies a text of at most 20 bytes to the start of the entry's inline area.
void set_inline(StackEntry& entry, const char* text, std::size_t length) noexcept {
  if (length != 0) std::memmove(entry.inline_area, text, length);
  entry.kind = kind_of(EntryKind::TextInline);
  entry.pointer = entry.inline_area;
  entry.length = static_cast<std::uint32_t>(length);
}

KesVariant* variant_of(const StackEntry& entry) noexcept {
  return static_cast<KesVariant*>(entry.pointer);
}
KesBStr bstr_of(const StackEntry& entry) noexcept { return static_cast<KesBStr>(entry.pointer); }

// Releases what the entry owns, by its kind. Kept out of line: most entries own nothing.
[[gnu::noinline]] void release(StackEntry& entry) noexcept {
  switch (static_cast<EntryKind>(entry.kind)) {
    case EntryKind::TextOwned: platform::heap_free(entry.pointer); break;
    case EntryKind::BStrOwned: runtime::bstr_free(bstr_of(entry)); break;
    case EntryKind::VariantInline: runtime::variant_clear(*variant_of(entry)); break;
    default: break;
  }
}

// Turns an ANSI conversion into the entry's text: owned when there is a buffer.
void take_ansi(StackEntry& entry, runtime::AnsiText text) noexcept {
  if (text.pointer != nullptr) {
    set_text(entry, EntryKind::TextOwned, text.pointer, text.length);
  } else {
    set_text(entry, EntryKind::TextRef, nullptr, 0);
  }
}

// The ANSI text of a variant: a string variant directly, any other after the type change.
runtime::AnsiText variant_ansi(const KesVariant& variant) noexcept {
  if (variant.type == KesVariantBStr) return runtime::bstr_to_ansi(runtime::variant_bstr(variant));
  const std::optional<KesBStr> changed = runtime::variant_to_bstr(variant);
  if (!changed) return {nullptr, 0};
  const runtime::AnsiText text = runtime::bstr_to_ansi(*changed);
  runtime::bstr_free(*changed);
  return text;
}

std::uint32_t stored_astring_length(const char* astring) noexcept {
  if (astring == nullptr) return 0;
  std::uint16_t length = 0;
  std::memcpy(&length, astring - sizeof(length), sizeof(length));
  return length;
}

[[gnu::noinline]] void convert_slow(StackEntry& entry) noexcept {
  switch (static_cast<EntryKind>(entry.kind)) {
    case EntryKind::BStrRef:
    case EntryKind::BStrOwned: {
      KesBStr bstr = bstr_of(entry);
      const bool owned = has_kind(entry, EntryKind::BStrOwned);
      take_ansi(entry, runtime::bstr_to_ansi(bstr));
      if (owned) runtime::bstr_free(bstr);
      break;
    }
    case EntryKind::VariantRef:
    case EntryKind::VariantInline: {
      KesVariant* variant = variant_of(entry);
      const bool owned = has_kind(entry, EntryKind::VariantInline);
      const runtime::AnsiText text = variant_ansi(*variant);
      if (owned) runtime::variant_clear(*variant);
      take_ansi(entry, text);
      break;
    }
    case EntryKind::AStringRef: {
      // Interned texts live as long as the process, so the entry can refer to the text itself.
      auto* astring = static_cast<char*>(entry.pointer);
      set_text(entry, EntryKind::TextRef, astring, stored_astring_length(astring));
      break;
    }
    default:
      // An unknown kind cannot be read as text; it becomes the empty string.
      set_text(entry, EntryKind::TextRef, nullptr, 0);
      break;
  }
}

void convert_entry(StackEntry& entry) noexcept {
  if ((entry.kind & kKindNotTextBits) != 0) [[unlikely]]
    convert_slow(entry);
}

// The top entry, converted to text in place when it is not text yet.
StackEntry& top_as_text() noexcept {
  StackEntry& entry = top();
  convert_entry(entry);
  return entry;
}

// Removes the top entry, found before, and releases what it owns.
void drop_top(StackEntry& entry) noexcept {
  --stack.depth;
  if ((entry.kind & kKindOwnsBit) != 0 || entry.kind == kind_of(EntryKind::VariantInline))
      [[unlikely]]
    release(entry);
}

std::string_view text_of(const StackEntry& entry) noexcept {
  if (entry.pointer == nullptr) return {};
  return {static_cast<const char*>(entry.pointer), entry.length};
}

// Writes the REAL text: up to 14 significant digits, exponent without '+' or leading zeros.
std::size_t format_real(double value, char (&out)[32]) noexcept {
  const auto result = std::to_chars(out, out + sizeof(out), value, std::chars_format::general, 14);
  std::size_t length = static_cast<std::size_t>(result.ptr - out);
  char* exponent = static_cast<char*>(std::memchr(out, 'e', length));
  if (exponent != nullptr) {
    char* digits = exponent + 1;
    char* write = digits;
    if (*digits == '-') {
      ++digits;
      ++write;
    } else if (*digits == '+') {
      ++digits;
    }
    while (digits + 1 < out + length && *digits == '0')
      ++digits;
    const std::size_t kept = static_cast<std::size_t>(out + length - digits);
    std::memmove(write, digits, kept);
    length = static_cast<std::size_t>(write - out) + kept;
  }
  if (length > 0 && out[length - 1] == '.') --length;
  return length;
}

// A fatal report pushes its text for the program's FatalErrorHook through this step, installed
// when the stack is loaded.
[[maybe_unused]] const bool fatal_step_installed =
    (fatal_report_steps().push_text = &push_text, true);

}  // namespace

// ---- Pushes.

void push_text(std::string_view text) noexcept {
  StackEntry* entry = next_free();
  if (entry == nullptr) return;
  if (text.data() == nullptr || text.size() > kMaxTextLength) text = {};
  if (text.size() <= kInlineCapacity) {
    set_inline(*entry, text.data(), text.size());
  } else {
    auto* copy = static_cast<char*>(platform::heap_allocate(text.size()));
    if (copy == nullptr) {
      set_text(*entry, EntryKind::TextRef, nullptr, 0);
    } else {
      std::memcpy(copy, text.data(), text.size());
      set_text(*entry, EntryKind::TextOwned, copy, static_cast<std::uint32_t>(text.size()));
    }
  }
  ++stack.depth;
}

void push_owned(char* heap_block, std::uint32_t length) noexcept {
  StackEntry* entry = next_free();
  if (entry == nullptr) {
    platform::heap_free(heap_block);  // the stack does not take it over, and nobody else will
    return;
  }
  if (length > kMaxTextLength) length = 0;
  set_text(*entry, EntryKind::TextOwned, heap_block, length);
  ++stack.depth;
}

void push_long(std::int32_t value) noexcept {
  StackEntry* entry = next_free();
  if (entry == nullptr) return;
  // Digits right-aligned in the inline area, the last digit in its last byte.
  unsigned char* const end = entry->inline_area + kInlineCapacity;
  unsigned char* first = end;
  std::uint32_t magnitude =
      value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
  if (magnitude >= 100000000) {
    // The low eight digits as four independent pairs, then the one or two leading digits.
    const std::uint32_t low = magnitude % 100000000;
    magnitude /= 100000000;  // [1, 42]
    first -= 8;
    write_eight_digits(first, low);
  } else {
    while (magnitude >= 10000) {
      first -= 4;
      write_four_digits(first, magnitude % 10000);
      magnitude /= 10000;
    }
    if (magnitude >= 100) {
      first -= 2;
      write_digit_pair(first, magnitude % 100);
      magnitude /= 100;
    }
  }
  if (magnitude >= 10) {
    first -= 2;
    write_digit_pair(first, magnitude);
  } else {
    *--first = static_cast<unsigned char>('0' + magnitude);
  }
  if (value < 0) *--first = '-';
  entry->kind = kind_of(EntryKind::TextInline);
  entry->pointer = first;
  entry->length = static_cast<std::uint32_t>(end - first);
  ++stack.depth;
}

void push_real(double value) noexcept {
  if (next_free() == nullptr) return;
  char text[32];
  const std::size_t length = format_real(value, text);
  push_text({text, length});
}

void push_bool(std::int32_t value) noexcept {
  static constexpr char kTrue[] = "1";
  push_reference(value != 0 ? std::string_view(kTrue, 1) : std::string_view());
}

void push_astring(const char* astring) noexcept {
  StackEntry* entry = next_free();
  if (entry == nullptr) return;
  entry->kind = kind_of(EntryKind::AStringRef);
  entry->pointer = const_cast<char*>(astring);
  entry->length = stored_astring_length(astring);
  ++stack.depth;
}

void push_bstr(KesBStr bstr, bool owned) noexcept {
  StackEntry* entry = next_free();
  if (entry == nullptr) {
    if (owned) runtime::bstr_free(bstr);
    return;
  }
  entry->kind = kind_of(owned ? EntryKind::BStrOwned : EntryKind::BStrRef);
  entry->pointer = bstr;
  entry->length = 0;
  ++stack.depth;
}

void push_variant_reference(KesVariant* variant) noexcept {
  StackEntry* entry = next_free();
  if (entry == nullptr) return;
  entry->kind = kind_of(variant == nullptr ? EntryKind::TextRef : EntryKind::VariantRef);
  entry->pointer = variant;
  entry->length = 0;
  ++stack.depth;
}

void push_variant_inline(const KesVariant& variant) noexcept {
  StackEntry* entry = next_free();
  if (entry == nullptr) {
    KesVariant dropped = variant;
    runtime::variant_clear(dropped);
    return;
  }
  auto* copy = new (entry->inline_area) KesVariant(variant);
  entry->kind = kind_of(EntryKind::VariantInline);
  entry->pointer = copy;
  entry->length = 0;
  ++stack.depth;
}

// ---- Reading the top.

int string_stack_depth() noexcept { return stack.depth; }

StackEntry& entry_from_top(int distance) noexcept {
  if (distance < 1 || distance > stack.depth) underflow();
  return stack.entries[stack.depth - distance];
}

std::string_view top_text() noexcept {
  StackEntry& entry = top();
  convert_entry(entry);
  return text_of(entry);
}

void convert_to_text(int distance) noexcept { convert_entry(entry_from_top(distance)); }

std::uint32_t top_length_slow() noexcept {
  const StackEntry& entry = top();
  if (has_kind(entry, EntryKind::AStringRef)) {
    return stored_astring_length(static_cast<const char*>(entry.pointer));
  }
  if (is_bstr(entry)) return runtime::bstr_ansi_length(bstr_of(entry));
  if (is_variant(entry)) {
    const KesVariant& variant = *variant_of(entry);
    if (variant.type == KesVariantBStr) {
      return runtime::bstr_ansi_length(runtime::variant_bstr(variant));
    }
    const std::optional<KesBStr> changed = runtime::variant_to_bstr(variant);
    if (!changed) return 0;
    const std::uint32_t length = runtime::bstr_ansi_length(*changed);
    runtime::bstr_free(*changed);
    return length;
  }
  if ((entry.kind & kKindNotTextBits) != 0) return 0;
  return entry.length;
}

void narrow_top(std::uint32_t length) noexcept {
  StackEntry& entry = top();
  convert_entry(entry);
  if (length < entry.length) entry.length = length;
}

void fit_top_to_width(std::uint32_t width) noexcept {
  StackEntry& entry = top();
  convert_entry(entry);
  if (entry.length >= width) {
    entry.length = width;
    return;
  }
  auto* block = static_cast<char*>(platform::heap_allocate(width));
  if (block == nullptr) return;
  const std::string_view text = text_of(entry);
  store_string(block, width, text.empty() ? block : text.data(),
               static_cast<std::uint32_t>(text.size()));
  pop_discard();
  push_owned(block, width);
}

void make_top_self_contained_slow() noexcept {
  StackEntry& entry = top();
  switch (static_cast<EntryKind>(entry.kind)) {
    case EntryKind::TextRef:
      if (entry.length <= kInlineCapacity) {
        set_inline(entry, static_cast<const char*>(entry.pointer), entry.length);
      } else {
        // A failed copy leaves the reference in place rather than losing the text.
        auto* copy = static_cast<char*>(platform::heap_allocate(entry.length));
        if (copy == nullptr) return;
        std::memcpy(copy, entry.pointer, entry.length);
        set_text(entry, EntryKind::TextOwned, copy, entry.length);
      }
      break;
    case EntryKind::BStrRef: {
      KesBStr original = bstr_of(entry);
      KesBStr copy = runtime::bstr_copy(original);
      if (copy == nullptr && original != nullptr) return;
      entry.kind = kind_of(EntryKind::BStrOwned);
      entry.pointer = copy;
      break;
    }
    case EntryKind::VariantRef: {
      // A deep copy: the inline variant is cleared on discard, which must not free the
      // referenced variant's string.
      KesVariant copy;
      runtime::variant_init(copy);
      if (!runtime::variant_copy(copy, *variant_of(entry))) return;
      entry.kind = kind_of(EntryKind::VariantInline);
      entry.pointer = new (entry.inline_area) KesVariant(copy);
      break;
    }
    default: break;
  }
}

void rotate(int n) noexcept {
  if (n < 0 || n >= stack.depth) underflow();
  if (n == 0) return;
  const int top_index = stack.depth - 1;
  const int source = top_index - n;
  StackEntry saved = stack.entries[source];
  for (int index = source; index < top_index; ++index) {
    StackEntry& moved = stack.entries[index];
    moved = stack.entries[index + 1];
    if ((moved.kind & kKindInlineBit) != 0) {
      moved.pointer = moved.inline_area + (static_cast<unsigned char*>(moved.pointer) -
                                           stack.entries[index + 1].inline_area);
    }
  }
  // The saved entry's inline pointer still points into its old slot's area.
  const unsigned char* old_area = stack.entries[source].inline_area;
  StackEntry& last = stack.entries[top_index];
  last = saved;
  if ((saved.kind & kKindInlineBit) != 0) {
    last.pointer = last.inline_area + (static_cast<unsigned char*>(saved.pointer) - old_area);
  }
}

// ---- Pops.

void pop_discard_slow() noexcept { drop_top(top()); }

HeapText pop_to_heap() noexcept {
  StackEntry& entry = top();
  convert_entry(entry);
  if (has_kind(entry, EntryKind::TextOwned)) {
    --stack.depth;
    return {static_cast<char*>(entry.pointer), entry.length};
  }
  HeapText result{nullptr, 0};
  if (entry.length != 0) {
    auto* copy = static_cast<char*>(platform::heap_allocate(entry.length));
    if (copy != nullptr) {
      std::memcpy(copy, entry.pointer, entry.length);
      result = {copy, entry.length};
    }
  }
  pop_discard();
  return result;
}

void pop_to_string_slow(char* destination, std::uint32_t size) noexcept {
  StackEntry& entry = top_as_text();
  // An empty text has a null pointer, which stores as fill code 0: blanks.
  store_string(destination, size, static_cast<const char*>(entry.pointer), entry.length);
  drop_top(entry);
}

void pop_to_cstring_slow(char* destination, std::uint32_t size) noexcept {
  StackEntry& entry = top_as_text();
  store_cstring(destination, size, static_cast<const char*>(entry.pointer), entry.length);
  drop_top(entry);
}

void pop_to_pstring(char* destination, std::uint32_t size) noexcept {
  StackEntry& entry = top_as_text();
  store_pstring(destination, size, static_cast<const char*>(entry.pointer), entry.length);
  drop_top(entry);
}

double pop_real() noexcept {
  StackEntry& entry = top();
  if (is_variant(entry)) {
    const std::optional<double> value = runtime::variant_to_real(*variant_of(entry));
    pop_discard();
    return value.value_or(0.0);
  }
  const std::string_view text = top_text();
  narrow_top(clipped_length(text.data(), static_cast<std::uint32_t>(text.size())));
  char number[40];
  pop_to_cstring(number, sizeof(number));
  return read_real(number);
}

KesBStr pop_bstr() noexcept {
  StackEntry& entry = top();
  KesBStr result = nullptr;
  if (has_kind(entry, EntryKind::BStrOwned)) {
    result = bstr_of(entry);
    entry.pointer = nullptr;  // handed over
  } else if (has_kind(entry, EntryKind::BStrRef)) {
    result = runtime::bstr_copy(bstr_of(entry));
  } else if (is_variant(entry)) {
    result = runtime::variant_to_bstr(*variant_of(entry)).value_or(nullptr);
  } else {
    result = runtime::bstr_from_ansi(top_text());
  }
  pop_discard();
  return result;
}

void pop_to_variant(KesVariant& variant) noexcept {
  runtime::variant_clear(variant);
  StackEntry& entry = top();
  if (has_kind(entry, EntryKind::VariantInline)) {
    std::memcpy(&variant, variant_of(entry), sizeof(variant));
    runtime::variant_init(*variant_of(entry));  // handed over
  } else if (has_kind(entry, EntryKind::VariantRef)) {
    runtime::variant_copy(variant, *variant_of(entry));
  } else {
    KesBStr bstr = pop_bstr();
    if (bstr != nullptr) runtime::variant_assign_bstr(variant, bstr);
    return;
  }
  pop_discard();
}

// ---- Thread switch support.

void* save_string_stack() noexcept {
  if (stack.depth == 0) return nullptr;
  const std::size_t entries_bytes = sizeof(StackEntry) * static_cast<std::size_t>(stack.depth);
  auto* block =
      static_cast<unsigned char*>(platform::heap_allocate(sizeof(std::int32_t) + entries_bytes));
  if (block == nullptr)
    fatal(RuntimeError::InternalAssertion, "no memory to save the string stack");
  const std::int32_t depth = stack.depth;
  std::memcpy(block, &depth, sizeof(depth));
  std::memcpy(block + sizeof(depth), stack.entries, entries_bytes);
  return block;
}

void restore_string_stack(void* snapshot) noexcept {
  if (snapshot == nullptr) {
    stack.depth = 0;
    return;
  }
  const auto* block = static_cast<const unsigned char*>(snapshot);
  std::int32_t depth = 0;
  std::memcpy(&depth, block, sizeof(depth));
  if (depth < 0 || depth > kStringStackCapacity) depth = 0;
  // Entries return to the same slots, so inline pointers stay right.
  std::memcpy(stack.entries, block + sizeof(depth),
              sizeof(StackEntry) * static_cast<std::size_t>(depth));
  stack.depth = depth;
  platform::heap_free(snapshot);
}

}  // namespace kes::runtime

// SUB, CLIP, LEFT, RIGHT, CENTER, ALL, UPPER, LOWER, VAL, NUMERIC and INSTRING on the top of
// the string stack.
#include "runtime/builtins/string_builtins.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <span>

#include "numeric/locale/collation_compare.h"
#include "numeric/locale/collation_tables.h"
#include "platform/core/heap.h"
#include "runtime/astring/astring_table.h"
#include "runtime/builtins/string_builtins_entry.h"
#include "runtime/stack/string_stack.h"
#include "runtime/stack/string_store.h"

namespace kes::runtime {

// ---- Entry helpers shared by the built-ins.

std::string_view entry_text(const StackEntry& entry) noexcept {
  if (entry.pointer == nullptr) return {};
  return {static_cast<const char*>(entry.pointer), entry.length};
}

void set_empty(StackEntry& entry) noexcept {
  if (owns_text(entry)) platform::heap_free(entry.pointer);
  entry.kind = static_cast<std::uint32_t>(EntryKind::TextRef);
  entry.pointer = nullptr;
  entry.length = 0;
}

void keep_slice(StackEntry& entry, std::uint32_t offset, std::uint32_t length) noexcept {
  if (entry.pointer == nullptr) {
    entry.length = 0;
    return;
  }
  char* text = static_cast<char*>(entry.pointer);
  if (owns_text(entry)) {
    // The block must stay where it is to be freed, so the kept bytes move to its front.
    if (offset != 0 && length != 0) std::memmove(text, text + offset, length);
  } else {
    entry.pointer = text + offset;
  }
  entry.length = length;
}

void set_inline_text(StackEntry& entry, const char* text, std::uint32_t length) noexcept {
  if (owns_text(entry)) platform::heap_free(entry.pointer);
  if (length != 0) std::memcpy(entry.inline_area, text, length);
  entry.kind = static_cast<std::uint32_t>(EntryKind::TextInline);
  entry.pointer = entry.inline_area;
  entry.length = length;
}

void set_owned_text(StackEntry& entry, char* block, std::uint32_t length) noexcept {
  if (owns_text(entry)) platform::heap_free(entry.pointer);
  entry.kind = static_cast<std::uint32_t>(EntryKind::TextOwned);
  entry.pointer = block;
  entry.length = length;
}

namespace {

// Makes the top `width` bytes: `count` bytes of its text from `source_offset` placed at
// `target_offset`, spaces everywhere else. Requires target_offset + count <= width.
void rebuild(StackEntry& entry, std::uint32_t width, std::uint32_t source_offset,
             std::uint32_t count, std::uint32_t target_offset) noexcept {
  const char* source =
      count == 0 ? nullptr : static_cast<const char*>(entry.pointer) + source_offset;
  // Moves before it fills, so the entry's own block can be the target.
  const auto fill = [&](char* target) noexcept {
    if (count != 0) std::memmove(target + target_offset, source, count);
    std::memset(target, ' ', target_offset);
    std::memset(target + target_offset + count, ' ', width - target_offset - count);
  };
  if (width <= kInlineCapacity) {
    char local[kInlineCapacity];
    fill(local);
    set_inline_text(entry, local, width);
    return;
  }
  if (owns_text(entry) && entry.length >= width) {
    fill(static_cast<char*>(entry.pointer));
    entry.length = width;
    return;
  }
  auto* block = static_cast<char*>(platform::heap_allocate(width));
  if (block == nullptr) {
    set_empty(entry);
    return;
  }
  fill(block);
  set_owned_text(entry, block, width);
}

// The width LEFT, RIGHT and CENTER make: -1 is the operand's own length; other negative
// widths and widths above kMaxBuiltinResult give none.
std::optional<std::uint32_t> resolve_width(std::int32_t width, std::uint32_t own) noexcept {
  if (width == kOwnWidth) return own;
  if (width < 0 || static_cast<std::uint32_t>(width) > kMaxBuiltinResult) return std::nullopt;
  return static_cast<std::uint32_t>(width);
}

std::uint32_t leading_spaces(std::string_view text) noexcept {
  std::uint32_t count = 0;
  while (count < text.size() && text[count] == ' ')
    ++count;
  return count;
}

std::uint32_t clipped(const StackEntry& entry) noexcept {
  return clipped_text_length(static_cast<const char*>(entry.pointer), entry.length);
}

void repeat_into(char* target, std::uint32_t length, std::string_view pattern) noexcept {
  std::uint32_t filled = std::min(static_cast<std::uint32_t>(pattern.size()), length);
  std::memcpy(target, pattern.data(), filled);
  // `filled` stays a multiple of the pattern's length until the last, shorter copy.
  while (filled < length) {
    const std::uint32_t chunk = std::min(filled, length - filled);
    std::memcpy(target + filled, target, chunk);
    filled += chunk;
  }
}

// UPPER of an AString is the AString of its upper-case text, remembered as its upper twin.
void upper_astring(StackEntry& entry) noexcept {
  const char* astring = static_cast<const char*>(entry.pointer);
  if (astring == nullptr) return;
  entry.pointer = const_cast<char*>(astring_table().upper(astring));
}

}  // namespace

void change_case_slow(bool upper) noexcept {
  StackEntry& entry = entry_from_top(1);
  if (upper && entry.kind == static_cast<std::uint32_t>(EntryKind::AStringRef)) {
    upper_astring(entry);
    return;
  }
  if ((entry.kind & kKindNotTextBits) != 0) convert_to_text(1);
  if (entry.length == 0 || entry.pointer == nullptr) return;
  if (entry.kind == static_cast<std::uint32_t>(EntryKind::TextRef) &&
      entry.length <= kInlineCapacity) {
    set_inline_text(entry, static_cast<const char*>(entry.pointer), entry.length);
  } else {
    make_top_self_contained();
  }
  if (entry.kind == static_cast<std::uint32_t>(EntryKind::TextRef)) {
    // The copy could not be made; the variable it refers to must not change.
    set_empty(entry);
    return;
  }
  // The case table's partner for each letter of the other case; the tables are read once.
  const numeric::CollationTables& tables = numeric::collation_tables();
  const std::uint8_t from_class = upper ? numeric::kClassLower : numeric::kClassUpper;
  auto* text = static_cast<unsigned char*>(entry.pointer);
  for (std::uint32_t i = 0; i < entry.length; ++i) {
    const unsigned char c = text[i];
    if ((tables.char_class[c] & from_class) != 0 && tables.case_partner[c] != 0) {
      text[i] = tables.case_partner[c];
    }
  }
}

namespace {

bool is_digit(char c) noexcept { return c >= '0' && c <= '9'; }
bool is_white(char c) noexcept { return c == ' ' || (c >= '\t' && c <= '\r'); }

// True when the whole terminated text reads as a decimal floating-point number.
bool reads_as_number(const char* text) noexcept {
  const char* p = text;
  if (*p == '\0') return false;
  while (is_white(*p))
    ++p;
  if (*p == '+' || *p == '-') ++p;
  int digits = 0;
  while (is_digit(*p)) {
    ++p;
    ++digits;
  }
  if (*p == '.') {
    ++p;
    while (is_digit(*p)) {
      ++p;
      ++digits;
    }
  }
  if (digits == 0) return false;
  if (*p == 'e' || *p == 'E') {
    const char* q = p + 1;
    if (*q == '+' || *q == '-') ++q;
    // An exponent marker without digits is not read, so it is left over.
    if (is_digit(*q)) {
      while (is_digit(*q))
        ++q;
      p = q;
    }
  }
  return *p == '\0';
}

// The first offset in [from, last] where `sought` (at least 5 bytes) lies in `searched`, by the
// last-byte skip table; -1 when none.
std::int64_t skip_table_search(std::string_view searched, std::string_view sought,
                               std::int64_t from, std::int64_t last) noexcept {
  const std::size_t t = sought.size();
  const auto* pattern = reinterpret_cast<const unsigned char*>(sought.data());
  // Shifts are at most t; texts longer than 255 bytes saturate at 255, which only shortens
  // some shifts and never skips a match.
  const auto longest = static_cast<std::uint8_t>(std::min<std::size_t>(t, 255));
  std::uint8_t shift[256];
  std::memset(shift, longest, sizeof(shift));
  for (std::size_t i = 0; i + 1 < t; ++i) {
    shift[pattern[i]] = static_cast<std::uint8_t>(std::min<std::size_t>(t - 1 - i, 255));
  }
  const unsigned char final_byte = pattern[t - 1];
  // The window moves by the final byte's own shift after a failed full comparison; in the
  // scanning loop its shift reads 0, which marks a candidate.
  const std::uint8_t final_shift = shift[final_byte];
  shift[final_byte] = 0;
  const auto* probe = reinterpret_cast<const unsigned char*>(searched.data()) + (t - 1);
  const auto* window = reinterpret_cast<const unsigned char*>(searched.data());
  // The range of window offsets is cut into lanes scanned side by side, so that the lanes'
  // table look-ups overlap instead of each waiting for the one before. Each lane alone never
  // skips a match of its own range, so the lowest lane with a match holds the first one.
  constexpr int kLanes = 4;
  const std::int64_t range = last - from + 1;
  std::int64_t at[kLanes];
  std::int64_t end[kLanes];
  for (int lane = 0; lane < kLanes; ++lane) {
    at[lane] = from + range * lane / kLanes;
    end[lane] = from + range * (lane + 1) / kLanes - 1;
  }
  int matched = -1;
  int lanes = kLanes;  // lanes above a matched one no longer matter
  for (bool running = true; running;) {
    running = false;
    for (int lane = 0; lane < lanes; ++lane) {
      std::int64_t& offset = at[lane];
      if (offset > end[lane]) continue;
      running = true;
      std::uint8_t step = shift[probe[offset]];
      if (step == 0) {
        if (window[offset] == pattern[0] &&
            std::memcmp(window + offset + 1, pattern + 1, t - 2) == 0) {
          matched = lane;
          lanes = lane;
          break;
        }
        step = final_shift;
      }
      offset += step;
    }
  }
  return matched < 0 ? -1 : at[matched];
}

// The first offset in [from, last] where `sought` lies; -1 when none.
std::int64_t forward_search(std::string_view searched, std::string_view sought, std::int64_t from,
                            std::int64_t last) noexcept {
  const std::size_t t = sought.size();
  const char* base = searched.data();
  if (t == 1) {
    const void* found =
        std::memchr(base + from, sought[0], static_cast<std::size_t>(last - from + 1));
    return found == nullptr ? -1 : static_cast<const char*>(found) - base;
  }
  if (t > 4 && searched.size() > 256) return skip_table_search(searched, sought, from, last);
  std::int64_t offset = from;
  while (offset <= last) {
    const void* found =
        std::memchr(base + offset, sought[0], static_cast<std::size_t>(last - offset + 1));
    if (found == nullptr) return -1;
    offset = static_cast<const char*>(found) - base;
    if (std::memcmp(base + offset + 1, sought.data() + 1, t - 1) == 0) return offset;
    ++offset;
  }
  return -1;
}

}  // namespace

// ---- The built-ins.

void sub_top_slow(std::int32_t start, std::int32_t length) noexcept {
  StackEntry& entry = text_top();
  const std::uint32_t own = entry.pointer == nullptr ? 0 : entry.length;
  std::uint32_t offset = 0;
  if (start < 0) {
    const std::int64_t from_end = static_cast<std::int64_t>(own) + start;
    offset = from_end < 0 ? 0 : static_cast<std::uint32_t>(from_end);
  } else if (start > 0) {
    offset = std::min(static_cast<std::uint32_t>(start) - 1, own);
  }
  // Read unsigned: a negative length takes the rest of the text.
  const std::uint32_t count = std::min(static_cast<std::uint32_t>(length), own - offset);
  keep_slice(entry, offset, count);
}

void clip_top_slow() noexcept {
  StackEntry& entry = entry_from_top(1);
  if (entry.kind == static_cast<std::uint32_t>(EntryKind::AStringRef)) return;
  if ((entry.kind & kKindNotTextBits) != 0) convert_to_text(1);
  entry.length = clipped(entry);
}

std::string_view pop_clipped_cstring(char* destination, std::uint32_t size) noexcept {
  clip_top();
  pop_to_cstring(destination, size);
  return size == 0 ? std::string_view() : std::string_view(destination, std::strlen(destination));
}

void left_top(std::int32_t width) noexcept {
  StackEntry& entry = text_top();
  const std::string_view text = entry_text(entry);
  const std::optional<std::uint32_t> target = resolve_width(width, entry.length);
  if (!target) return set_empty(entry);
  const std::uint32_t lead = leading_spaces(text);
  const auto rest = static_cast<std::uint32_t>(text.size()) - lead;
  if (rest >= *target) return keep_slice(entry, lead, *target);
  rebuild(entry, *target, lead, rest, 0);
}

void right_top(std::int32_t width) noexcept {
  StackEntry& entry = text_top();
  const std::optional<std::uint32_t> target = resolve_width(width, entry.length);
  if (!target) return set_empty(entry);
  const std::uint32_t core = clipped(entry);
  if (core >= *target) return keep_slice(entry, core - *target, *target);
  rebuild(entry, *target, 0, core, *target - core);
}

void center_top(std::int32_t width) noexcept {
  StackEntry& entry = text_top();
  const std::optional<std::uint32_t> target = resolve_width(width, entry.length);
  if (!target) return set_empty(entry);
  const std::uint32_t end = clipped(entry);
  const std::uint32_t start = end == 0 ? 0 : leading_spaces(entry_text(entry));
  const std::uint32_t core = end - start;
  if (core < *target) {
    const std::uint32_t spare = *target - core;
    return rebuild(entry, *target, start, core, spare - spare / 2);  // odd spare: one more left
  }
  const std::uint32_t excess = core - *target;
  keep_slice(entry, start + (excess - excess / 2), *target);  // odd excess: one more cut left
}

void all_top(std::int32_t length) noexcept {
  StackEntry& entry = text_top();
  if (length <= 0 || static_cast<std::uint32_t>(length) > kMaxBuiltinResult) {
    return set_empty(entry);
  }
  const auto count = static_cast<std::uint32_t>(length);
  std::string_view pattern = entry_text(entry);
  if (pattern.empty()) pattern = " ";
  if (count <= pattern.size() && !entry_text(entry).empty()) return keep_slice(entry, 0, count);
  if (count <= kInlineCapacity) {
    char local[kInlineCapacity];
    repeat_into(local, count, pattern);
    return set_inline_text(entry, local, count);
  }
  auto* block = static_cast<char*>(platform::heap_allocate(count));
  if (block == nullptr) return set_empty(entry);
  repeat_into(block, count, pattern);
  set_owned_text(entry, block, count);
}

std::int32_t val_pop() noexcept {
  const std::string_view text = entry_text(text_top());
  const std::int32_t code = text.empty() ? ' ' : static_cast<unsigned char>(text[0]);
  pop_discard();
  return code;
}

std::int32_t numeric_pop() noexcept {
  StackEntry& entry = text_top();
  entry.length = clipped(entry);
  char buffer[40];
  pop_to_cstring(buffer, sizeof(buffer));
  return reads_as_number(buffer) ? 1 : 0;
}

std::int32_t instring(std::string_view searched, std::string_view sought, std::int32_t step,
                      std::int32_t start) noexcept {
  const auto t = static_cast<std::int64_t>(sought.size());
  const auto m = static_cast<std::int64_t>(searched.size());
  if (t == 0 || start <= 0 || m < t) return 0;
  const std::int64_t stride = step == 0 ? t : step;
  const std::int64_t last = m - t;  // the last offset where the sought text fits
  std::int64_t offset = static_cast<std::int64_t>(start) - 1;
  if (offset > last) return 0;
  if (stride == 1) {
    const std::int64_t found = forward_search(searched, sought, offset, last);
    return found < 0 ? 0 : static_cast<std::int32_t>(found + 1);
  }
  if (stride == -1 && t == 1) {
    const char wanted = sought[0];
    for (; offset >= 0; --offset) {
      if (searched[static_cast<std::size_t>(offset)] == wanted) {
        return static_cast<std::int32_t>(offset + 1);
      }
    }
    return 0;
  }
  for (; offset >= 0 && offset <= last; offset += stride) {
    if (std::memcmp(searched.data() + offset, sought.data(), sought.size()) == 0) {
      // A forward step counts slots of its size; a backward step gives the position.
      return static_cast<std::int32_t>(stride > 0 ? offset / stride + 1 : offset + 1);
    }
  }
  return 0;
}

std::int32_t instring_pop(std::int32_t step, std::int32_t start) noexcept {
  convert_to_text(2);
  const std::string_view sought = entry_text(text_top());
  const std::string_view searched = entry_text(entry_from_top(2));
  const std::int32_t result = instring(searched, sought, step, start);
  pop_discard();
  pop_discard();
  return result;
}

std::uint32_t clip_cstring(char* text) noexcept {
  if (text == nullptr) return 0;
  const auto length = static_cast<std::uint32_t>(std::strlen(text));
  const std::uint32_t kept = clipped_length(text, length);
  text[kept] = '\0';
  return kept;
}

}  // namespace kes::runtime

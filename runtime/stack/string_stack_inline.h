// The string stack's hot operations: their common cases inline, every other case out of line.
#pragma once

#include "runtime/stack/string_stack.h"

namespace kes::runtime {

// ---- Inline fast cases of the hot operations; every other case goes out of line.

inline void push_reference(std::string_view text) noexcept {
  StringStackArea& area = string_stack_area;
  const std::int32_t depth = area.depth;
  if (depth >= kStringStackCapacity) [[unlikely]]
    return;
  StackEntry& entry = area.entries[depth];
  const bool empty = text.data() == nullptr || text.size() > kMaxTextLength;
  entry.kind = static_cast<std::uint32_t>(EntryKind::TextRef);
  entry.pointer = empty ? nullptr : const_cast<char*>(text.data());
  entry.length = empty ? 0 : static_cast<std::uint32_t>(text.size());
  area.depth = depth + 1;
}

inline void pop_discard() noexcept {
  StringStackArea& area = string_stack_area;
  const std::int32_t depth = area.depth;
  // Everything but the owning kinds (bit 1, and the inline VARIANT) drops by lowering the depth.
  if (depth > 0) [[likely]] {
    const std::uint32_t kind = area.entries[depth - 1].kind;
    if ((kind & kKindOwnsBit) == 0 && kind != static_cast<std::uint32_t>(EntryKind::VariantInline))
        [[likely]] {
      area.depth = depth - 1;
      return;
    }
  }
  pop_discard_slow();
}

inline void pop_to_string(char* destination, std::uint32_t size) noexcept {
  StringStackArea& area = string_stack_area;
  const std::int32_t depth = area.depth;
  if (depth > 0) [[likely]] {
    const StackEntry& entry = area.entries[depth - 1];
    if (is_plain_text(entry.kind)) [[likely]] {
      // Nothing to release, so the entry can leave first; its bytes stay readable until the
      // next push, and the store is then the last step.
      area.depth = depth - 1;
#if defined(KES_AREA_IMAGES)
      // A text at the front of the inline area, into a field of 20 to 64 bytes: the area is
      // read whole, as make_top_self_contained() writes it.
      if (entry.pointer == entry.inline_area && size - 20 <= 44 && destination != nullptr) {
        return store_image_padded(destination, size, load_area_image(entry.inline_area),
                                  entry.length);
      }
#endif
      store_string(destination, size, static_cast<const char*>(entry.pointer), entry.length);
      return;
    }
  }
  pop_to_string_slow(destination, size);
}

inline void pop_to_cstring(char* destination, std::uint32_t size) noexcept {
  StringStackArea& area = string_stack_area;
  const std::int32_t depth = area.depth;
  if (depth > 0) [[likely]] {
    const StackEntry& entry = area.entries[depth - 1];
    if (is_plain_text(entry.kind) && entry.pointer != nullptr && size != 0 &&
        destination != nullptr) [[likely]] {
      const std::uint32_t copied = entry.length < size - 1 ? entry.length : size - 1;
      area.depth = depth - 1;
      if (copied <= kShortStore) {
        move_short(destination, static_cast<const char*>(entry.pointer), copied);
      } else {
        std::memmove(destination, entry.pointer, copied);
      }
      destination[copied] = '\0';
      return;
    }
  }
  pop_to_cstring_slow(destination, size);
}

inline std::uint32_t top_length() noexcept {
  const StringStackArea& area = string_stack_area;
  const std::int32_t depth = area.depth;
  if (depth > 0) [[likely]] {
    const StackEntry& entry = area.entries[depth - 1];
    if ((entry.kind & kKindNotTextBits) == 0) [[likely]]
      return entry.length;
  }
  return top_length_slow();
}

inline void make_top_self_contained() noexcept {
  StringStackArea& area = string_stack_area;
  const std::int32_t depth = area.depth;
  if (depth > 0) [[likely]] {
    StackEntry& entry = area.entries[depth - 1];
    if (entry.kind == static_cast<std::uint32_t>(EntryKind::TextRef) &&
        entry.length <= kInlineCapacity) [[likely]] {
      // A TextRef of length 0 may have a null pointer: nothing is read then.
#if defined(KES_AREA_IMAGES)
      store_area_image(entry.inline_area,
                       load_text_image(static_cast<const char*>(entry.pointer), entry.length));
#else
      move_short(reinterpret_cast<char*>(entry.inline_area),
                 static_cast<const char*>(entry.pointer), entry.length);
#endif
      entry.kind = static_cast<std::uint32_t>(EntryKind::TextInline);
      entry.pointer = entry.inline_area;
      return;
    }
  }
  make_top_self_contained_slow();
}

}  // namespace kes::runtime

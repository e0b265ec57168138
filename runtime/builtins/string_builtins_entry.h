// Entry-level helpers the string built-ins share: reading the top as text and replacing its
// text without going through a pop and a push.
//
// State: none; they work on entries of the process-wide string stack.
#pragma once

#include <cstdint>
#include <string_view>

#include "runtime/stack/string_stack.h"
#include "runtime/stack/string_store.h"

namespace kes::runtime {

inline bool owns_text(const StackEntry& entry) noexcept {
  return entry.kind == static_cast<std::uint32_t>(EntryKind::TextOwned);
}
inline bool is_ole_entry(const StackEntry& entry) noexcept {
  return (entry.kind & (4u | 8u)) != 0;  // a BSTR or VARIANT entry
}
inline bool is_astring_entry(const StackEntry& entry) noexcept {
  return entry.kind == static_cast<std::uint32_t>(EntryKind::AStringRef);
}

// The top, converted to a text entry in place.
inline StackEntry& text_top() noexcept {
  StackEntry& entry = entry_from_top(1);
  if ((entry.kind & kKindNotTextBits) != 0) [[unlikely]]
    convert_to_text(1);
  return entry;
}
// The length of a text without its trailing spaces.
inline std::uint32_t clipped_text_length(const char* text, std::uint32_t length) noexcept {
  return clipped_length(text, length);
}
// The text of a text entry (empty for a null pointer).
std::string_view entry_text(const StackEntry& entry) noexcept;
// Makes a text entry the empty text, freeing the block it owned.
void set_empty(StackEntry& entry) noexcept;
// Keeps `length` bytes from `offset` of a text entry's text (offset + length within it):
// a block the entry owns keeps its address and the bytes move to its front; any other entry
// only moves its pointer.
void keep_slice(StackEntry& entry, std::uint32_t offset, std::uint32_t length) noexcept;
// Replaces a text entry's text by a copy of `length` (at most 20) bytes held in the entry, or
// by a heap block the entry takes over. `text` must not lie in a block the entry owns.
void set_inline_text(StackEntry& entry, const char* text, std::uint32_t length) noexcept;
void set_owned_text(StackEntry& entry, char* block, std::uint32_t length) noexcept;

}  // namespace kes::runtime

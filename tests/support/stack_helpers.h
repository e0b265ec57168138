// String stack helpers shared by the tests: emptying the stack and popping the top as text.
//
// State: none; the string stack itself is per-thread state of the runtime.
#pragma once

#include <string>

#include <kestrel/string_stack.h>

#include "platform/core/heap.h"
#include "runtime/stack/string_stack.h"

namespace kes::test {

// Discards every entry, so each test starts and ends with an empty stack.
inline void drain_string_stack() {
  while (runtime::string_stack_depth() > 0)
    runtime::pop_discard();
}

// Pops the top entry through the export that hands over a heap copy, and returns its text.
inline std::string pop_temp_text() {
  KesTextPair pair{nullptr, 0};
  Kes$PopTemp(&pair);
  std::string text = pair.pointer == nullptr ? "" : std::string(pair.pointer, pair.length);
  platform::heap_free(pair.pointer);
  return text;
}

// Pops the top entry as a copy of its text.
inline std::string pop_top_text() {
  std::string text(runtime::top_text());
  runtime::pop_discard();
  return text;
}

// Pops the top entry into a runtime heap copy, as the string built-ins hand texts over, and
// returns its text.
inline std::string pop_heap_text() {
  const runtime::HeapText heap = runtime::pop_to_heap();
  std::string text = heap.pointer == nullptr ? "" : std::string(heap.pointer, heap.length);
  platform::heap_free(heap.pointer);
  return text;
}

// A text of `length` bytes that repeats the 26 letters from `first`, so that a byte taken from
// the wrong place shows.
inline std::string distinct_letters(std::size_t length, char first = 'a') {
  std::string text(length, ' ');
  for (std::size_t index = 0; index < length; ++index)
    text[index] = static_cast<char>(first + index % 26);
  return text;
}

inline runtime::EntryKind top_entry_kind() {
  return static_cast<runtime::EntryKind>(runtime::entry_from_top(1).kind);
}

}  // namespace kes::test

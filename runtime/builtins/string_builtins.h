// The string built-ins on the string stack: SUB, CLIP, LEFT, RIGHT, CENTER, ALL, UPPER, LOWER,
// VAL, NUMERIC, INSTRING, INLIST, concatenation, the comparisons, FORMAT and DEFORMAT.
//
// State: none of its own; every operation works on the process-wide string stack (saved and
// restored per thread by the thread layer) and reads the collation tables afresh.
//
// Operands are BSTR, VARIANT and AString entries converted to text first unless said
// otherwise. A text that an operation changes is first made self-contained, so a variable that
// was pushed by reference is never modified. Cutting results (SUB, CLIP, the cutting cases of
// LEFT, RIGHT and CENTER) only move the entry's pointer and length: a referenced or inline entry
// then allocates nothing. A result that needs new bytes goes into the entry itself when it fits
// 20 bytes, into the entry's own heap block when that is long enough, else into a new heap
// block; when that block cannot be allocated the result is the empty text.
#pragma once

#include <cstdint>
#include <string_view>

#include "numeric/locale/collation_state.h"
#include "numeric/locale/collation_tables.h"
#include "runtime/stack/string_stack.h"
#include "runtime/stack/string_store.h"

namespace kes::runtime {

// A width of -1 for LEFT, RIGHT and CENTER means the operand's own length.
inline constexpr std::int32_t kOwnWidth = -1;
// Longest result that ALL, LEFT, RIGHT and CENTER make (64 MiB). A longer requested length, a
// negative length and a negative width other than -1 give the empty text, so that a stray
// argument cannot ask for gigabytes.
inline constexpr std::uint32_t kMaxBuiltinResult = 64u << 20;

// SUB(text, start, length) on the top. `start` counts from 1; a negative start counts from the
// end (-1 is the last byte, and a start before the first byte clamps to it); a start past the
// end gives the empty text. Start 0 reads as start 1, for every kind of entry. `length` is read
// unsigned, so a negative length takes the rest of the text.
inline void sub_top(std::int32_t start, std::int32_t length) noexcept;
// CLIP: the top loses its trailing spaces (byte 32 only). An AString entry stays as it is.
inline void clip_top() noexcept;
// LEFT, RIGHT and CENTER of the top in `width` bytes (kOwnWidth: the operand's length).
// LEFT drops the leading spaces and pads or cuts on the right; RIGHT drops the trailing spaces
// and pads on the left or keeps the last `width` bytes; CENTER centres the text between its
// leading and trailing spaces, an odd extra space going left and an odd excess cutting one byte
// more on the left.
void left_top(std::int32_t width) noexcept;
void right_top(std::int32_t width) noexcept;
void center_top(std::int32_t width) noexcept;
// ALL: the top (a pattern; empty counts as one space) repeated to `length` bytes.
void all_top(std::int32_t length) noexcept;
// UPPER and LOWER by the case tables of the current character set. UPPER of an AString entry
// leaves an AString entry of the upper-case text (the empty AString when it cannot be stored).
inline void upper_top() noexcept;
inline void lower_top() noexcept;
// VAL: the first byte of the top (0-255), 32 for the empty text; pops.
std::int32_t val_pop() noexcept;
// NUMERIC: 1 when the top, clipped and cut to 39 bytes, is a number (leading white space,
// optional sign, digits with an optional point, optional exponent) to its end, else 0; pops.
std::int32_t numeric_pop() noexcept;

// The match number of `sought` in `searched` from position `start` in steps of `step` (0: the
// length of `sought`): the slot number o / step + 1 for a positive step, the position o + 1
// for a negative step, where o is the offset of the first matching candidate; 0 when there is
// none, when `sought` is empty or longer than `searched`, or when start is below 1. Exact bytes.
std::int32_t instring(std::string_view searched, std::string_view sought, std::int32_t step,
                      std::int32_t start) noexcept;
// INSTRING on the stack: sought text on top, searched text below it; pops both.
std::int32_t instring_pop(std::int32_t step, std::int32_t start) noexcept;
// INLIST: the value on top, `count` items below it (item 1 directly below the value), compared
// by the collation order with space padding; the number of the first equal item or 0. Pops the
// value and the items. A count that reaches below the bottom of the stack is the fatal stack
// error, raised before anything is popped.
std::int32_t inlist_pop(std::uint32_t count) noexcept;

// Concatenation: A below, B on top; pushes A & B (or B & A when `reversed`) in their place. With
// a BSTR or VARIANT operand the result is an owned BSTR. The empty text when the result cannot be
// allocated.
inline void concat_pop(bool reversed) noexcept;

// The ordering comparison of A (below) with B (top): negative, 0 or positive as A < B, A = B,
// A > B. Texts by the collation order, the shorter padded with spaces. A VARIANT side compares by
// value when both sides are numbers, else as text; two BSTRs compare by their UTF-16 units. Pops
// B, and A too when `pop_both`.
std::int32_t compare_pop(bool pop_both) noexcept;
// The inequality test of A (below) with B (top): 1 when they differ, 0 when equal. Texts compare
// byte for byte, the longer one's rest having to be spaces; a BSTR or VARIANT side goes through
// the ordering comparison. Pops B, and A too when `pop_both`.
std::int32_t not_equal_pop(bool pop_both) noexcept;
// The truth of the top: 1 when it holds a byte other than a space, else 0 (an AString entry by
// its pointer); pops.
std::int32_t truth_pop() noexcept;

// FORMAT: the top formatted by `picture` (zero-terminated) in its place; the empty text for an
// invalid picture. DEFORMAT likewise reads the top (at most 254 bytes) against the picture.
void format_top(const char* picture) noexcept;
void deformat_top(const char* picture) noexcept;
// FORMAT and DEFORMAT with the picture below the operand on the stack (clipped, at most 253
// bytes of it count); both are popped.
void format_top_with_stacked_picture() noexcept;
void deformat_top_with_stacked_picture() noexcept;

// PRESS: pops the top and hands its text to the window layer's keystroke queue.
void press_pop() noexcept;

// Kes$clipstr: cuts the trailing spaces of a zero-terminated text in place; returns the new
// length (0 for null).
std::uint32_t clip_cstring(char* text) noexcept;

// CLIP, then pops the top into `destination` as a terminated text of at most `size` - 1 bytes
// (cut there and at a zero byte), the way statements take names and paths from the stack.
// Returns the text stored; the empty text for size 0, which stores nothing.
std::string_view pop_clipped_cstring(char* destination, std::uint32_t size) noexcept;

// ---- Inline fast cases of the hot built-ins: a reference or an inline text, read in place.
// Every other case goes out of line to the functions below, which handle any entry.

void sub_top_slow(std::int32_t start, std::int32_t length) noexcept;
void clip_top_slow() noexcept;
void change_case_slow(bool upper) noexcept;
void concat_pop_slow(bool reversed) noexcept;

// Keeps a loop over a few bytes scalar: a vector version's set-up costs more than such a loop.
[[gnu::always_inline]] inline void keep_scalar(std::uint32_t& index) noexcept {
  asm("" : "+r"(index));
}

inline void sub_top(std::int32_t start, std::int32_t length) noexcept {
  StringStackArea& area = string_stack_area;
  const std::int32_t depth = area.depth;
  if (depth > 0) [[likely]] {
    StackEntry& entry = area.entries[depth - 1];
    if (is_plain_text(entry.kind)) [[likely]] {
      // Nothing owned: the entry narrows to the substring by its pointer and length alone.
      char* const text = static_cast<char*>(entry.pointer);
      const std::uint32_t own = text == nullptr ? 0 : entry.length;
      std::uint32_t offset = 0;
      if (start < 0) {
        const std::uint32_t back = 0u - static_cast<std::uint32_t>(start);  // [1, 2^31]
        offset = back < own ? own - back : 0;
      } else if (start > 0) {
        const std::uint32_t from_first = static_cast<std::uint32_t>(start) - 1;
        offset = from_first < own ? from_first : own;
      }
      // Read unsigned: a negative length takes the rest of the text.
      const std::uint32_t rest = own - offset;
      const auto wanted = static_cast<std::uint32_t>(length);
      entry.length = wanted < rest ? wanted : rest;
      if (text != nullptr) entry.pointer = text + offset;
      return;
    }
  }
  sub_top_slow(start, length);
}

inline void clip_top() noexcept {
  StringStackArea& area = string_stack_area;
  const std::int32_t depth = area.depth;
  if (depth > 0) [[likely]] {
    StackEntry& entry = area.entries[depth - 1];
    if ((entry.kind & kKindNotTextBits) == 0) [[likely]] {
      entry.length = clipped_length(static_cast<const char*>(entry.pointer), entry.length);
      return;
    }
  }
  clip_top_slow();
}

// UPPER (`upper`) or LOWER of the top.
inline void change_case_top(bool upper) noexcept {
  StringStackArea& area = string_stack_area;
  const std::int32_t depth = area.depth;
  if (depth > 0) [[likely]] {
    StackEntry& entry = area.entries[depth - 1];
    const std::uint32_t length = entry.length;
    if (is_plain_text(entry.kind) && length - 1 < kInlineCapacity && entry.pointer != nullptr)
        [[likely]] {
      // A short reference or inline text: converted while it is copied to the front of the
      // inline area. An inline text is its own source: the copy runs forward, and such a text
      // never starts before the area does.
      const auto* source = static_cast<const unsigned char*>(entry.pointer);
      unsigned char* const target = entry.inline_area;
      const numeric::CollationTables& tables = numeric::detail::g_collation_tables;
      const std::uint8_t from_class = upper ? numeric::kClassLower : numeric::kClassUpper;
      for (std::uint32_t i = 0; i < length; ++i) {
        keep_scalar(i);
        // Without branches: letters of either case mix freely in a text.
        const unsigned c = source[i];
        const unsigned partner = tables.case_partner[c];
        const unsigned change = static_cast<unsigned>((tables.char_class[c] & from_class) != 0) &
                                static_cast<unsigned>(partner != 0);
        target[i] = static_cast<unsigned char>(c ^ ((c ^ partner) & (0u - change)));
      }
      entry.kind = static_cast<std::uint32_t>(EntryKind::TextInline);
      entry.pointer = target;
      return;
    }
  }
  change_case_slow(upper);
}

inline void upper_top() noexcept { change_case_top(true); }
inline void lower_top() noexcept { change_case_top(false); }

inline void concat_pop(bool reversed) noexcept {
  StringStackArea& area = string_stack_area;
  const std::int32_t depth = area.depth;
  if (depth >= 2 && !reversed) [[likely]] {
    StackEntry& a = area.entries[depth - 2];
    const StackEntry& b = area.entries[depth - 1];
    if (is_plain_text(a.kind | b.kind)) [[likely]] {
      // Read before anything is written: the byte copies below may alias any field.
      const auto* const a_text = static_cast<const char*>(a.pointer);
      const auto* const b_text = static_cast<const char*>(b.pointer);
      const std::uint32_t a_length = a_text == nullptr ? 0 : a.length;
      const std::uint32_t b_length = b_text == nullptr ? 0 : b.length;
      // Each length is at most kMaxTextLength, so the sum does not wrap; [1, 20] fits the entry.
      const std::uint32_t total = a_length + b_length;
      if (total - 1 < kInlineCapacity) [[likely]] {
        // A's text moves to the front of its own inline area (where an inline text usually is
        // already) and B's follows it: no heap block and no intermediate copy. B owns nothing,
        // so dropping it only lowers the depth.
        char* const joined = reinterpret_cast<char*>(a.inline_area);
        if (a_text != joined) move_up_to_32(joined, a_text, a_length);
        move_up_to_32(joined + a_length, b_text, b_length);
        a.kind = static_cast<std::uint32_t>(EntryKind::TextInline);
        a.pointer = joined;
        a.length = total;
        area.depth = depth - 1;
        return;
      }
    }
  }
  concat_pop_slow(reversed);
}

}  // namespace kes::runtime

// The string stack: the evaluation stack of string temporaries that compiled expressions,
// the built-ins and the value descriptors work on.
//
// State: one stack area (32 entries and a depth) for the process. It is per-thread state in
// effect: the thread layer saves the outgoing thread's stack with save_string_stack() and
// restores the incoming thread's with restore_string_stack() at each switch. No lock of its own;
// the runtime lock serialises its users.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include <kestrel/ole.h>

#include "runtime/stack/string_store.h"

namespace kes::runtime {

// What an entry holds. Bit 1: the entry owns what it points to and releases it when discarded.
// Bit 2: the pointer points into the entry's own inline area. Bits 4, 8, 16: not plain text;
// such an entry is converted to text before any text operation reads it.
enum class EntryKind : std::uint32_t {
  TextRef = 0,         // caller's bytes, not owned
  TextOwned = 1,       // a platform heap block the entry frees
  TextInline = 2,      // text in the inline area
  BStrRef = 4,         // a BSTR not owned
  BStrOwned = 5,       // a BSTR the entry clears
  VariantRef = 8,      // a VARIANT not owned
  VariantInline = 10,  // a VARIANT copied into the inline area, cleared on discard
  AStringRef = 16,     // an interned text, 16-bit length stored just before its first byte
};

inline constexpr std::uint32_t kKindOwnsBit = 1;
inline constexpr std::uint32_t kKindInlineBit = 2;
inline constexpr std::uint32_t kKindNotTextBits = 4 | 8 | 16;

inline constexpr int kStringStackCapacity = 32;
inline constexpr std::size_t kInlineCapacity = 20;
// Longest text an entry holds; a push of a longer length pushes the empty string instead.
inline constexpr std::uint32_t kMaxTextLength = 0x7FFFFFFFu;

// One stack entry; the compiler relies on this layout (32 bytes with 32-bit pointers:
// kind 0, pointer 4, length 8, inline area 12). On a 64-bit host the pointer takes 8 bytes.
struct StackEntry {
  std::uint32_t kind;                          // an EntryKind value
  void* pointer;                               // text, BSTR, VARIANT or AString, per kind
  std::uint32_t length;                        // text length in bytes (text kinds only)
  unsigned char inline_area[kInlineCapacity];  // short text or a 16-byte VARIANT
};
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(StackEntry) == 32);
static_assert(offsetof(StackEntry, pointer) == 4);
static_assert(offsetof(StackEntry, length) == 8);
static_assert(offsetof(StackEntry, inline_area) == 12);
#else
static_assert(sizeof(StackEntry) == 40);
static_assert(offsetof(StackEntry, pointer) == 8);
static_assert(offsetof(StackEntry, length) == 16);
static_assert(offsetof(StackEntry, inline_area) == 20);
#endif
static_assert(offsetof(StackEntry, kind) == 0);
static_assert(sizeof(KesVariant) <= kInlineCapacity);

// The one stack area (per-thread state swapped at thread switches, as said above). It is visible
// here only so that the hot pushes and pops below can handle their common case inline;
// everything else goes through the functions of this header.
struct StringStackArea {
  std::int32_t depth;  // [0, 32]; the top is entries[depth - 1]
  StackEntry entries[kStringStackCapacity];
};
extern StringStackArea string_stack_area;

// True for the kinds a pop can read and drop with nothing to convert or release: TextRef and
// TextInline.
constexpr bool is_plain_text(std::uint32_t kind) noexcept { return (kind & ~kKindInlineBit) == 0; }

// ---- Pushes. Every push onto a full stack (depth 32) quietly does nothing; a push that takes
// over a heap block then frees that block, so nothing leaks.

// Pushes a self-contained copy: inline up to 20 bytes, else a heap copy. If that copy cannot be
// allocated, or the text is longer than kMaxTextLength, the empty string is pushed.
void push_text(std::string_view text) noexcept;
// Pushes a TextRef to the caller's bytes, valid while they stay unchanged. Null, or a length
// above kMaxTextLength, gives the empty string.
inline void push_reference(std::string_view text) noexcept;
// Pushes a TextOwned entry that takes over `heap_block` (from platform::heap_allocate). A null
// block gives the empty string.
void push_owned(char* heap_block, std::uint32_t length) noexcept;
// Pushes the decimal text of `value`, inline ("-2147483648" at most).
void push_long(std::int32_t value) noexcept;
// Pushes `value` with at most 14 significant digits, trailing fraction zeros dropped; inline
// when the text fits 20 bytes (only negative values with a three-digit negative exponent and 14
// digits do not, and go to the heap).
void push_real(double value) noexcept;
// Pushes "1" for nonzero, the empty string for zero.
void push_bool(std::int32_t value) noexcept;
// Pushes an AString reference (null is the empty AString).
void push_astring(const char* astring) noexcept;
// Pushes a BSTR reference, or takes ownership of it when `owned`.
void push_bstr(KesBStr bstr, bool owned) noexcept;
// Pushes a VARIANT reference (not owned); null pushes the empty string.
void push_variant_reference(KesVariant* variant) noexcept;
// Pushes a VARIANT copied into the entry; the entry takes over what the copy holds.
void push_variant_inline(const KesVariant& variant) noexcept;

// ---- Reading the top. The stack must not be empty: reading or popping an empty stack is a
// fatal "Stack overflow" run-time error.

int string_stack_depth() noexcept;
// The entry `distance` places from the top (1 = the top), [1, depth].
StackEntry& entry_from_top(int distance) noexcept;
// The top as text, converting a BSTR, VARIANT or AString entry into a text entry in place.
// Valid until the next push or pop.
std::string_view top_text() noexcept;
// Converts the entry `distance` places from the top to a text entry in place (1 = the top).
void convert_to_text(int distance) noexcept;
// The length of the top's text without converting it in place.
inline std::uint32_t top_length() noexcept;
// The same for any top (BSTR, VARIANT and AString entries measured, an empty stack fatal).
std::uint32_t top_length_slow() noexcept;
// Lowers the top's text length to `length` when it is shorter than the current one (no copy;
// a reference stays a reference). Converts the top to text first.
void narrow_top(std::uint32_t length) noexcept;
// Makes the top's text exactly `width` bytes: truncation lowers the length, padding copies into
// a new heap block filled with spaces. On allocation failure the top stays unchanged.
void fit_top_to_width(std::uint32_t width) noexcept;
// Makes the top independent of the memory it refers to (inline copy up to 20 bytes, else heap).
inline void make_top_self_contained() noexcept;
// The same for any top; the inline version handles only short references.
void make_top_self_contained_slow() noexcept;
// Moves the entry `n` places below the top to the top, [0, depth - 1]; n out of range is fatal.
void rotate(int n) noexcept;

// ---- Pops.

// Pops the top, releasing what it owns.
inline void pop_discard() noexcept;
// The same for any top; the inline version handles only entries that own nothing.
void pop_discard_slow() noexcept;
// Pops the top as a heap text the caller owns; allocation failure gives null and length 0.
HeapText pop_to_heap() noexcept;
// Pops the top into fixed STRING, CSTRING and PSTRING destinations of `size` bytes.
inline void pop_to_string(char* destination, std::uint32_t size) noexcept;
inline void pop_to_cstring(char* destination, std::uint32_t size) noexcept;
// The same for any top: converts or releases as its kind needs.
void pop_to_string_slow(char* destination, std::uint32_t size) noexcept;
void pop_to_cstring_slow(char* destination, std::uint32_t size) noexcept;
void pop_to_pstring(char* destination, std::uint32_t size) noexcept;
// Pops the top as a whole number: a VARIANT by its type change (0 when it has none), any other
// entry as at most 99 bytes of text read by the decimal stack and truncated toward zero.
std::int32_t pop_long() noexcept;
// Pops the top as a REAL: a VARIANT by its type change (0.0 when it has none), any other entry
// as at most 39 bytes of clipped text read as a decimal floating-point number (0.0 for none).
double pop_real() noexcept;
// Pops the top as at most 99 bytes of text and pushes its value on the decimal stack.
void pop_to_decimal_stack() noexcept;
// Pops the decimal stack's top and pushes its canonical text.
void push_from_decimal_stack() noexcept;
// Pops the top as a new BSTR the caller owns (null for failure).
KesBStr pop_bstr() noexcept;
// Clears `variant` and stores the top there (text as a string variant, a variant by copy), pops.
void pop_to_variant(KesVariant& variant) noexcept;

// ---- Helpers of the housekeeping exports.

// The result of OMITTED(number) for a procedure of `count` parameters whose flag word for that
// parameter is `flag`: its low byte; 1 when `number` is outside 1 to `count`.
std::int32_t omitted_flag(std::int32_t number, std::int32_t count, std::uint32_t flag) noexcept;
// Pops at most 99 bytes of text and reads up to three whole numbers separated by ':' (each
// with optional leading blanks and sign, clamped to 32 bits); missing ones are 0.
void pop_colon_numbers(std::int32_t (&numbers)[3]) noexcept;

// Temporary BSTRs handed to compiled code: the last 64 registered stay alive; registering one
// more frees the oldest. Process-wide by nature: they belong to the statement being run.
// Unregistering a BSTR that is not on the list does nothing.
void register_temporary_bstr(KesBStr bstr) noexcept;
void unregister_temporary_bstr(KesBStr bstr) noexcept;
inline constexpr int kTemporaryBStrCount = 64;

// ---- Thread switch support.

// A heap block with the 32-bit depth and the live entries, byte for byte; null when the stack
// is empty. The stack stays as it is. Running out of memory here is fatal, as the entries could
// not be given back to their thread.
void* save_string_stack() noexcept;
// Sets the stack from a block of save_string_stack() and frees the block. Null empties the
// stack without releasing anything the entries held.
void restore_string_stack(void* snapshot) noexcept;

}  // namespace kes::runtime

// The inline definitions of the functions declared inline above.
#include "runtime/stack/string_stack_inline.h"

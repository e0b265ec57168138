// Interned texts (AStrings) and the values tied to them. Every distinct text is stored once, in
// a node that ends right before the text, so two AStrings are equal exactly when their
// addresses are; each node carries a tie list of (key, value) pairs and its upper-case twin.
//
// State: the table behind astring_table() is process-wide by nature: AStrings are shared by
// every thread and stay valid for the life of the process, so the thread switch leaves it
// alone; the runtime lock serialises its users. Its automatic key counter, the null AString's
// tie list and the InitAStringHook slot are process-wide with it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kes::runtime {

// A (key, value) pair of a tie list; a list ends with a pair whose key is kTieListEnd.
struct TiePair {
  std::int32_t key;
  std::int32_t value;
};
static_assert(sizeof(TiePair) == 8 && offsetof(TiePair, value) == 4);
inline constexpr std::int32_t kTieListEnd = -1;

// The fields of a node before its 16-bit length; the length follows at kAStringLengthOffset and
// the text, with a zero byte after it, at kAStringTextOffset. An AString points at the text.
// With 32-bit pointers: hash 0, ties 4, upper 8, length 12, text 14.
struct AStringNodeHead {
  std::uint32_t hash;  // astring_hash of the text
  TiePair* ties;       // the tie list (heap block), or null for none
  const char* upper;   // the AString of the upper-case text, null until computed
};
static_assert(offsetof(AStringNodeHead, hash) == 0);
static_assert(offsetof(AStringNodeHead, ties) == sizeof(void*));
static_assert(offsetof(AStringNodeHead, upper) == 2 * sizeof(void*));
static_assert(sizeof(AStringNodeHead) == 3 * sizeof(void*));
inline constexpr std::size_t kAStringLengthOffset = sizeof(AStringNodeHead);
inline constexpr std::size_t kAStringTextOffset = kAStringLengthOffset + sizeof(std::uint16_t);

// Longest text a node holds (its 16-bit length); longer texts are cut to this many bytes.
inline constexpr std::size_t kAStringMaxLength = 0xFFFF;
// Slots of a new table.
inline constexpr std::size_t kAStringInitialSlots = 1023;

// Hash of a text of `length` bytes: below 32 bytes h starts at the length and takes
// h * 5 + byte for each byte (wrapping); from 32 bytes on it is the length XOR the first four
// and the last four bytes, each read as a little-endian 32-bit number.
std::uint32_t astring_hash(std::string_view text) noexcept;

// The stored length of an AString (0 for null).
std::uint32_t astring_length(const char* astring) noexcept;

// The program's InitAStringHook: called with each newly interned AString.
using InitAStringHook = void (*)(const char* astring);

// The interning table: open addressing with linear probing over node pointers (the home slot
// of a text is its hash mixed, modulo the slots: runtime/hash_slot.h), growing from
// 1,023 slots to 2 * slots + 1 when a new text arrives and the node count has reached five
// eighths of the slots. Nodes are never removed and never move.
class AStringTable {
 public:
  constexpr AStringTable() noexcept = default;
  // Frees every node, tie list and the slots; the AStrings of this table become invalid.
  ~AStringTable();
  AStringTable(const AStringTable&) = delete;
  AStringTable& operator=(const AStringTable&) = delete;

  // The AString of `text` with its trailing spaces removed, cut to kAStringMaxLength bytes
  // first. The same bytes (case counts) give the same address for the table's life. Null for a
  // text that is empty once clipped, or when the node cannot be allocated (the empty AString).
  // A new node calls the InitAStringHook when one is set (not from within the hook itself).
  const char* intern(std::string_view text) noexcept;

  // The AString of the upper-case form of `astring` by the current case table (null for null).
  // The result is stored as the upper twin of both `astring` and itself, and later calls
  // return the stored twin. Null, with nothing stored, when memory runs out.
  const char* upper(const char* astring) noexcept;

  // TIE: attaches `value` under `key` to `astring`'s tie list (the null AString's own list for
  // null) and returns the key. Key 0 takes the next automatic key (-101, -102, ...; running
  // past the most negative key is a fatal Overflow error). A key already in the list has its
  // value replaced; a new one is added at the end. Key -1 ends every list, so it cannot be
  // tied: nothing is stored and -1 is returned. When the list cannot grow nothing is stored
  // and 0 (never a valid key) is returned.
  std::int32_t tie(const char* astring, std::int32_t key, std::int32_t value) noexcept;

  // TIED: the value under `key` in `astring`'s list (null: the null AString's), or 0.
  std::int32_t tied(const char* astring, std::int32_t key) const noexcept;

  // UNTIE from one list (null: the null AString's): key -1 frees the whole list; any other
  // key removes its pair, the later pairs keeping their order; a missing key changes nothing.
  void untie(const char* astring, std::int32_t key) noexcept;

  // UNTIE with the all flag: unties `key` from every AString of the table (not from the null
  // AString, which is no node of the table).
  void untie_everywhere(std::int32_t key) noexcept;

  void set_init_hook(InitAStringHook hook) noexcept { init_hook_ = hook; }
  InitAStringHook init_hook() const noexcept { return init_hook_; }

  std::size_t slot_count() const noexcept {
    return slots_ == nullptr ? kAStringInitialSlots : slot_count_;
  }
  std::size_t node_count() const noexcept { return node_count_; }

#ifdef KES_TESTING
  // Sets the automatic key counter (the next automatic key is one below it).
  void set_automatic_key_counter(std::int32_t counter) noexcept { automatic_key_ = counter; }
  // Whether slot `index` holds a node, for walking the table.
  bool slot_used(std::size_t index) const noexcept {
    return slots_ != nullptr && index < slot_count_ && slots_[index] != nullptr;
  }
#endif

 private:
  // Index of the node holding `text` (hash `hash`) or of the empty slot where it belongs.
  std::size_t probe(std::string_view text, std::uint32_t hash) const noexcept;
  bool grow() noexcept;
  char* allocate_node(std::size_t size) noexcept;
  TiePair*& ties_of(const char* astring) noexcept;
  TiePair* ties_of(const char* astring) const noexcept;

  AStringNodeHead** slots_ = nullptr;  // heap block of slot_count_ entries, null before the first
  std::size_t slot_count_ = 0;
  std::size_t node_count_ = 0;
  // Every heap block holding nodes starts with the pointer to the block allocated before it;
  // small nodes are carved from the current chunk, large ones get a block of their own.
  char* blocks_ = nullptr;
  char* chunk_ = nullptr;
  std::size_t chunk_used_ = 0;
  std::size_t chunk_size_ = 0;
  TiePair* null_ties_ = nullptr;  // the null AString's tie list
  std::int32_t automatic_key_ = -100;
  InitAStringHook init_hook_ = nullptr;
  bool in_init_hook_ = false;
};

// The process-wide table.
AStringTable& astring_table() noexcept;

// The process-wide table's intern, for the string stack.
const char* intern_astring(std::string_view text) noexcept;

// Pops the string stack's top as an AString (interned); null for the empty text or when
// interning fails. An AString entry is taken as it is.
const char* pop_astring() noexcept;

// Sets the process-wide table's InitAStringHook (null to remove it).
void set_init_astring_hook(InitAStringHook hook) noexcept;

}  // namespace kes::runtime

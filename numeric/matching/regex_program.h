// Regular expressions compiled to a small program of nodes, and the facts about a compiled
// pattern that let a search skip hopeless texts and positions.
//
// Groups are written with braces; "|" separates alternatives; "*", "+" and "?" follow an atom;
// "[...]" is a set ("^" or "~" first negates it); "\" takes the next character as it is.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace kes::numeric {

// Node opcodes. The open and close nodes of group n (1 to 9) are kOpOpen + n and kOpClose + n.
inline constexpr std::uint8_t kOpEnd = 0;      // end of program: the match is complete
inline constexpr std::uint8_t kOpBol = 1;      // start of text
inline constexpr std::uint8_t kOpEol = 2;      // end of text
inline constexpr std::uint8_t kOpAny = 3;      // any one character
inline constexpr std::uint8_t kOpAnyOf = 4;    // one character from a set
inline constexpr std::uint8_t kOpAnyBut = 5;   // one character not in a set
inline constexpr std::uint8_t kOpBranch = 6;   // an alternative; its nodes follow it
inline constexpr std::uint8_t kOpBack = 7;     // back link that closes a loop
inline constexpr std::uint8_t kOpExactly = 8;  // a literal run
inline constexpr std::uint8_t kOpNothing = 9;  // matches the empty string
inline constexpr std::uint8_t kOpStar = 10;    // zero or more of the simple node after it
inline constexpr std::uint8_t kOpPlus = 11;    // one or more of the simple node after it
inline constexpr std::uint8_t kOpOpen = 20;    // 21..29
inline constexpr std::uint8_t kOpClose = 30;   // 31..39

// Group 0 is the whole match; 1 to 9 are numbered by their opening brace.
inline constexpr int kRegexGroupCount = 10;
inline constexpr std::uint16_t kNoSlot = 0xFFFF;

// One node of a compiled program. Links are distances in nodes, which keeps them valid when a
// node is inserted in front of a finished operand while compiling.
struct RegexNode {
  std::uint8_t op;
  std::uint8_t reserved;
  std::uint16_t next;       // distance to the following node, 0 for none; backwards for kOpBack
  std::uint16_t slot;       // search memo slot of a branch, star or plus node; kNoSlot otherwise
  std::uint16_t reserved2;  //
  std::uint32_t operand;  // literal: pool offset of its bytes; set: pool offset of its 32-byte map
  std::uint32_t length;   // literal: byte count; set: length of the set's text after its map
};
static_assert(sizeof(RegexNode) == 16);

// Why a pattern does not compile.
enum class RegexError : std::uint8_t {
  None,
  NothingToRepeat,  // "*", "+" or "?" with no atom before it
  MissingAtom,      // "|" or "}" (or the end of the pattern) where an atom is expected
  UnmatchedClose,   // "}" with no group open
  TrailingEscape,   // "\" as the last character
  BadRange,         // a set range whose start is above its end
  UnclosedSet,      // "[" without its "]"
  UnclosedGroup,    // "{" without its "}"
  TooManyGroups,    // a tenth group
  TooBig,           // more nodes than 16-bit links can reach
  OutOfMemory,
};

// What every match of a compiled pattern must satisfy, found once at compile time.
struct RegexFacts {
  bool anchored = false;          // the pattern starts with "^": only the text start is tried
  bool no_case = false;           // literals compare through the case tables
  std::int16_t first_char = -1;   // the character every match starts with, -1 when none
  std::uint32_t must_offset = 0;  // the longest literal run every match contains (pool offset)
  std::uint32_t must_length = 0;  // its length; 0 when there is none
  // The bytes a match can start with, when every match takes at least one character: literal
  // characters (which follow the case flag) and set members (which compare as written).
  bool has_first_map = false;
  std::array<std::uint8_t, 32> first_literals{};
  std::array<std::uint8_t, 32> first_members{};
  std::array<std::uint8_t, 32> first_map{};  // both together, for case-sensitive searches
  std::int16_t first_single = -1;            // the only byte in first_map, -1 when not one
  std::uint16_t slot_count = 0;              // memo slots a search needs per text position
  std::uint16_t choice_count = 0;            // branch, star and plus nodes (their slots)
  std::uint8_t group_count = 0;              // groups 1..group_count exist
};

// A compiled pattern: its nodes, the pool of literal bytes and set maps they refer to, and the
// facts above. Owns two runtime heap blocks; movable, not copyable.
class RegexProgram {
 public:
  RegexProgram() noexcept = default;
  ~RegexProgram();
  RegexProgram(RegexProgram&& other) noexcept;
  RegexProgram& operator=(RegexProgram&& other) noexcept;
  RegexProgram(const RegexProgram&) = delete;
  RegexProgram& operator=(const RegexProgram&) = delete;

  // True until a pattern has compiled into this program.
  bool empty() const noexcept { return node_count_ == 0; }
  std::span<const RegexNode> nodes() const noexcept { return {nodes_, node_count_}; }
  std::span<const std::uint8_t> pool() const noexcept { return {pool_, pool_length_}; }
  const RegexFacts& facts() const noexcept { return facts_; }

  // The node after `index` in the program's flow, or -1 when the link is empty.
  std::int64_t next_of(std::uint32_t index) const noexcept;

  // Frees the program; empty() is then true.
  void clear() noexcept;

 private:
  friend class RegexBuilder;
  friend RegexError compile_regex(std::string_view, bool, RegexProgram&) noexcept;
  RegexNode* nodes_ = nullptr;
  std::uint32_t node_count_ = 0;
  std::uint32_t node_capacity_ = 0;
  std::uint8_t* pool_ = nullptr;
  std::uint32_t pool_length_ = 0;
  std::uint32_t pool_capacity_ = 0;
  RegexFacts facts_;
};

// Compiles `pattern` (every byte counts, a zero byte included). On success the program holds
// the result; on failure it is left empty. `no_case` is recorded for searches.
RegexError compile_regex(std::string_view pattern, bool no_case, RegexProgram& program) noexcept;

// Whether byte `c` belongs to the set whose map starts at `map`.
inline bool set_has(const std::uint8_t* map, std::uint8_t c) noexcept {
  return (map[c >> 3] & (1u << (c & 7))) != 0;
}

}  // namespace kes::numeric

// Searching a text with a compiled regular expression: leftmost match, alternatives in order,
// greedy repetition that backs off one character at a time.
//
// Every (choice node, position) state is entered at most once per search, across all its start
// positions: with no back-references a state that failed from one start position fails from
// every later one (a successful one ends the search), so skipping it changes no result. A state
// entered again while still in progress can only come from a loop whose body matched nothing;
// that iteration fails, which ends loops such as {a*}* that would otherwise never stop. Each
// star and plus node also keeps the run it last found and how far down from the run's end its
// ends were tried, so the start positions inside one run neither scan the run again nor pass
// its tried ends one by one: a*b over a long run of "a" costs one pass, not one per position.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "numeric/matching/regex_program.h"

namespace kes::numeric {

// Offset of a group boundary inside the searched text; kNoOffset when the group did not match.
inline constexpr std::size_t kNoOffset = static_cast<std::size_t>(-1);

struct RegexSpan {
  std::size_t start = kNoOffset;  // offset of the first byte
  std::size_t end = kNoOffset;    // offset past the last byte
  bool matched() const noexcept { return start != kNoOffset; }
  std::size_t length() const noexcept { return matched() ? end - start : 0; }
};
using RegexGroups = std::array<RegexSpan, kRegexGroupCount>;

enum class RegexOutcome : std::uint8_t { Found, NotFound, OutOfMemory };

// Searches `text` for the leftmost match that starts at offset `from` or later ("^" still means
// offset 0 of `text`). `no_case` (or the program's own flag) compares literal characters
// through the case tables; sets compare as written. Found: `groups` holds group 0 (the match)
// and every group that took part in it. Otherwise every group is cleared. An empty program, or
// `from` past the end, finds nothing. OutOfMemory when the search's bookkeeping cannot be
// allocated.
RegexOutcome search_regex(const RegexProgram& program, std::string_view text, std::size_t from,
                          bool no_case, RegexGroups& groups) noexcept;

}  // namespace kes::numeric

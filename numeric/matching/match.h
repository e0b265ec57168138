// MATCH: comparing a text with a pattern exactly, by wildcards, by regular expression or by
// sound-alike code, optionally without regard to case.
//
// State: the MATCH cache (the last regular expression compiled for MATCH, with its case flag)
// is process-wide by nature and unlocked; the runtime lock serialises its users.
#pragma once

#include <cstdint>
#include <string_view>

namespace kes::numeric {

// The low four bits of a MATCH mode choose the kind; kMatchNoCase adds case-insensitivity.
inline constexpr std::int32_t kMatchExact = 0;
inline constexpr std::int32_t kMatchWildcard = 1;
inline constexpr std::int32_t kMatchRegex = 2;
inline constexpr std::int32_t kMatchSoundAlike = 3;
inline constexpr std::int32_t kMatchKindMask = 0x0F;
inline constexpr std::int32_t kMatchNoCase = 16;

// Whether `text` matches `pattern` in `mode` (both as given: callers clip trailing spaces).
// Exact: same length and bytes. Wildcard: see wildcard_match. Regular expression: the pattern
// is found anywhere in the text (unless anchored); a pattern that does not compile, or a search
// that runs out of memory, is no match. Sound-alike: equal codes. Any other kind: no match.
bool match_texts(std::string_view text, std::string_view pattern, std::int32_t mode) noexcept;

// Whether `a` and `b` have the same length and bytes, comparing through the case tables' upper
// case with `no_case`.
bool exact_match(std::string_view a, std::string_view b, bool no_case) noexcept;

// Pops the text (the top of the string stack) and then the pattern (the entry below it), clips
// trailing spaces off both and matches them in `mode`.
bool pop_and_match(std::int32_t mode) noexcept;

#ifdef KES_TESTING
// Forgets the cached regular expression.
void clear_match_cache() noexcept;
#endif

}  // namespace kes::numeric

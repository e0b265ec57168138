// MATCH in its four kinds, with the cache of the last regular expression compiled for it.
#include "numeric/matching/match.h"

#include <cstddef>
#include <cstring>

#include "numeric/locale/collation_tables.h"
#include "numeric/matching/regex_search.h"
#include "numeric/matching/soundex.h"
#include "numeric/matching/wildcard.h"
#include "platform/core/heap.h"
#include "runtime/stack/string_stack.h"

namespace kes::numeric {
namespace {

// The last pattern compiled for MATCH (a heap copy), its case flag and the outcome. A pattern
// that failed to compile is remembered too, so it is not compiled again.
struct MatchCache {
  char* pattern = nullptr;
  std::size_t length = 0;
  bool no_case = false;
  bool valid = false;
  bool compiled = false;
  RegexProgram program;

  ~MatchCache() { clear(); }
  void clear() noexcept {
    platform::heap_free(pattern);
    pattern = nullptr;
    length = 0;
    valid = compiled = false;
    program.clear();
  }
  bool holds(std::string_view text, bool case_flag) const noexcept {
    return valid && no_case == case_flag && length == text.size() &&
           (length == 0 || std::memcmp(pattern, text.data(), length) == 0);
  }
};

MatchCache& match_cache() noexcept {
  static MatchCache cache;
  return cache;
}

// The compiled program for `pattern`, from the cache when it holds it; null when the pattern
// does not compile or cannot be stored.
const RegexProgram* cached_program(std::string_view pattern, bool no_case) noexcept {
  MatchCache& cache = match_cache();
  if (!cache.holds(pattern, no_case)) {
    cache.clear();
    char* copy = static_cast<char*>(platform::heap_allocate(pattern.size()));
    if (copy == nullptr) return nullptr;
    if (!pattern.empty()) std::memcpy(copy, pattern.data(), pattern.size());
    const RegexError error = compile_regex(pattern, no_case, cache.program);
    if (error == RegexError::OutOfMemory) {
      platform::heap_free(copy);
      return nullptr;  // worth another try next time
    }
    cache.pattern = copy;
    cache.length = pattern.size();
    cache.no_case = no_case;
    cache.valid = true;
    cache.compiled = error == RegexError::None;
  }
  return cache.compiled ? &cache.program : nullptr;
}

std::string_view clipped(std::string_view text) noexcept {
  std::size_t length = text.size();
  while (length != 0 && text[length - 1] == ' ')
    --length;
  return text.substr(0, length);
}

}  // namespace

bool exact_match(std::string_view a, std::string_view b, bool no_case) noexcept {
  if (a.size() != b.size()) return false;
  if (!no_case) return a == b;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (to_upper_char(static_cast<std::uint8_t>(a[i])) !=
        to_upper_char(static_cast<std::uint8_t>(b[i]))) {
      return false;
    }
  }
  return true;
}

bool match_texts(std::string_view text, std::string_view pattern, std::int32_t mode) noexcept {
  const bool no_case = (mode & kMatchNoCase) != 0;
  switch (mode & kMatchKindMask) {
    case kMatchExact: return exact_match(text, pattern, no_case);
    case kMatchWildcard: return wildcard_match(pattern, text, no_case);
    case kMatchRegex: {
      const RegexProgram* program = cached_program(pattern, no_case);
      if (program == nullptr) return false;
      RegexGroups groups;
      return search_regex(*program, text, 0, no_case, groups) == RegexOutcome::Found;
    }
    case kMatchSoundAlike: return soundex_code(text) == soundex_code(pattern);
    default: return false;
  }
}

bool pop_and_match(std::int32_t mode) noexcept {
  // The text is on top; it must be copied before the pattern below it can be read.
  const std::string_view top = clipped(runtime::top_text());
  char local[256];
  char* copy = local;
  if (top.size() > sizeof local) {
    copy = static_cast<char*>(platform::heap_allocate(top.size()));
    if (copy == nullptr) {
      runtime::pop_discard();
      runtime::pop_discard();
      return false;
    }
  }
  if (!top.empty()) std::memcpy(copy, top.data(), top.size());
  const std::string_view text(copy, top.size());
  runtime::pop_discard();
  const bool matched = match_texts(text, clipped(runtime::top_text()), mode);
  runtime::pop_discard();
  if (copy != local) platform::heap_free(copy);
  return matched;
}

#ifdef KES_TESTING
void clear_match_cache() noexcept { match_cache().clear(); }
#endif

}  // namespace kes::numeric

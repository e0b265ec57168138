// The state behind the regular-expression classes: a compiled pattern, the text it last
// searched (the program's own buffer, which Replace edits in place), the group records and a
// copy of the last match.
#pragma once

#include <cstddef>
#include <string_view>

#include "numeric/matching/regex_program.h"
#include "numeric/matching/regex_search.h"

namespace kes::numeric {

class RegexEngine {
 public:
  RegexEngine() noexcept = default;
  ~RegexEngine();
  RegexEngine(const RegexEngine&) = delete;
  RegexEngine& operator=(const RegexEngine&) = delete;

  // Compiles `pattern`; false when it does not compile (or memory runs out), and the engine then
  // holds no pattern. Forgets the last search either way.
  bool compile(std::string_view pattern, bool no_case) noexcept;
  bool compiled() const noexcept { return !program_.empty(); }

  // Frees the pattern and the match copy and forgets the text.
  void kill() noexcept;

  // Searches `text` from offset `from` and remembers it for find_next and replace. A fixed-length
  // text (`explicit_end`) is `length` bytes, which is also its capacity. A terminated text ends
  // at its first zero byte, looked for within `length` bytes when `length` is not zero (then the
  // buffer's size and capacity), else without limit (the capacity then being the text and its
  // terminator). `no_case` adds to the pattern's own case flag. Returns the match's offset, or
  // kNoOffset when nothing is found (also without a pattern or a text, and when memory runs
  // out); the group records are then cleared.
  std::size_t find(char* text, std::size_t length, bool explicit_end, std::size_t from,
                   bool no_case) noexcept;

  // Searches the same text again from where the last match ended (one further on when that match
  // was empty, so a loop over find_next always ends). kNoOffset when the last search found
  // nothing.
  std::size_t find_next() noexcept;

  // The text of group 0 to 9 of the last match, from the match copy; empty when the group did
  // not take part or the number is out of range.
  std::string_view group_text(int group) const noexcept;
  const RegexGroups& groups() const noexcept { return groups_; }
  // The searched text's current length (its end offset).
  std::size_t text_length() const noexcept { return length_; }

  // Puts `replacement` in place of the group's text inside the searched text. The part after it
  // moves; whatever would pass the capacity (`capacity`, or the search's when 0) is cut, the
  // replacement too; a fixed-length text that shrinks is filled with spaces to its old end, a
  // terminated one is terminated again. Group boundaries after the replaced text, and the end of
  // the text, move by the change in length. Returns false, changing nothing, when the group did
  // not match (or a copy of a replacement that lies inside the text cannot be made); also false
  // when the text was changed but the new match copy cannot be made, the groups then forgotten.
  bool replace(int group, std::string_view replacement, std::size_t capacity) noexcept;

  // The template with "#n" replaced by the text of group n (nothing when it did not match) and
  // "##" by "#"; any other "#" and every other character stays. Writes into `out` when it is not
  // null (it must hold the returned length) and returns the length.
  std::size_t substitute(std::string_view pattern, char* out) const noexcept;

 private:
  void forget_match() noexcept;
  bool copy_match() noexcept;
  std::size_t search_from(std::size_t from) noexcept;

  RegexProgram program_;
  char* text_ = nullptr;
  std::size_t length_ = 0;    // the text's end offset
  std::size_t capacity_ = 0;  // bytes the buffer holds, a terminator included
  bool explicit_end_ = false;
  bool no_case_ = false;
  RegexGroups groups_;
  char* copy_ = nullptr;  // heap copy of group 0's text
};

// A RegexEngine on the runtime heap; null when memory runs out.
RegexEngine* create_regex_engine() noexcept;
void destroy_regex_engine(RegexEngine* engine) noexcept;

}  // namespace kes::numeric

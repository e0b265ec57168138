// Regular expressions for compiled code: RegExpr, the engine, and KewRegExpr, which compiled
// programs use, taking patterns, replacements and templates from the string stack.
//
// Patterns: "^" start of text, "$" end of text, "." any character, "[...]" a set ("^" or "~"
// first negates it; "a-z" ranges), "{...}" a group (1 to 9, numbered by their opening brace),
// "|" alternatives, "*", "+" and "?" after an atom, "\" takes the next character as it is.
// Matches are leftmost; alternatives are tried in order; repetition is greedy.
//
// Both classes keep a pointer to the program's searched text between calls: Replace edits that
// buffer in place, so it must outlive the search. Object sizes: RegExpr 16 bytes and KewRegExpr
// 24 bytes here; 8 and 12 on 32-bit hosts. Member names are spelled as compiled code calls them
// and cannot change.
#pragma once

#include <kestrel/abi.h>

class KES_EXPORT RegExpr {
 public:
  RegExpr() noexcept;
  virtual ~RegExpr();  // frees the compiled pattern and the match copy
  RegExpr(const RegExpr&) = delete;
  RegExpr& operator=(const RegExpr&) = delete;

  // Compiles `length` bytes of `pattern` (up to its terminator when `length` is negative); 16 in
  // `flags` compares literal characters without regard to case. Returns 1 when it compiles, 0
  // when it does not (or memory runs out); searches then find nothing.
  int32_t Compile(const char* pattern, int32_t length, int32_t flags) noexcept;

  // Searches `text` from the 0-based offset `start` (negative: 0). With `end` non-zero the text
  // is `length` bytes long, which is also its capacity for Replace; otherwise it ends at its
  // terminator, looked for within `length` bytes when `length` is positive (the buffer's size),
  // else without limit. Returns the 0-based offset of the match, -1 when there is none.
  int32_t Find(char* text, int32_t start, int32_t length, int32_t end) noexcept;

  // Puts the terminated `replacement` in place of group `group` (0 the whole match) inside the
  // searched text, within `capacity` bytes (0 or less: the capacity known from Find). Returns the
  // text's new length, -1 when the group did not match.
  int32_t Replace(const char* replacement, int32_t group, int32_t capacity) noexcept;

  // Frees the compiled pattern and the match copy.
  void Kill() noexcept;

 private:
  friend class KewRegExpr;
  void* engine_;  // the compiled pattern and the match (internal), null until first use
};

class KES_EXPORT KewRegExpr {
 public:
  KewRegExpr() noexcept;
  virtual ~KewRegExpr();
  KewRegExpr(const KewRegExpr&) = delete;
  KewRegExpr& operator=(const KewRegExpr&) = delete;

  // Pops the pattern from the string stack and compiles it (16 in `flags`: literals without
  // regard to case). Returns 1 when it compiles, 0 otherwise.
  int32_t Init(int32_t flags) noexcept;

  // Searches the `length`-byte text from the 1-based position `start` (0 or less: from the
  // beginning). 16 in `flags` also ignores case for this search. Returns the 1-based position of
  // the match, 0 when there is none (also without a compiled pattern).
  int32_t Find(int32_t flags, char* text, int32_t length, int32_t start) noexcept;

  // The same for a terminated text in a buffer of `length` bytes (0 or less: unknown; the text
  // then cannot grow).
  int32_t FindC(int32_t flags, char* text, int32_t length, int32_t start) noexcept;

  // Searches again from the end of the last match (one further on after an empty match). Returns
  // the 1-based position, 0 when there is none or the last search found nothing.
  int32_t FindNext() noexcept;

  // Pushes the text of group `group` (0 the whole match, up to 9) on the string stack, or the
  // empty string when the group did not match.
  void FindStr(int32_t group) noexcept;

  // The length of that text, 0 when the group did not match.
  int32_t FindLen(int32_t group) noexcept;

  // Pops a replacement text from the string stack and puts it in place of the group's text
  // inside the searched text (see RegExpr::Replace), within the capacity known from the search.
  void Replace(int32_t group) noexcept;

  // Pops a template from the string stack and pushes it with "#0" to "#9" replaced by the
  // groups' texts and "##" by "#".
  void Substitute() noexcept;

  // Frees the compiled pattern.
  void Kill() noexcept;

 private:
  RegExpr regex_;
};

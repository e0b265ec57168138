// COMMAND and SETCOMMAND: the command tail (the process's command line without the program's
// name), its tokens, and lookups by position and by name.
//
// Tokens: blanks (every character at or below a space) before a token are skipped; a token runs
// until a blank or a comma outside double quotes; outside quotes a "/" ends a token that already
// holds characters, so a/b gives a and /b; a double quote switches quoting on and off and is not
// kept, two double quotes in a row give one literal double quote; after a token, blanks and then
// one comma are skipped (so two commas in a row give an empty token between them).
//
// State: the command tail is process-wide by design, as the process's command line is: made on
// first use, replaced by SETCOMMAND, shared by every thread, never freed before the process
// ends.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace kes::services {

// Reads the tokens of a text one after the other.
class CommandTokens {
 public:
  explicit CommandTokens(std::string_view text) noexcept : text_(text) {}
  // Writes the next token (quotes removed) into `out`, which has room for at least as many
  // bytes as the whole text, and returns its length; nothing after the last token.
  std::optional<std::size_t> next(char* out) noexcept;

 private:
  std::string_view text_;
  std::size_t position_ = 0;
};

// The command tail of a command line: the program's name skipped (up to the first blank outside
// double quotes, each quote switching), with the blanks around it.
std::string_view tail_of_command_line(std::string_view line) noexcept;

// What COMMAND(flag) gives for the tail `tail`, for every flag but "0" (the program's path):
// - an empty flag: the whole tail;
// - a flag that reads as a nonzero number (leading blanks, a sign and digits, as atoi reads
//   them): the token at that position, counting from 1;
// - any other flag: the first token at least as long as the flag whose first characters equal
//   it without regard to case, a flag without a leading "/" having "=" appended: the token
//   without its "/" when it starts with one, else the part after the flag;
// - no such token: the empty text.
// `scratch` has room for at least tail.size() bytes; the result lies in it or in `tail`.
std::string_view command_lookup(std::string_view tail, std::string_view flag,
                                char* scratch) noexcept;

// The process's command tail, made from the platform's command line on first use unless
// SETCOMMAND came first (an empty tail when the memory runs out).
std::string_view command_tail() noexcept;

// Replaces the command tail with a copy of `text`; the old tail stays when the copy cannot be
// made.
void set_command_tail(std::string_view text) noexcept;

#ifdef KES_TESTING
// Forgets the tail, so that the next use makes it from the platform's command line again.
void reset_command_tail_for_testing() noexcept;
#endif

}  // namespace kes::services

// Starting other programs directly (no shell), from a command line split by the Windows rules.
//
// State: the identifiers of started programs that nobody waits for are kept process-wide, so
// that they are collected when they end instead of lingering.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/launch/os_error.h"

namespace kes::platform {

// The arguments of a command line, split by the Windows rules:
// - blanks (space, tab) separate arguments; leading blanks are skipped;
// - the first argument (the program) ends at the next blank, or, when it starts with a double
//   quote, at the next double quote; backslashes in it are plain characters;
// - in later arguments 2n backslashes before a double quote give n backslashes and the quote
//   opens or closes a quoted part; 2n+1 backslashes before it give n backslashes and a literal
//   quote; backslashes before anything else are plain;
// - inside a quoted part blanks are kept, and two double quotes give one literal quote;
// - a quoted part that is empty still makes an argument ("" gives the empty argument);
// - a zero byte ends the command line.
// The texts live in one heap block owned by the object.
class CommandArguments {
 public:
  CommandArguments() noexcept = default;
  ~CommandArguments();
  CommandArguments(const CommandArguments&) = delete;
  CommandArguments& operator=(const CommandArguments&) = delete;

  // Splits `line`; false when the heap is exhausted (the object is then empty).
  bool split(std::string_view line) noexcept;

  std::size_t count() const noexcept { return count_; }
  // The index-th argument, [0, count - 1].
  std::string_view argument(std::size_t index) const noexcept;
  // A null-terminated array of terminated texts, as the host's process start takes them.
  char* const* vector() const noexcept { return vector_; }

 private:
  void release() noexcept;
  char* text_ = nullptr;
  char** vector_ = nullptr;
  std::size_t count_ = 0;
};

// Starts the program named by the first argument (searched on the program path when it holds
// no directory separator), with the current directory and environment. Returns the program's
// identifier, or the error (FileNotFound for a missing program, AccessDenied when it may not run,
// BadFormat when it is not a program, InvalidParameter for an empty argument list).
struct StartResult {
  std::int64_t process;  // valid when error is None
  OsError error;
};
StartResult start_program(const CommandArguments& arguments) noexcept;

// Waits without time limit for a started program to end and returns its exit code, [0, 255];
// a program ended by a signal gives 128 plus the signal number. Nothing when the identifier
// does not name a program started by this process.
std::optional<std::int32_t> wait_for_program(std::int64_t process) noexcept;

// Leaves the program to run on its own; it is collected once it ends.
void release_program(std::int64_t process) noexcept;

}  // namespace kes::platform

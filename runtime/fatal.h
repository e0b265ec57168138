// The one path by which the library ends a program that cannot go on.
#pragma once

#include <cstdint>
#include <string_view>

namespace kes::runtime {

// Run-time error numbers of the fatal path; the message table holds their texts.
enum class RuntimeError : std::int32_t {
  None = 0,
  StackOverflow = 401,
  NilPointer = 402,
  TerminationSignal = 403,
  Overflow = 404,
  Range = 405,
  NoReturn = 406,
  NoCase = 407,
  LongDivideByZero = 408,
  Index = 409,
  PureVirtualCall = 410,
  InternalAssertion = 501,
};

// Exit code of a process ended by a fatal run-time error.
inline constexpr int kFatalExitCode = 2;

// Shows the numbered message (with `extra` appended after " : " when not empty) and ends the
// process with kFatalExitCode. Allocates nothing. Returns only once the library has been closed
// down, as the life cycle defines; callers that cannot continue must not rely on that.
[[noreturn]] void fatal(RuntimeError error, std::string_view extra = {}) noexcept;

}  // namespace kes::runtime

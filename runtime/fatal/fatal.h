// The one path by which the library ends a program that cannot go on: the numbered message in
// a "Runtime error" box (or the program's FatalErrorHook), the final shutdown, exit code 2.
//
// State: the text buffer of the report is process-wide (a fatal report allocates nothing).
#pragma once

#include <cstdint>
#include <optional>
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

// Longest report text; longer extra texts are cut.
inline constexpr std::size_t kFatalTextCapacity = 1023;

// The steps of a report that belong to the layers above this one: the string stack installs
// push_text, the life cycle the rest, each as soon as it is part of the program (at load), so
// that the fatal path needs nothing above it. A step not installed counts as: no push, the
// library not active, no shutdown and no halting flag to set, and exit_program ending the
// process with the code.
//
// State: process-wide by nature (one program, one set of layers); set before main.
struct FatalReportSteps {
  void (*push_text)(std::string_view text) noexcept = nullptr;
  bool (*library_active)() noexcept = nullptr;
  void (*run_final_shutdown)() noexcept = nullptr;
  void (*set_halting)() noexcept = nullptr;
  void (*exit_program)(std::int32_t code) noexcept = nullptr;  // does not return
};
FatalReportSteps& fatal_report_steps() noexcept;

// Kes$rterr: reports run-time error `number` (0 for none) with an optional extra text.
// - The text: for a nonzero number, the error is posted and its ERROR() text taken, then
//   " : " and the extra text when one is given; for 0, the extra text alone ("Unknown Error"
//   when there is none).
// - With a FatalErrorHook: while the library is active the text is pushed on the string stack
//   and the hook called with the number; while it is not, nothing is shown.
// - Without one: the text and "\nDo you want to GPF?" in a box captioned "Runtime error"
//   (Yes and No, No the default, stop icon); Yes breaks into the debugger.
// - Then the final shutdown runs, halting is set and, while the library is active, the program
//   exits with code 2. Returns only when the library is not active.
// A report raised while one is in progress ends the process at once with code 2.
void report_runtime_error(std::int32_t number, std::optional<std::string_view> extra) noexcept;

// Reports the error as above and ends the process with kFatalExitCode in every case; an empty
// `extra` counts as none.
[[noreturn]] void fatal(RuntimeError error, std::string_view extra = {}) noexcept;

}  // namespace kes::runtime

// Internal consistency check of debug and test builds: a failed check is run-time error 501
// naming the expression and its place.
#if defined(KES_TESTING) || !defined(NDEBUG)
#define KES_ASSERT(condition)                                                \
  do {                                                                       \
    if (!(condition)) {                                                      \
      ::kes::runtime::fatal(::kes::runtime::RuntimeError::InternalAssertion, \
                            __FILE__ ": " #condition);                       \
    }                                                                        \
  } while (false)
#else
#define KES_ASSERT(condition) \
  do {                        \
  } while (false)
#endif

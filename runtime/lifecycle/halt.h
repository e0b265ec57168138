// HALT, STOP and the immediate halt.
//
// State: none of its own (the hooks and flags belong to the life cycle).
#pragma once

#include <cstdint>

namespace kes::runtime {

// Kes$HALT: with a HaltHook, calls it with `code`, the message left on the string stack for the
// hook; otherwise pops the message and, unless `quiet`, shows it in a box captioned "Halt" (OK,
// stop icon). Then runs the final shutdown, sets halting and exits with `code`.
[[noreturn]] void halt_program(std::int32_t code, bool quiet) noexcept;

// Kes$STOP: with a StopHook, calls it with `flag` and returns, the message left on the string
// stack for the hook. Otherwise pops the message, appends "Exit?" when `flag` is nonzero and
// shows it captioned "Stop" with Abort and Ignore (Abort the default, stop icon). Abort runs the
// final shutdown, sets halting and exits with code 0; Ignore returns.
void stop_program(std::int32_t flag) noexcept;

// Standard$HALT: ends the process at once with exit code 255.
[[noreturn]] void halt_at_once() noexcept;

}  // namespace kes::runtime

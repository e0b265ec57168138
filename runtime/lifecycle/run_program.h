// RUN: starting another program, with or without waiting for it.
//
// State: the return code of the last RUN is process-wide by nature.
#pragma once

#include <cstdint>
#include <string_view>

namespace kes::runtime {

// Return code of a RUN whose program could not be started.
inline constexpr std::int32_t kRunStartFailed = -4;

// Kes$RUN: clears the error state and the last return code, splits the command line by the
// Windows rules and starts the program directly (no shell). Waiting, the runtime lock is left
// while the program runs and the return code becomes its exit code. A program that cannot be
// started gives the return code -4 and posts the platform error (2 "File Not Found" for a
// missing program).
void run_program(std::string_view command_line, bool wait) noexcept;

// Kes$RUNCODE.
std::int32_t last_run_code() noexcept;

#ifdef KES_TESTING
void reset_run_program_for_testing() noexcept;
#endif

}  // namespace kes::runtime

// Ending the process and writing diagnostics where no window system is present.
#pragma once

#include <string_view>

namespace kes::platform {

// Ends the process with the given exit code without running further library code.
[[noreturn]] void end_process(int exit_code) noexcept;

// Stops the process abnormally (a trap), so that an attached debugger stops at this point.
[[noreturn]] void break_into_debugger() noexcept;

// Writes text to the diagnostic stream (standard error), unbuffered.
void write_diagnostic(std::string_view text) noexcept;

}  // namespace kes::platform

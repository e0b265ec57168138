// Process end and diagnostics on a POSIX host.
#include <cstdio>
#include <cstdlib>
#include <signal.h>
#include <unistd.h>

#include "platform/core/process_exit.h"

namespace kes::platform {

void end_process(int exit_code) noexcept {
  std::fflush(nullptr);  // the program's own buffered output is not lost
  std::_Exit(exit_code);
}

void break_into_debugger() noexcept {
  ::raise(SIGTRAP);
  std::abort();  // no debugger took the trap
}

void write_diagnostic(std::string_view text) noexcept {
  while (!text.empty()) {
    ssize_t written = ::write(STDERR_FILENO, text.data(), text.size());
    if (written <= 0) return;
    text.remove_prefix(static_cast<std::size_t>(written));
  }
}

}  // namespace kes::platform

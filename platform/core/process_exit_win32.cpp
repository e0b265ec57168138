// Process end and diagnostics on Windows.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <cstdio>
#include <cstdlib>
#include <windows.h>

#include "platform/core/process_exit.h"

namespace kes::platform {

void end_process(int exit_code) noexcept {
  std::fflush(nullptr);  // the program's own buffered output is not lost
  // Ends at once: no library's detach code runs, as with _Exit elsewhere.
  ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(exit_code));
  std::_Exit(exit_code);
}

void break_into_debugger() noexcept {
  if (::IsDebuggerPresent()) ::DebugBreak();
  std::abort();  // no debugger took the break
}

void write_diagnostic(std::string_view text) noexcept {
  const HANDLE error = ::GetStdHandle(STD_ERROR_HANDLE);
  if (error == nullptr || error == INVALID_HANDLE_VALUE) return;
  while (!text.empty()) {
    const DWORD chunk = text.size() > 65536 ? 65536u : static_cast<DWORD>(text.size());
    DWORD written = 0;
    if (!::WriteFile(error, text.data(), chunk, &written, nullptr) || written == 0) return;
    text.remove_prefix(written);
  }
}

}  // namespace kes::platform

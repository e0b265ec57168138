// The exported functions of the window layer's debugging support.
#include <string_view>

#include <kestrel/wsldebug.h>

#include "wsl/wsldebug/wsldebug.h"

extern "C" void WslDebug$Diagnostic(const char* text) noexcept {
  if (text != nullptr) kes::wsl::write_diagnostic_log(text);
}

// The window layer's debugging support.
#pragma once

#include <kestrel/abi.h>

// Appends the zero-terminated text and a line end to the diagnostic log, "K55LOG.TXT" in the
// program's directory (to standard error when the log cannot be written). A null text writes
// nothing.
KES_API void WslDebug$Diagnostic(const char* text) KES_NOEXCEPT;

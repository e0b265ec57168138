// The window layer's debugging support: the diagnostic log, "K55LOG.TXT" in the program's
// directory, which internal assertions and the program (WslDebug$Diagnostic) write to.
//
// State: none kept; each line opens, appends to and closes the log.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

namespace kes::wsl {

inline constexpr std::string_view kDiagnosticLogName = "K55LOG.TXT";

// The log's path: the program's directory followed by K55LOG.TXT. Returns the length written to
// `out`, 0 when the program's path is unknown or the log's does not fit.
std::size_t diagnostic_log_path(std::span<char> out) noexcept;

// Appends `text` and a line end (CR LF) to the diagnostic log. When the log cannot be written
// the line goes to the diagnostic stream (standard error) instead, so it is never lost quietly.
void write_diagnostic_log(std::string_view text) noexcept;

}  // namespace kes::wsl

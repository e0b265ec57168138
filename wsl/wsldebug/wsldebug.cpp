// The diagnostic log beside the program.
#include "wsl/wsldebug/wsldebug.h"

#include <cstring>

#include "platform/core/process_exit.h"
#include "platform/files/file_system.h"
#include "platform/launch/module_path.h"

namespace kes::wsl {

std::size_t diagnostic_log_path(std::span<char> out) noexcept {
  const std::size_t length = platform::module_path(out);
  if (length == 0) return 0;
  const std::string_view program(out.data(), length);
  const std::size_t slash = program.find_last_of("/\\");
  const std::size_t directory = slash == std::string_view::npos ? 0 : slash + 1;
  if (directory + kDiagnosticLogName.size() > out.size()) return 0;
  std::memcpy(out.data() + directory, kDiagnosticLogName.data(), kDiagnosticLogName.size());
  return directory + kDiagnosticLogName.size();
}

void write_diagnostic_log(std::string_view text) noexcept {
  constexpr std::string_view kLineEnd = "\r\n";
  char path[4096];
  const std::size_t length = diagnostic_log_path(path);
  const std::string_view log(path, length);
  if (length != 0 && platform::append_to_file(log, text) == platform::OsError::None &&
      platform::append_to_file(log, kLineEnd) == platform::OsError::None) {
    return;
  }
  platform::write_diagnostic(text);
  platform::write_diagnostic("\n");
}

}  // namespace kes::wsl

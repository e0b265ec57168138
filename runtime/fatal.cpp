// Fatal run-time errors: the message goes to the diagnostic stream and the process ends.
#include "runtime/fatal.h"

#include "platform/process_exit.h"

namespace kes::runtime {
namespace {
std::string_view message_of(RuntimeError error) noexcept {
  switch (error) {
    case RuntimeError::StackOverflow: return "Stack overflow";
    default: return "Unknown Error";
  }
}
}  // namespace

void fatal(RuntimeError error, std::string_view extra) noexcept {
  platform::write_diagnostic("Runtime error: ");
  if (error != RuntimeError::None) platform::write_diagnostic(message_of(error));
  if (!extra.empty()) {
    if (error != RuntimeError::None) platform::write_diagnostic(" : ");
    platform::write_diagnostic(extra);
  }
  platform::write_diagnostic("\n");
  platform::end_process(kFatalExitCode);
}

}  // namespace kes::runtime

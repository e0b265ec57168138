// RUN on top of the platform's program start.
#include "runtime/lifecycle/run_program.h"

#include <optional>

#include "files/errors/error_state.h"
#include "platform/launch/launch.h"
#include "runtime/fatal/hooks.h"

namespace kes::runtime {
namespace {

std::int32_t run_code = 0;

void fail(platform::OsError error) noexcept {
  run_code = kRunStartFailed;
  platform::set_last_os_error(error);  // so the posted state shows the same platform error
  files::post_error_number(static_cast<std::int32_t>(error));
}

}  // namespace

void run_program(std::string_view command_line, bool wait) noexcept {
  run_code = 0;
  files::clear_error();
  platform::CommandArguments arguments;
  if (!arguments.split(command_line)) return fail(platform::OsError::NotEnoughMemory);
  platform::StartResult started = platform::start_program(arguments);
  if (started.error != platform::OsError::None) return fail(started.error);
  if (!wait) {
    platform::release_program(started.process);
    return;
  }
  if (auto* release = library_hooks().release_runtime_lock) release();
  std::optional<std::int32_t> exit_code = platform::wait_for_program(started.process);
  if (auto* retake = library_hooks().retake_runtime_lock) retake();
  if (!exit_code) return fail(platform::OsError::InvalidHandle);
  run_code = *exit_code;
}

std::int32_t last_run_code() noexcept { return run_code; }

#ifdef KES_TESTING
void reset_run_program_for_testing() noexcept { run_code = 0; }
#endif

}  // namespace kes::runtime

// Program start with posix_spawnp and waiting with waitpid.
#include <algorithm>
#include <array>
#include <cerrno>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/launch/launch.h"

extern char** environ;

namespace kes::platform {
namespace {

// Started programs nobody waits for; collected as they end.
std::array<pid_t, 64> released_programs{};
std::size_t released_count = 0;

void collect_released() noexcept {
  std::size_t kept = 0;
  for (std::size_t i = 0; i < released_count; ++i) {
    int status = 0;
    if (::waitpid(released_programs[i], &status, WNOHANG) == 0) {
      released_programs[kept++] = released_programs[i];
    }
  }
  released_count = kept;
}

}  // namespace

StartResult start_program(const CommandArguments& arguments) noexcept {
  collect_released();
  if (arguments.count() == 0 || arguments.argument(0).empty()) {
    return {0, OsError::InvalidParameter};
  }
  pid_t child = 0;
  int failure =
      ::posix_spawnp(&child, arguments.vector()[0], nullptr, nullptr, arguments.vector(), environ);
  if (failure != 0) return {0, os_error_from_host(failure)};
  return {child, OsError::None};
}

std::optional<std::int32_t> wait_for_program(std::int64_t process) noexcept {
  if (process <= 0) return std::nullopt;
  int status = 0;
  pid_t result;
  do {
    result = ::waitpid(static_cast<pid_t>(process), &status, 0);
  } while (result < 0 && errno == EINTR);
  if (result < 0) return std::nullopt;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return std::nullopt;
}

void release_program(std::int64_t process) noexcept {
  collect_released();
  if (process <= 0) return;
  if (released_count == released_programs.size()) {
    // The table is full: wait for the oldest instead of letting it linger.
    int status = 0;
    ::waitpid(released_programs[0], &status, 0);
    std::copy(released_programs.begin() + 1, released_programs.end(), released_programs.begin());
    --released_count;
  }
  released_programs[released_count++] = static_cast<pid_t>(process);
}

}  // namespace kes::platform

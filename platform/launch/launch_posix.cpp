// Program start with fork and exec, waiting with waitpid.
//
// A program that cannot start is reported through a close-on-exec pipe: the child writes exec's
// error number into it and ends, while a successful exec closes it with nothing written. The pipe
// works wherever fork does, user-mode emulators included, which run a child that shares the
// parent's memory (as posix_spawn's does) as a plain fork and so lose the number it leaves there.
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/launch/launch.h"

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

// Errors that send the search for a program on to the next folder of the program path.
bool try_next_folder(int error) noexcept {
  return error == ENOENT || error == ENOTDIR || error == ENODEV || error == ESTALE ||
         error == ETIMEDOUT;
}

// Runs in the child: replaces it with the program `arguments[0]`, searched on the program path
// when the name holds no '/' (an empty entry of the path is the current folder). A file that is no
// program fails with ENOEXEC; it is never handed to the shell. When no exec succeeds, writes the
// error number into `report` and ends the child: EACCES when some folder held the name but it may
// not run, else the first error that ended the search. The child calls nothing that takes a lock
// another thread of the parent may have held.
[[noreturn]] void exec_program(char* const* arguments, int report) noexcept {
  const char* program = arguments[0];
  int failure = ENOENT;
  if (std::strchr(program, '/') != nullptr) {
    ::execv(program, arguments);
    failure = errno;
  } else {
    const char* path = ::getenv("PATH");
    if (path == nullptr) path = "/bin:/usr/bin";
    const std::size_t name_length = std::strlen(program);
    bool denied = false;
    char candidate[4096];
    for (const char* folder = path;;) {
      const char* end = std::strchr(folder, ':');
      if (end == nullptr) end = folder + std::strlen(folder);
      const auto folder_length = static_cast<std::size_t>(end - folder);
      if (folder_length + 1 + name_length < sizeof candidate) {
        std::size_t at = 0;
        if (folder_length > 0) {
          std::memcpy(candidate, folder, folder_length);
          at = folder_length;
          candidate[at++] = '/';
        }
        std::memcpy(candidate + at, program, name_length + 1);
        ::execv(candidate, arguments);
        if (errno == EACCES) {
          denied = true;
        } else if (!try_next_folder(errno)) {
          failure = errno;
          break;
        }
      }
      if (*end == '\0') break;
      folder = end + 1;
    }
    if (failure == ENOENT && denied) failure = EACCES;
  }
  [[maybe_unused]] const ssize_t written = ::write(report, &failure, sizeof failure);
  ::_exit(127);
}

// Reads the child's report: the error number exec failed with, or 0 once exec closed the pipe.
int read_start_failure(int channel) noexcept {
  int failure = 0;
  ssize_t got;
  do {
    got = ::read(channel, &failure, sizeof failure);
  } while (got < 0 && errno == EINTR);
  return got == static_cast<ssize_t>(sizeof failure) ? failure : 0;
}

void wait_quietly(pid_t child) noexcept {
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace

StartResult start_program(const CommandArguments& arguments) noexcept {
  collect_released();
  if (arguments.count() == 0 || arguments.argument(0).empty()) {
    return {0, OsError::InvalidParameter};
  }
  int channel[2];
  if (::pipe2(channel, O_CLOEXEC) != 0) return {0, os_error_from_host(errno)};
  const pid_t child = ::fork();
  if (child == 0) exec_program(arguments.vector(), channel[1]);
  if (child < 0) {
    const int failure = errno;
    ::close(channel[0]);
    ::close(channel[1]);
    return {0, os_error_from_host(failure)};
  }
  ::close(channel[1]);
  const int failure = read_start_failure(channel[0]);
  ::close(channel[0]);
  if (failure != 0) {
    wait_quietly(child);
    return {0, os_error_from_host(failure)};
  }
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

// Program start with CreateProcessA and waiting on the process handle.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <array>
#include <cstring>
#include <mutex>
#include <windows.h>

#include "platform/core/heap.h"
#include "platform/launch/launch.h"

namespace kes::platform {
namespace {

// Started programs by identifier, with the handle that waits for them. Process-wide by nature.
struct Started {
  std::int64_t id;
  HANDLE handle;
};
std::array<Started, 256> started{};
std::size_t started_count = 0;
std::mutex started_lock;

// Appends `argument` so that the Windows rules split it back unchanged: as it stands when it
// holds no blank or quote, else quoted, with backslashes before a quote (or before the closing
// quote) doubled and quotes escaped.
char* append_argument(char* out, std::string_view argument) noexcept {
  if (!argument.empty() && argument.find_first_of(" \t\"") == std::string_view::npos) {
    std::memcpy(out, argument.data(), argument.size());
    return out + argument.size();
  }
  *out++ = '"';
  std::size_t backslashes = 0;
  for (const char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    const std::size_t repeat = c == '"' ? backslashes * 2 + 1 : backslashes;
    for (std::size_t i = 0; i < repeat; ++i)
      *out++ = '\\';
    backslashes = 0;
    *out++ = c;
  }
  for (std::size_t i = 0; i < backslashes * 2; ++i)
    *out++ = '\\';
  *out++ = '"';
  return out;
}

// Removes the entry of `id` and returns its handle, or null.
HANDLE take(std::int64_t id) noexcept {
  std::lock_guard<std::mutex> guard(started_lock);
  for (std::size_t i = 0; i < started_count; ++i) {
    if (started[i].id == id) {
      HANDLE handle = started[i].handle;
      started[i] = started[--started_count];
      return handle;
    }
  }
  return nullptr;
}

}  // namespace

StartResult start_program(const CommandArguments& arguments) noexcept {
  if (arguments.count() == 0 || arguments.argument(0).empty()) {
    return {0, OsError::InvalidParameter};
  }
  // The program is quoted whole (it holds no quotes); later arguments by the escape rules.
  std::size_t size = 1;
  for (std::size_t i = 0; i < arguments.count(); ++i) {
    size += arguments.argument(i).size() * 2 + 3;
  }
  char* line = static_cast<char*>(heap_allocate(size));
  if (line == nullptr) return {0, OsError::NotEnoughMemory};
  char* at = line;
  const std::string_view program = arguments.argument(0);
  *at++ = '"';
  std::memcpy(at, program.data(), program.size());
  at += program.size();
  *at++ = '"';
  for (std::size_t i = 1; i < arguments.count(); ++i) {
    *at++ = ' ';
    at = append_argument(at, arguments.argument(i));
  }
  *at = '\0';

  std::lock_guard<std::mutex> guard(started_lock);
  if (started_count == started.size()) {
    heap_free(line);
    return {0, OsError::TooManyOpenFiles};
  }
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  const BOOL ok = ::CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                   &startup, &info);
  const DWORD failure = ok ? 0 : ::GetLastError();
  heap_free(line);
  if (!ok) {
    return {0, failure > 0x7FFF'FFFFu ? OsError::GeneralFailure
                                      : os_error_from_host(static_cast<int>(failure))};
  }
  ::CloseHandle(info.hThread);
  started[started_count++] = {info.dwProcessId, info.hProcess};
  return {info.dwProcessId, OsError::None};
}

std::optional<std::int32_t> wait_for_program(std::int64_t process) noexcept {
  if (process <= 0) return std::nullopt;
  HANDLE handle = take(process);
  if (handle == nullptr) return std::nullopt;
  DWORD code = 0;
  const bool ended = ::WaitForSingleObject(handle, INFINITE) == WAIT_OBJECT_0 &&
                     ::GetExitCodeProcess(handle, &code);
  ::CloseHandle(handle);
  if (!ended) return std::nullopt;
  // The whole exit code, as the host reports it (a crash gives its exception number).
  return static_cast<std::int32_t>(code);
}

void release_program(std::int64_t process) noexcept {
  if (process <= 0) return;
  HANDLE handle = take(process);
  if (handle != nullptr) ::CloseHandle(handle);
}

}  // namespace kes::platform

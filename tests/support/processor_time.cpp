// The process's processor time: GetProcessTimes on Windows, std::clock elsewhere.
#include "tests/support/processor_time.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <cstdint>
#include <windows.h>
#else
#include <ctime>
#endif

namespace kes::test {

double processor_seconds() {
#ifdef _WIN32
  FILETIME creation;
  FILETIME exit;
  FILETIME kernel;
  FILETIME user;
  if (!::GetProcessTimes(::GetCurrentProcess(), &creation, &exit, &kernel, &user)) return 0;
  const auto ticks = [](const FILETIME& time) {  // 100 ns each
    return static_cast<std::uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
  };
  return static_cast<double>(ticks(kernel) + ticks(user)) / 1e7;
#else
  return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
#endif
}

}  // namespace kes::test

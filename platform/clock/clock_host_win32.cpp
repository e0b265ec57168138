// The host's clocks on Windows: the local time through GetLocalTime, and the performance
// counter for the monotonic count.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "platform/clock/clock_host.h"

namespace kes::platform::host {

bool local_fields(LocalFields& out) noexcept {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  if (now.wMonth < 1 || now.wMonth > 12 || now.wDay < 1) return false;
  out.year = now.wYear;
  out.month = now.wMonth;
  out.day = now.wDay;
  out.hour = now.wHour;
  out.minute = now.wMinute;
  out.second = now.wSecond > 59 ? 59u : now.wSecond;
  out.hundredths = static_cast<unsigned>(now.wMilliseconds / 10u);
  return true;
}

std::int64_t monotonic_nanoseconds() noexcept {
  LARGE_INTEGER frequency{};
  LARGE_INTEGER counter{};
  if (!::QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0 ||
      !::QueryPerformanceCounter(&counter)) {
    return static_cast<std::int64_t>(::GetTickCount64()) * 1'000'000;
  }
  // Whole seconds and the rest apart, so that the product cannot overflow.
  const std::int64_t seconds = counter.QuadPart / frequency.QuadPart;
  const std::int64_t rest = counter.QuadPart % frequency.QuadPart;
  return seconds * 1'000'000'000 + rest * 1'000'000'000 / frequency.QuadPart;
}

}  // namespace kes::platform::host

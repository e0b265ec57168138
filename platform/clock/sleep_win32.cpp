// Sleeping through the host's Sleep.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "platform/clock/sleep.h"

namespace kes::platform {

void sleep_milliseconds(std::int32_t milliseconds) noexcept {
  if (milliseconds <= 0) return;
  ::Sleep(static_cast<DWORD>(milliseconds));
}

}  // namespace kes::platform

// Sleeping through the host's nanosleep, resumed after signals.
#include <errno.h>
#include <time.h>

#include "platform/clock/sleep.h"

namespace kes::platform {

void sleep_milliseconds(std::int32_t milliseconds) noexcept {
  if (milliseconds <= 0) return;
  timespec wanted{};
  wanted.tv_sec = milliseconds / 1000;
  wanted.tv_nsec = static_cast<long>(milliseconds % 1000) * 1'000'000L;
  timespec left{};
  while (nanosleep(&wanted, &left) != 0 && errno == EINTR) {
    wanted = left;
  }
}

}  // namespace kes::platform

// Giving up the processor for a while.
//
// State: none.
#pragma once

#include <cstdint>

namespace kes::platform {

// Suspends the calling thread for about `milliseconds` (at least that long unless the host
// wakes it early); zero or negative returns at once. Uses no processor time while waiting.
void sleep_milliseconds(std::int32_t milliseconds) noexcept;

}  // namespace kes::platform

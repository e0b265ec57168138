// How many times slower than a native build the tests run: 1 natively, more where a build's
// programs run under emulation (the 32-bit builds set KES_TEST_SLOWDOWN). Time limits of the
// tests that guard against quadratic or exponential work stretch by it; random sweeps, which
// would otherwise take many minutes there, draw fewer samples.
//
// State: none.
#pragma once

#include <chrono>

#ifndef KES_TEST_SLOWDOWN
#define KES_TEST_SLOWDOWN 1
#endif

namespace kes::test {

inline constexpr int kSlowdown = KES_TEST_SLOWDOWN > 1 ? KES_TEST_SLOWDOWN : 1;

// A limit of `native` seconds on a native build.
constexpr std::chrono::seconds time_limit(int native) {
  return std::chrono::seconds(native * kSlowdown);
}

// `native` samples on a native build, at least one.
constexpr int samples(int native) { return native / kSlowdown > 0 ? native / kSlowdown : 1; }

}  // namespace kes::test

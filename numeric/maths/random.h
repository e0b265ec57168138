// RANDOM: an additive lagged pseudo-random generator over 55 words (x[n] = x[n-24] + x[n-55],
// modulo 2^32) and the closed-range draw of the built-in.
//
// State: the generator's 55 words and positions are process-wide by nature: one sequence serves
// the whole program, threads draw from it in turn under the runtime lock, and the thread switch
// leaves it alone.
#pragma once

#include <cstdint>

namespace kes::numeric {

// Restarts the sequence from `seed`; the same seed gives the same sequence. Until this is called
// the first draw seeds the generator from the time of day.
void seed_random(std::uint32_t seed) noexcept;

// The next 15-bit pseudo-random number, [0, 32767].
std::uint32_t next_random_15() noexcept;

// RANDOM(low, high): low when low equals high (nothing is drawn); otherwise three 15-bit draws
// a, b, c make r = (a * 2^30 + b * 2^15 + c) modulo 2^32 and, with w = high - low + 1 as an
// unsigned 32-bit number, the result is low + r mod w (low + r when w is 0, the full range), in
// 32-bit wrapping arithmetic. low above high is not refused: w then wraps past 2^31 and the
// result may lie outside both bounds.
std::int32_t random_in_range(std::int32_t low, std::int32_t high) noexcept;

}  // namespace kes::numeric

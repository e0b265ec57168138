// The additive lagged generator behind RANDOM.
#include "numeric/maths/random.h"

#include <array>
#include <cstdint>

#include "numeric/dates/date_calendar.h"

namespace kes::numeric {
namespace {

constexpr int kLongLag = 55;
constexpr int kShortLag = 24;
constexpr int kWarmUpDraws = 4 * kLongLag;

struct LaggedGenerator {
  std::array<std::uint32_t, kLongLag> words{};
  int oldest = 0;                     // x[n-55], the word replaced by the next draw, [0, 54]
  int recent = kLongLag - kShortLag;  // x[n-24], [0, 54]
  bool seeded = false;
};

LaggedGenerator& generator() noexcept {
  static LaggedGenerator state;
  return state;
}

std::uint32_t next_word(LaggedGenerator& state) noexcept {
  const std::uint32_t word = state.words[static_cast<std::size_t>(state.oldest)] +
                             state.words[static_cast<std::size_t>(state.recent)];
  state.words[static_cast<std::size_t>(state.oldest)] = word;
  state.oldest = state.oldest + 1 == kLongLag ? 0 : state.oldest + 1;
  state.recent = state.recent + 1 == kLongLag ? 0 : state.recent + 1;
  return word;
}

// Spreads one seed over the 55 words (a 32-bit mixing step per word).
std::uint32_t mix(std::uint32_t& state) noexcept {
  state += 0x9E3779B9u;
  std::uint32_t z = state;
  z = (z ^ (z >> 16)) * 0x85EBCA6Bu;
  z = (z ^ (z >> 13)) * 0xC2B2AE35u;
  return z ^ (z >> 16);
}

}  // namespace

void seed_random(std::uint32_t seed) noexcept {
  LaggedGenerator& state = generator();
  std::uint32_t mixer = seed;
  for (std::uint32_t& word : state.words) {
    word = mix(mixer);
  }
  state.words[0] |= 1u;  // the period needs at least one odd word
  state.oldest = 0;
  state.recent = kLongLag - kShortLag;
  state.seeded = true;
  for (int draw = 0; draw < kWarmUpDraws; ++draw) {
    next_word(state);
  }
}

std::uint32_t next_random_15() noexcept {
  LaggedGenerator& state = generator();
  if (!state.seeded) {
    seed_random(static_cast<std::uint32_t>(clock_time_value()));
  }
  return next_word(state) >> 17;  // the top bits of an additive generator are the best mixed
}

std::int32_t random_in_range(std::int32_t low, std::int32_t high) noexcept {
  if (low == high) {
    return low;
  }
  const std::uint32_t a = next_random_15();
  const std::uint32_t b = next_random_15();
  const std::uint32_t c = next_random_15();
  const std::uint32_t r = (a << 30) + (b << 15) + c;  // a's top bits fall off: modulo 2^32
  const std::uint32_t width =
      static_cast<std::uint32_t>(high) - static_cast<std::uint32_t>(low) + 1u;
  const std::uint32_t offset = width == 0 ? r : r % width;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(low) + offset);
}

}  // namespace kes::numeric

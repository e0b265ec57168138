// RANDOM: the closed range, the full range, reproducible seeding and uniformity.
#include "numeric/maths/random.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <vector>

#include <kestrel/maths.h>

#include <gtest/gtest.h>

namespace kes::numeric {
namespace {

constexpr std::uint32_t kSeed = 20261206u;
constexpr std::int32_t kLongMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kLongMax = std::numeric_limits<std::int32_t>::max();

std::vector<std::uint32_t> draws_after_seed(std::uint32_t seed, int count) {
  seed_random(seed);
  std::vector<std::uint32_t> draws;
  for (int index = 0; index < count; ++index) {
    draws.push_back(next_random_15());
  }
  return draws;
}

TEST(RandomGenerator, SeededSequencesOfFifteenBitsCoverTheirRange) {
  const std::vector<std::uint32_t> draws = draws_after_seed(kSeed, 100000);
  EXPECT_EQ(draws_after_seed(kSeed, 200), std::vector(draws.begin(), draws.begin() + 200));
  EXPECT_NE(draws_after_seed(kSeed + 1, 200), std::vector(draws.begin(), draws.begin() + 200));
  EXPECT_LE(*std::max_element(draws.begin(), draws.end()), 32767u);
  EXPECT_GE(*std::max_element(draws.begin(), draws.end()), 32757u);
  EXPECT_LE(*std::min_element(draws.begin(), draws.end()), 10u);
}

TEST(RandomInRange, EqualBoundsReturnLowWithoutDrawing) {
  const std::vector<std::uint32_t> expected = draws_after_seed(kSeed, 1);
  seed_random(kSeed);
  EXPECT_EQ(Kes$RANDOM(5, 5), 5);
  EXPECT_EQ(Kes$RANDOM(-7, -7), -7);
  EXPECT_EQ(next_random_15(), expected[0]);  // the sequence has not moved
}

// Three draws a, b, c make r = a * 2^30 + b * 2^15 + c modulo 2^32, reduced modulo the width.
TEST(RandomInRange, ComposesThreeDraws) {
  const std::vector<std::uint32_t> draws = draws_after_seed(kSeed, 24);
  seed_random(kSeed);
  for (std::size_t i = 0; i < draws.size(); i += 3) {
    SCOPED_TRACE(i);
    const std::uint32_t r = (draws[i] << 30) + (draws[i + 1] << 15) + draws[i + 2];
    if (i < 12) {  // the full range shows r itself, a's low two bits included
      EXPECT_EQ(static_cast<std::uint32_t>(Kes$RANDOM(kLongMin, kLongMax)), r + 0x80000000u);
    } else {
      EXPECT_EQ(Kes$RANDOM(1000, 1999), static_cast<std::int32_t>(1000 + r % 1000));
    }
  }
}

TEST(RandomInRange, StaysWithinClosedRangeAndReachesBothEnds) {
  struct Range {
    const char* name;
    std::int32_t low;
    std::int32_t high;
  };
  const Range kRanges[] = {
      {"Die", 1, 6},
      {"TwoValues", 0, 1},
      {"Negative", -10, -3},
      {"AcrossZero", -2, 2},
      {"TopOfRange", kLongMax - 3, kLongMax},
      {"BottomOfRange", kLongMin, kLongMin + 3},
  };
  seed_random(kSeed);
  for (const Range& range : kRanges) {
    SCOPED_TRACE(range.name);
    bool saw_low = false;
    bool saw_high = false;
    for (int draw = 0; draw < 2000; ++draw) {
      const std::int32_t value = Kes$RANDOM(range.low, range.high);
      ASSERT_GE(value, range.low);
      ASSERT_LE(value, range.high);
      saw_low = saw_low || value == range.low;
      saw_high = saw_high || value == range.high;
    }
    EXPECT_TRUE(saw_low);
    EXPECT_TRUE(saw_high);
  }
}

// Chi-square over ten buckets: with 9 degrees of freedom, 27.88 is exceeded by chance once in a
// thousand runs; the seed is fixed, so the check is deterministic.
TEST(RandomInRange, TenBucketsPassChiSquare) {
  seed_random(kSeed);
  constexpr int kBuckets = 10;
  constexpr int kDraws = 100000;
  std::array<int, kBuckets> counts{};
  for (int draw = 0; draw < kDraws; ++draw) {
    ++counts[static_cast<std::size_t>(Kes$RANDOM(0, kBuckets - 1))];
  }
  constexpr double kExpected = static_cast<double>(kDraws) / kBuckets;
  double chi_square = 0.0;
  for (int count : counts) {
    const double deviation = count - kExpected;
    chi_square += deviation * deviation / kExpected;
  }
  EXPECT_LT(chi_square, 27.88);
}

}  // namespace
}  // namespace kes::numeric

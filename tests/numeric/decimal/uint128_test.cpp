#include "numeric/decimal/uint128.h"

#include <cstdint>
#include <random>

#include <gtest/gtest.h>

#include "tests/support/uint128_portable.h"

namespace kes::numeric {
namespace {

using test::Halves;

constexpr std::uint64_t kAllOnes = ~std::uint64_t{0};

Uint128 wide(Halves value) { return {value.high, value.low}; }
Halves halves(Uint128 value) { return {value.high(), value.low()}; }

// Known answers, so that the build whose own version is the halves one checks something too.
TEST(Uint128, KnownProductsWrapModulo2To128) {
  struct Case {
    Halves a;
    std::uint64_t b;
    Halves product;
  };
  const Case cases[] = {
      {{0, kAllOnes}, kAllOnes, {kAllOnes - 1, 1}},         // (2^64 - 1)^2
      {{1, 0}, 100000000, {100000000, 0}},                  // 2^64 x 10^8
      {{kAllOnes, kAllOnes}, 2, {kAllOnes, kAllOnes - 1}},  // -1 x 2 = -2
      {{0x0000000100000000, 0xFFFFFFFF00000000}, 0x100000000, {0xFFFFFFFF, 0}},
      {{0, 0x8000000000000000}, 0x8000000000000000, {0x4000000000000000, 0}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(halves(wide(c.a) * c.b), c.product) << c.a.high << ":" << c.a.low << " x " << c.b;
    EXPECT_EQ(test::portable_multiply(c.a, c.b), c.product);
  }
  EXPECT_EQ(halves(Uint128(0, 0) - Uint128(0, 1)), (Halves{kAllOnes, kAllOnes}));
  EXPECT_EQ(halves(Uint128(0, kAllOnes) + Uint128(0, 1)), (Halves{1, 0}));
  EXPECT_TRUE(is_wrapped(Uint128(0, 0) - Uint128(0, 1)));
  EXPECT_EQ(bit_width(Uint128(1, 0)), 65);
  EXPECT_EQ(bit_width(Uint128()), 0);
  EXPECT_EQ(halves(shifted_right(Uint128(3, 0), 65)), (Halves{0, 1}));
  EXPECT_EQ(to_double(Uint128(1, 0)), 18446744073709551616.0);
}

// Values with runs of zero and one bits, where carries and borrows cross the halves.
Halves random_halves(std::mt19937_64& engine) {
  auto half = [&] {
    switch (engine() % 4) {
      case 0: return std::uint64_t{0};
      case 1: return kAllOnes;
      case 2: return engine() >> (engine() % 64);
      default: return engine();
    }
  };
  return {half(), half()};
}

TEST(Uint128, HalvesAgreeWithTheBuildsOwnVersion) {
  std::mt19937_64 engine(128);
  for (int i = 0; i < 100000; ++i) {
    const Halves a = random_halves(engine);
    const Halves b = random_halves(engine);
    const int bits = static_cast<int>(engine() % 128);
    ASSERT_EQ(test::portable_add(a, b), halves(wide(a) + wide(b)));
    ASSERT_EQ(test::portable_subtract(a, b), halves(wide(a) - wide(b)));
    ASSERT_EQ(test::portable_multiply(a, b.low), halves(wide(a) * b.low));
    ASSERT_EQ(test::portable_shifted_right(a, bits), halves(shifted_right(wide(a), bits)));
    ASSERT_EQ(test::portable_less(a, b), wide(a) < wide(b));
    ASSERT_EQ(test::portable_bit_width(a), bit_width(wide(a)));
    ASSERT_EQ(test::portable_to_double(a), to_double(wide(a)));
  }
}

}  // namespace
}  // namespace kes::numeric

// Limb conversions: digit words to base 10^8 limbs and back, in the build's own version and in
// the word version, against digits written out by plain division; the 128-bit words, against
// known answers and the halves version.
#include "numeric/decimal/decimal_limbs.h"

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "numeric/decimal/uint128.h"
#include "tests/support/decimal_limbs_scalar.h"
#include "tests/support/uint128_portable.h"

namespace kes::numeric {
namespace {

constexpr std::uint32_t kPowers[8] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000};

// The eight digit bytes of a limb, least significant first, by repeated division.
std::uint64_t digits_by_division(std::uint32_t limb) {
  std::uint64_t word = 0;
  for (int i = 0; i < 8; ++i) {
    word |= static_cast<std::uint64_t>(limb % 10) << (8 * i);
    limb /= 10;
  }
  return word;
}

std::uint32_t nonzero_bytes(const std::uint64_t* words) {
  std::uint32_t bits = 0;
  for (int i = 0; i < 32; ++i) {
    if (((words[i / 8] >> (8 * (i % 8))) & 0xFF) != 0) bits |= 1u << i;
  }
  return bits;
}

// Limbs where the splits by 10^4, 100 and 10 change: every boundary and its neighbours, the
// largest limb, and a stride through the whole range.
std::vector<std::uint32_t> interesting_limbs() {
  std::vector<std::uint32_t> limbs;
  for (std::uint32_t power = 1; power <= 10000000; power *= 10) {
    for (std::uint32_t digit = 1; digit <= 9; ++digit) {
      limbs.push_back(digit * power - 1);
      limbs.push_back(digit * power);
      limbs.push_back(digit * power + 1);
    }
  }
  for (std::uint32_t limb = 0; limb < 100000000; limb += 9973)
    limbs.push_back(limb);
  for (std::uint32_t limb : {99999999u, 99990000u, 99989999u, 10000u, 9999u})
    limbs.push_back(limb);
  return limbs;
}

TEST(DecimalLimbs, EachLimbSpellsItsDigitsInBothVersions) {
  std::vector<std::uint32_t> limbs = interesting_limbs();
  std::mt19937 engine(7);
  std::shuffle(limbs.begin(), limbs.end(), engine);  // each lane sees every kind of limb
  while (limbs.size() % 4 != 0)
    limbs.push_back(0);
  for (std::size_t i = 0; i < limbs.size(); i += 4) {
    const std::uint32_t* four = limbs.data() + i;
    std::uint64_t expected[4];
    for (int k = 0; k < 4; ++k)
      expected[k] = digits_by_division(four[k]);
    std::uint64_t built[4];
    std::uint64_t scalar[4];
    std::uint8_t bytes[32];
    const std::uint32_t built_bits = four_limbs_to_words(four[0], four[1], four[2], four[3], bytes);
    std::memcpy(built, bytes, sizeof built);
    const std::uint32_t scalar_bits = test::scalar_four_limbs_to_words(four, bytes);
    std::memcpy(scalar, bytes, sizeof scalar);
    for (int k = 0; k < 4; ++k) {
      ASSERT_EQ(built[k], expected[k]) << four[k];
      ASSERT_EQ(scalar[k], expected[k]) << four[k];
      ASSERT_EQ(word_to_limb(expected[k]), four[k]);
      ASSERT_EQ(limb_to_word(four[k]), expected[k]) << four[k];
    }
    ASSERT_EQ(built_bits, nonzero_bytes(expected));
    ASSERT_EQ(scalar_bits, nonzero_bytes(expected));
  }
}

// Clean rows (digits low..high, zeros elsewhere) read as limbs, whole rows and four words at a
// time, in both versions.
TEST(DecimalLimbs, RowsReadAsLimbsInBothVersions) {
  std::mt19937 engine(8);
  std::uniform_int_distribution<int> digit(0, 9);
  std::uniform_int_distribution<int> position(0, kDecimalPositions - 1);
  for (int i = 0; i < 20000; ++i) {
    std::uint8_t row[kDecimalPositions] = {};
    int low = position(engine);
    int high = position(engine);
    if (low > high) std::swap(low, high);
    for (int p = low; p <= high; ++p)
      row[p] = static_cast<std::uint8_t>(i % 16 == 1 ? 9 : digit(engine));
    std::uint32_t expected[8] = {};
    for (int p = high; p >= low; --p)
      expected[p / 8] += row[p] * kPowers[p % 8];
    std::uint32_t built[8];
    std::uint32_t scalar[8];
    row_to_limbs(row, built);
    test::scalar_row_to_limbs(row, scalar);
    std::uint64_t words[8];
    std::memcpy(words, row, sizeof words);
    std::uint64_t four[4];
    std::uint64_t scalar_four[4];
    four_words_to_limbs(words[1], words[3], words[5], words[7], four);
    test::scalar_four_words_to_limbs(words[1], words[3], words[5], words[7], scalar_four);
    for (int k = 0; k < 8; ++k) {
      ASSERT_EQ(built[k], expected[k]) << "limb " << k << " of " << low << ".." << high;
      ASSERT_EQ(scalar[k], expected[k]) << "limb " << k << " of " << low << ".." << high;
    }
    for (int k = 0; k < 4; ++k) {
      ASSERT_EQ(four[k], expected[2 * k + 1]) << "word " << 2 * k + 1;
      ASSERT_EQ(scalar_four[k], expected[2 * k + 1]) << "word " << 2 * k + 1;
    }
  }
}

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

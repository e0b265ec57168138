// Random operands (fixed seed) against Boost.Multiprecision integers scaled by 10^32: sums,
// differences, products that fit 32 places, quotients rounded half away from zero to 31 places,
// comparisons and text round trips.
#include <boost/multiprecision/cpp_int.hpp>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "numeric/decimal/decimal_arith.h"
#include "numeric/decimal/decimal_convert.h"
#include "numeric/decimal/decimal_stack.h"

namespace kes::numeric {
namespace {

using boost::multiprecision::cpp_int;

const cpp_int kScale = boost::multiprecision::pow(cpp_int(10), 32);  // one unit
const cpp_int kLimit = boost::multiprecision::pow(cpp_int(10), 63);  // 10^31 units

// A random operand as text together with its value in units of 10^-32.
struct Operand {
  std::string text;
  cpp_int scaled;
  int places;
};

class Generator {
 public:
  explicit Generator(std::uint32_t seed) : engine_(seed) {}

  // Up to `max_integer` integer digits and `max_places` fraction digits, either sign; digit runs
  // of 0 and 9 are favoured so that long carries and borrows occur.
  Operand operand(int max_integer, int max_places) {
    const int integer_digits = uniform(0, max_integer);
    const int places = uniform(0, max_places);
    Operand result;
    result.places = places;
    const bool negative = uniform(0, 1) == 1;
    std::string integer;
    std::string fraction;
    for (int i = 0; i < integer_digits; ++i)
      integer += digit();
    for (int i = 0; i < places; ++i)
      fraction += digit();
    result.text = (negative ? "-" : "") + integer + (places > 0 ? "." + fraction : "");
    cpp_int magnitude(0);
    for (char c : integer + fraction)
      magnitude = magnitude * 10 + (c - '0');
    result.scaled = magnitude * boost::multiprecision::pow(cpp_int(10), 32 - places);
    if (negative) result.scaled = -result.scaled;
    return result;
  }

 private:
  int uniform(int low, int high) { return std::uniform_int_distribution<int>(low, high)(engine_); }
  char digit() {
    const int kind = uniform(0, 9);
    if (kind < 2) return '0';
    if (kind < 4) return '9';
    return static_cast<char>('0' + uniform(0, 9));
  }
  std::mt19937 engine_;
};

// Canonical text of a value in units of 10^-32, written independently of the engine.
std::string oracle_text(const cpp_int& scaled) {
  const bool negative = scaled < 0;
  const cpp_int magnitude = negative ? cpp_int(-scaled) : scaled;
  const cpp_int integer = magnitude / kScale;
  std::string fraction = cpp_int(magnitude % kScale + kScale).str().substr(1);  // 32 digits
  while (!fraction.empty() && fraction.back() == '0')
    fraction.pop_back();
  std::string text = integer.str();
  if (!fraction.empty()) text += "." + fraction;
  if (negative && magnitude != 0) text = "-" + text;
  return text;
}

// |a| / |b| to 31 places, half away from zero, in units of 10^-32, with the quotient's sign.
cpp_int oracle_quotient(const cpp_int& a, const cpp_int& b) {
  const bool negative = (a < 0) != (b < 0);
  const cpp_int x = a < 0 ? cpp_int(-a) : a;
  const cpp_int y = b < 0 ? cpp_int(-b) : b;
  const cpp_int in_32_places = x * kScale / y;  // truncated
  const cpp_int in_31_places = (in_32_places + 5) / 10;
  const cpp_int result = in_31_places * 10;
  return negative ? cpp_int(-result) : result;
}

DecimalEntry parse(const std::string& text) {
  DecimalEntry value;
  decimal_from_text(value, text);
  return value;
}

std::string text_of(const DecimalEntry& value) {
  char buffer[kDecimalTextCapacity];
  return std::string(buffer, decimal_to_text(value, buffer));
}

bool fits(const cpp_int& scaled) { return scaled < kLimit && scaled > -kLimit; }

constexpr int kRounds = 20000;

TEST(DecimalOracle, SumsAndDifferences) {
  Generator generator(20260101);
  for (int i = 0; i < kRounds; ++i) {
    const Operand a = generator.operand(30, 32);
    const Operand b = generator.operand(30, 32);
    DecimalEntry sum = parse(a.text);
    decimal_add(sum, parse(b.text));
    ASSERT_EQ(text_of(sum), oracle_text(a.scaled + b.scaled)) << a.text << " + " << b.text;
    DecimalEntry difference = parse(a.text);
    decimal_subtract(difference, parse(b.text));
    ASSERT_EQ(text_of(difference), oracle_text(a.scaled - b.scaled)) << a.text << " - " << b.text;
  }
}

TEST(DecimalOracle, ProductsWithinThirtyTwoPlaces) {
  Generator generator(20260202);
  int checked = 0;
  for (int i = 0; i < kRounds; ++i) {
    const Operand a = generator.operand(16, 16);
    const Operand b = generator.operand(16, 16);
    const cpp_int exact = a.scaled * b.scaled;  // units of 10^-64
    if (exact % kScale != 0) continue;          // finer than 32 places
    const cpp_int product = exact / kScale;
    if (!fits(product)) continue;
    DecimalEntry result = parse(a.text);
    decimal_multiply(result, parse(b.text));
    ASSERT_EQ(text_of(result), oracle_text(product)) << a.text << " * " << b.text;
    ++checked;
  }
  EXPECT_GT(checked, kRounds * 9 / 10);
}

TEST(DecimalOracle, MoneyTimesRates) {
  Generator generator(20260303);
  for (int i = 0; i < kRounds; ++i) {
    const Operand amount = generator.operand(11, 2);
    const Operand rate = generator.operand(3, 10);
    DecimalEntry result = parse(amount.text);
    decimal_multiply(result, parse(rate.text));
    ASSERT_EQ(text_of(result), oracle_text(amount.scaled * rate.scaled / kScale))
        << amount.text << " * " << rate.text;
  }
}

TEST(DecimalOracle, QuotientsRoundedToThirtyOnePlaces) {
  Generator generator(20260404);
  int checked = 0;
  for (int i = 0; i < kRounds; ++i) {
    const Operand a = generator.operand(i % 2 == 0 ? 11 : 30, i % 2 == 0 ? 2 : 32);
    const Operand b = generator.operand(i % 3 == 0 ? 3 : 30, i % 3 == 0 ? 10 : 32);
    if (b.scaled == 0) continue;
    const cpp_int quotient = oracle_quotient(a.scaled, b.scaled);
    if (!fits(quotient)) continue;
    DecimalEntry result = parse(a.text);
    decimal_divide(result, parse(b.text));
    ASSERT_EQ(text_of(result), oracle_text(quotient)) << a.text << " / " << b.text;
    ++checked;
  }
  EXPECT_GT(checked, kRounds / 2);
}

TEST(DecimalOracle, ComparisonsAndTextRoundTrips) {
  Generator generator(20260505);
  for (int i = 0; i < kRounds; ++i) {
    const Operand a = generator.operand(31, 32);
    const Operand b = i % 4 == 0 ? a : generator.operand(31, 32);
    const int expected = a.scaled < b.scaled ? -1 : (a.scaled > b.scaled ? 1 : 0);
    ASSERT_EQ(decimal_compare(parse(a.text), parse(b.text)), expected) << a.text << " " << b.text;
    ASSERT_EQ(text_of(parse(a.text)), oracle_text(a.scaled)) << a.text;
  }
}

}  // namespace
}  // namespace kes::numeric

// The decimal engine beside GCC's decimal128 and Boost cpp_dec_float_50: arithmetic and
// comparison on money values and on full 31-digit values, text to decimal and back.
//
// Inputs are made once from a fixed seed. Before timing, every peer's results are checked against
// ours (exactly where the peer is exact, to 30 significant places where it rounds), so a fast
// wrong peer cannot win. A summary of ns/op and ratios is printed at the end.
#include <algorithm>
#include <boost/multiprecision/cpp_dec_float.hpp>
#include <boost/multiprecision/cpp_int.hpp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <decimal/decimal>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/support/bare_word_add.h"
#include "bench/support/empty_call.h"
#include "bench/support/ratio_report.h"
#include "numeric/decimal/decimal_arith.h"
#include "numeric/decimal/decimal_convert.h"
#include "numeric/decimal/decimal_row.h"
#include "numeric/decimal/decimal_stack.h"

namespace {

namespace num = kes::numeric;
using Boost50 = boost::multiprecision::cpp_dec_float_50;
using Check = boost::multiprecision::number<boost::multiprecision::cpp_dec_float<120>>;
using boost::multiprecision::cpp_int;
using std::decimal::decimal128;

constexpr std::size_t kCount = 1024;  // operand pairs per data set, cycled through
constexpr std::uint32_t kSeed = 20261206;

// ---- conversions used only to build inputs and check results (never timed) ----

std::string text_of(const num::DecimalEntry& value) {
  char buffer[num::kDecimalTextCapacity];
  return std::string(buffer, num::decimal_to_text(value, buffer));
}

// decimal128 from canonical text of at most 34 significant digits, exactly.
decimal128 d128_from_text(const std::string& text) {
  const bool negative = !text.empty() && text[0] == '-';
  std::string digits;
  int exponent = 0;
  bool fraction = false;
  for (char c : text) {
    if (c == '.') fraction = true;
    if (c < '0' || c > '9') continue;
    digits += c;
    if (fraction) --exponent;
  }
  const cpp_int coefficient(digits.empty() ? std::string("0") : digits);
  const cpp_int split = boost::multiprecision::pow(cpp_int(10), 17);
  const auto high = static_cast<long long>(coefficient / split);
  const auto low = static_cast<long long>(coefficient % split);
  decimal128 value = std::decimal::make_decimal128(high, exponent + 17) +
                     std::decimal::make_decimal128(low, exponent);
  return negative ? -value : value;
}

// The exact value of a decimal128 (x86 uses the binary integer encoding), as Check.
Check check_of(decimal128 value) {
  auto raw = value.__getval();
  unsigned __int128 bits;
  std::memcpy(&bits, &raw, sizeof bits);
  const bool negative = (bits >> 127) != 0;
  const int exponent = static_cast<int>((bits >> 113) & 0x3FFF) - 6176;
  const unsigned __int128 coefficient = bits & ((static_cast<unsigned __int128>(1) << 113) - 1);
  cpp_int c = static_cast<unsigned long long>(coefficient >> 64);
  c <<= 64;
  c += static_cast<unsigned long long>(coefficient);
  Check result(c);
  result *= boost::multiprecision::pow(Check(10), exponent);
  return negative ? Check(-result) : result;
}

Check check_of(const Boost50& value) { return Check(value); }
Check check_of(const num::DecimalEntry& value) { return Check(text_of(value)); }

// Agreement to 30 significant places (and 10^-31 absolutely): exact results pass trivially.
bool agrees(const Check& ours, const Check& peer) {
  const Check difference = abs(ours - peer);
  const Check magnitude = abs(peer) > 1 ? abs(peer) : Check(1);
  return difference <= magnitude * Check("1e-30");
}

// ---- inputs ----

struct Operand {
  std::string text;
  num::DecimalEntry ours;
  decimal128 d128;
  Boost50 boost;
};

Operand make_operand(const std::string& text) {
  Operand operand;
  operand.text = text;
  num::decimal_from_text(operand.ours, text);
  operand.d128 = d128_from_text(text);
  operand.boost = Boost50(text);
  return operand;
}

std::string random_text(std::mt19937& engine, int integer_digits, int places, bool nonzero) {
  std::uniform_int_distribution<int> digit(0, 9);
  std::string text;
  if (digit(engine) < 3) text += '-';
  for (int i = 0; i < integer_digits; ++i) {
    text += static_cast<char>('0' + (i == 0 ? 1 + digit(engine) % 9 : digit(engine)));
  }
  if (integer_digits == 0) text += '0';
  if (places > 0) {
    text += '.';
    for (int i = 0; i < places; ++i) {
      text += static_cast<char>(
          '0' + (nonzero && i == places - 1 ? 1 + digit(engine) % 9 : digit(engine)));
    }
  }
  return text;
}

struct DataSet {
  std::vector<Operand> left;
  std::vector<Operand> right;
};

// Money: up to 11 integer digits and 2 places; the right operand is another amount for addition,
// subtraction and comparison, a rate of up to 10 places for multiplication and division.
DataSet make_money(bool rates) {
  std::mt19937 engine(kSeed + (rates ? 1 : 0));
  std::uniform_int_distribution<int> length(1, 11);
  std::uniform_int_distribution<int> rate_places(1, 10);
  DataSet set;
  for (std::size_t i = 0; i < kCount; ++i) {
    set.left.push_back(make_operand(random_text(engine, length(engine), 2, false)));
    set.right.push_back(make_operand(rates ? random_text(engine, 1, rate_places(engine), true)
                                           : random_text(engine, length(engine), 2, false)));
  }
  return set;
}

// Full values: 31 significant digits, 15 integer and 16 fraction digits, so that products fit.
DataSet make_full() {
  std::mt19937 engine(kSeed + 2);
  DataSet set;
  for (std::size_t i = 0; i < kCount; ++i) {
    set.left.push_back(make_operand(random_text(engine, 15, 16, true)));
    set.right.push_back(make_operand(random_text(engine, 15, 16, true)));
  }
  return set;
}

const DataSet& money_amounts() {
  static const DataSet set = make_money(false);
  return set;
}
const DataSet& money_rates() {
  static const DataSet set = make_money(true);
  return set;
}
const DataSet& full_values() {
  static const DataSet set = make_full();
  return set;
}

// ---- the operations, one per engine ----

enum class Op { Add, Subtract, Multiply, Divide, Compare };

num::DecimalEntry ours(Op op, const Operand& a, const Operand& b) {
  num::DecimalEntry result = a.ours;
  switch (op) {
    case Op::Add: num::decimal_add(result, b.ours); break;
    case Op::Subtract: num::decimal_subtract(result, b.ours); break;
    case Op::Multiply: num::decimal_multiply(result, b.ours); break;
    case Op::Divide: num::decimal_divide(result, b.ours); break;
    case Op::Compare: num::decimal_from_long(result, num::decimal_compare(a.ours, b.ours)); break;
  }
  return result;
}

template <typename T>
T peer(Op op, const T& a, const T& b) {
  switch (op) {
    case Op::Add: return a + b;
    case Op::Subtract: return a - b;
    case Op::Multiply: return a * b;
    case Op::Divide: return a / b;
    case Op::Compare: return T((a < b) ? -1 : (b < a ? 1 : 0));
  }
  return a;
}

const decimal128& d128_of(const Operand& operand) { return operand.d128; }
const Boost50& boost_of(const Operand& operand) { return operand.boost; }

// Checks one peer's results against ours over the whole data set; exits on disagreement.
template <typename T, typename Get>
void verify(const char* name, Op op, const DataSet& set, Get get) {
  for (std::size_t i = 0; i < kCount; ++i) {
    const T result = peer<T>(op, get(set.left[i]), get(set.right[i]));
    const num::DecimalEntry mine = ours(op, set.left[i], set.right[i]);
    if (!agrees(check_of(mine), check_of(result))) {
      std::fprintf(stderr, "%s disagrees on %s and %s: ours %s\n", name, set.left[i].text.c_str(),
                   set.right[i].text.c_str(), text_of(mine).c_str());
      std::exit(1);
    }
  }
}

void verify_all(Op op, const DataSet& set) {
  verify<decimal128>("decimal128", op, set, d128_of);
  verify<Boost50>("cpp_dec_float_50", op, set, boost_of);
}

template <Op op>
const DataSet& set_for(bool full) {
  if (full) return full_values();
  return (op == Op::Multiply || op == Op::Divide) ? money_rates() : money_amounts();
}

template <Op op, bool full>
void BM_Kestrel(benchmark::State& state) {
  const DataSet& set = set_for<op>(full);
  std::size_t i = 0;
  for (auto _ : state) {
    const num::DecimalEntry& right = set.right[i].ours;
    if constexpr (op == Op::Compare) {
      benchmark::DoNotOptimize(num::decimal_compare(set.left[i].ours, right));
    } else {
      num::DecimalEntry result = set.left[i].ours;  // next receives the result, as on the stack
      if constexpr (op == Op::Add) num::decimal_add(result, right);
      if constexpr (op == Op::Subtract) num::decimal_subtract(result, right);
      if constexpr (op == Op::Multiply) num::decimal_multiply(result, right);
      if constexpr (op == Op::Divide) num::decimal_divide(result, right);
      benchmark::DoNotOptimize(result);
    }
    i = (i + 1) % kCount;
  }
}

template <Op op, bool full, typename T, const T& (*get)(const Operand&)>
void BM_Peer(benchmark::State& state) {
  const DataSet& set = set_for<op>(full);
  std::size_t i = 0;
  for (auto _ : state) {
    const T& a = get(set.left[i]);
    const T& b = get(set.right[i]);
    if constexpr (op == Op::Add) benchmark::DoNotOptimize(T(a + b));
    if constexpr (op == Op::Subtract) benchmark::DoNotOptimize(T(a - b));
    if constexpr (op == Op::Multiply) benchmark::DoNotOptimize(T(a * b));
    if constexpr (op == Op::Divide) benchmark::DoNotOptimize(T(a / b));
    if constexpr (op == Op::Compare) benchmark::DoNotOptimize(a < b);
    i = (i + 1) % kCount;
  }
}

// The call alone: a called comparison of the same operands that reads one byte of each. Boost's
// comparison is inlined into the benchmark loop; ours, like every exported operation, is a call.
template <bool full>
void BM_CompareCallAlone(benchmark::State& state) {
  const DataSet& set = set_for<Op::Compare>(full);
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        kes_bench_first_bytes_compare(set.left[i].ours.digits, set.right[i].ours.digits));
    i = (i + 1) % kCount;
  }
}
BENCHMARK(BM_CompareCallAlone<false>)->Name("BM_MoneyCompare_CallAlone");
BENCHMARK(BM_CompareCallAlone<true>)->Name("BM_FullCompare_CallAlone");

// The floor of a word-by-word addition: the same copy and the words of the sum's range added
// with the carry bias, without the rules that make it an addition of values.
template <bool full>
void BM_AddBareWords(benchmark::State& state) {
  const DataSet& set = set_for<Op::Add>(full);
  std::size_t i = 0;
  for (auto _ : state) {
    num::DecimalEntry result = set.left[i].ours;
    const num::DecimalEntry& right = set.right[i].ours;
    const int high = std::max(result.high, right.high) + 1;
    kes_bench_bare_word_add(result.digits, right.digits, std::min(result.low, right.low) / 8,
                            std::min(high, num::kDecimalPositions - 1) / 8);
    benchmark::DoNotOptimize(result);
    i = (i + 1) % kCount;
  }
}
BENCHMARK(BM_AddBareWords<false>)->Name("BM_MoneyAdd_BareWords");
BENCHMARK(BM_AddBareWords<true>)->Name("BM_FullAdd_BareWords");

// What the digit rows cost a product before any multiplying: both operands read as base 10^8
// limbs and eight limbs written back as digits, as every long product does.
void BM_FullMultiply_ConversionsAlone(benchmark::State& state) {
  const DataSet& set = full_values();
  std::size_t i = 0;
  for (auto _ : state) {
    num::DecimalEntry result = set.left[i].ours;
    std::uint32_t a[num::kWords];
    std::uint32_t b[num::kWords];
    num::row_to_limbs(result.digits, a);
    num::row_to_limbs(set.right[i].ours.digits, b);
    benchmark::DoNotOptimize(b);
    num::store_limbs(result, a, false);  // the operand's limbs stand for the product's
    benchmark::DoNotOptimize(result);
    i = (i + 1) % kCount;
  }
}
BENCHMARK(BM_FullMultiply_ConversionsAlone);

#define KES_DECIMAL_BENCH(name, op, full)                                            \
  BENCHMARK(BM_Kestrel<op, full>)->Name("BM_" name "_Kestrel");                      \
  BENCHMARK(BM_Peer<op, full, decimal128, d128_of>)->Name("BM_" name "_Decimal128"); \
  BENCHMARK(BM_Peer<op, full, Boost50, boost_of>)->Name("BM_" name "_BoostDecFloat50");

KES_DECIMAL_BENCH("MoneyAdd", Op::Add, false)
KES_DECIMAL_BENCH("MoneySubtract", Op::Subtract, false)
KES_DECIMAL_BENCH("MoneyMultiply", Op::Multiply, false)
KES_DECIMAL_BENCH("MoneyDivide", Op::Divide, false)
KES_DECIMAL_BENCH("MoneyCompare", Op::Compare, false)
KES_DECIMAL_BENCH("FullAdd", Op::Add, true)
KES_DECIMAL_BENCH("FullSubtract", Op::Subtract, true)
KES_DECIMAL_BENCH("FullMultiply", Op::Multiply, true)
KES_DECIMAL_BENCH("FullDivide", Op::Divide, true)
KES_DECIMAL_BENCH("FullCompare", Op::Compare, true)

// ---- text to decimal and back (decimal128 has no text conversions here) ----

std::vector<std::string> texts() {
  std::vector<std::string> result;
  for (const Operand& operand : full_values().left)
    result.push_back(operand.text);
  for (const Operand& operand : money_amounts().left)
    result.push_back(operand.text);
  return result;
}

const std::vector<std::string>& all_texts() {
  static const std::vector<std::string> result = texts();
  return result;
}

void verify_text() {
  for (const std::string& text : all_texts()) {
    num::DecimalEntry value;
    num::decimal_from_text(value, text);
    const Boost50 peer_value(text);
    char buffer[num::kDecimalTextCapacity];
    const std::string ours_text(buffer, num::decimal_to_text(value, buffer));
    const std::string peer_text = peer_value.str(0, std::ios_base::fixed);
    if (check_of(value) != check_of(peer_value) || Check(ours_text) != Check(peer_text)) {
      std::fprintf(stderr, "text conversions disagree on %s\n", text.c_str());
      std::exit(1);
    }
  }
}

void BM_TextToDecimal_Kestrel(benchmark::State& state) {
  const auto& inputs = all_texts();
  std::size_t i = 0;
  for (auto _ : state) {
    num::DecimalEntry value;
    num::decimal_from_text(value, inputs[i]);
    benchmark::DoNotOptimize(value);
    i = (i + 1) % inputs.size();
  }
}
BENCHMARK(BM_TextToDecimal_Kestrel);

void BM_TextToDecimal_BoostDecFloat50(benchmark::State& state) {
  const auto& inputs = all_texts();
  std::size_t i = 0;
  for (auto _ : state) {
    Boost50 value(inputs[i]);
    benchmark::DoNotOptimize(value);
    i = (i + 1) % inputs.size();
  }
}
BENCHMARK(BM_TextToDecimal_BoostDecFloat50);

void BM_DecimalToText_Kestrel(benchmark::State& state) {
  std::vector<num::DecimalEntry> values;
  for (const std::string& text : all_texts()) {
    values.emplace_back();
    num::decimal_from_text(values.back(), text);
  }
  std::size_t i = 0;
  char buffer[num::kDecimalTextCapacity];
  for (auto _ : state) {
    benchmark::DoNotOptimize(num::decimal_to_text(values[i], buffer));
    benchmark::ClobberMemory();
    i = (i + 1) % values.size();
  }
}
BENCHMARK(BM_DecimalToText_Kestrel);

void BM_DecimalToText_BoostDecFloat50(benchmark::State& state) {
  std::vector<Boost50> values;
  for (const std::string& text : all_texts())
    values.emplace_back(text);
  std::size_t i = 0;
  for (auto _ : state) {
    std::string text = values[i].str(0, std::ios_base::fixed);
    benchmark::DoNotOptimize(text);
    i = (i + 1) % values.size();
  }
}
BENCHMARK(BM_DecimalToText_BoostDecFloat50);

}  // namespace

int main(int argc, char** argv) {
  for (Op op : {Op::Add, Op::Subtract, Op::Multiply, Op::Divide, Op::Compare}) {
    const bool rates = op == Op::Multiply || op == Op::Divide;
    verify_all(op, rates ? money_rates() : money_amounts());
    verify_all(op, full_values());
  }
  verify_text();
  return kes::bench::run_benchmarks(argc, argv, true);
}

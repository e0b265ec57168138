// Value descriptors against the same work written with the library's exports directly: a LONG
// assigned to a DECIMAL, the DECIMAL to a STRING and the STRING back to a LONG; and the
// comparison of two strings. The descriptor layer should add little over the direct calls.
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <kestrel/decimal.h>
#include <kestrel/string_builtins.h>
#include <kestrel/string_stack.h>
#include <kestrel/types.h>
#include <kestrel/ufo.h>
#include <kestrel/values.h>

#include <benchmark/benchmark.h>

#include "bench/support/ratio_report.h"

namespace {

constexpr std::size_t kInputs = 256;
constexpr uint32_t kTextSize = 16;
constexpr uint8_t kDecimalSize = 8;  // DECIMAL(15,2)
constexpr uint8_t kPlaces = 2;

struct Inputs {
  std::vector<int32_t> numbers;
  std::vector<std::array<char, kTextSize>> left;
  std::vector<std::array<char, kTextSize>> right;
};

const Inputs& inputs() {
  static const Inputs made = [] {
    Inputs result;
    std::mt19937 random(1801);
    for (std::size_t index = 0; index < kInputs; ++index) {
      result.numbers.push_back(static_cast<int32_t>(random()) / 7);
      std::array<char, kTextSize> a{};
      std::array<char, kTextSize> b{};
      for (uint32_t at = 0; at < kTextSize; ++at) {
        a[at] = static_cast<char>('A' + random() % 4);
        b[at] = at + 1 < kTextSize ? a[at] : static_cast<char>('A' + random() % 4);
      }
      result.left.push_back(a);
      result.right.push_back(b);
    }
    return result;
  }();
  return made;
}

// The three variables of the chain and their descriptors.
struct Chain {
  int32_t whole = 0;
  unsigned char decimal[kDecimalSize] = {};
  char text[kTextSize] = {};
  int32_t back = 0;
  Ufo* whole_ufo = Kes$Mem2Ufo(&whole, KesTypeLong, 0, 0);
  Ufo* decimal_ufo = Kes$Mem2Ufo(decimal, KesTypeDecimal, kDecimalSize | kPlaces << 8, 0);
  Ufo* text_ufo = Kes$Mem2Ufo(text, KesTypeString, kTextSize, 0);
  Ufo* back_ufo = Kes$Mem2Ufo(&back, KesTypeLong, 0, 0);
  Chain() = default;
  Chain(const Chain&) = delete;
  Chain& operator=(const Chain&) = delete;
  ~Chain() {
    for (Ufo* ufo : {whole_ufo, decimal_ufo, text_ufo, back_ufo})
      Kes$FreeUfo(ufo);
  }
};

void chain_descriptors(Chain& c, int32_t value) {
  c.whole = value;
  Kes$AssignUfo(c.decimal_ufo, c.whole_ufo);
  Kes$AssignUfo(c.text_ufo, c.decimal_ufo);
  Kes$AssignUfo(c.back_ufo, c.text_ufo);
}

void chain_direct(Chain& c, int32_t value) {
  c.whole = value;
  Kes$DPushLong(c.whole);
  Kes$DPopDec(c.decimal, kDecimalSize, kPlaces);
  Kes$DPushDec(c.decimal, kDecimalSize, kPlaces);
  Kes$DStack2Stack();
  Kes$PopString(c.text, kTextSize);
  Kes$PushString(c.text, kTextSize);
  c.back = Kes$PopLong();
}

uint64_t chain_digest(void (*run)(Chain&, int32_t)) {
  Chain c;
  uint64_t digest = 0;
  for (int32_t value : inputs().numbers) {
    run(c, value);
    digest = digest * 31 + static_cast<uint32_t>(c.back);
    for (char byte : c.text)
      digest = digest * 31 + static_cast<unsigned char>(byte);
  }
  return digest;
}

void BM_LongDecimalString_Kestrel(benchmark::State& state) {
  Chain c;
  std::size_t index = 0;
  for (auto _ : state) {
    chain_descriptors(c, inputs().numbers[index++ % kInputs]);
    benchmark::DoNotOptimize(c.back);
  }
}
void BM_LongDecimalString_Direct(benchmark::State& state) {
  Chain c;
  std::size_t index = 0;
  for (auto _ : state) {
    chain_direct(c, inputs().numbers[index++ % kInputs]);
    benchmark::DoNotOptimize(c.back);
  }
}

int64_t compare_digest(bool descriptors) {
  int64_t digest = 0;
  for (std::size_t index = 0; index < kInputs; ++index) {
    char* a = const_cast<char*>(inputs().left[index].data());
    char* b = const_cast<char*>(inputs().right[index].data());
    if (descriptors) {
      Ufo* left = Kes$Mem2Ufo(a, KesTypeString, kTextSize, 0);
      Ufo* right = Kes$Mem2Ufo(b, KesTypeString, kTextSize, 0);
      digest = digest * 3 + Kes$Ufodistinct(left, right);
      Kes$FreeUfo(left);
      Kes$FreeUfo(right);
    } else {
      Kes$PushString(a, kTextSize);
      Kes$PushString(b, kTextSize);
      digest = digest * 3 + Kes$StackCompare();
    }
  }
  return digest;
}

// Descriptors over the variables are made once, as a generic loop holds them.
void BM_StringCompare_Kestrel(benchmark::State& state) {
  std::vector<Ufo*> left;
  std::vector<Ufo*> right;
  for (std::size_t index = 0; index < kInputs; ++index) {
    left.push_back(
        Kes$Mem2Ufo(const_cast<char*>(inputs().left[index].data()), KesTypeString, kTextSize, 0));
    right.push_back(
        Kes$Mem2Ufo(const_cast<char*>(inputs().right[index].data()), KesTypeString, kTextSize, 0));
  }
  std::size_t index = 0;
  for (auto _ : state) {
    const std::size_t at = index++ % kInputs;
    benchmark::DoNotOptimize(Kes$Ufodistinct(left[at], right[at]));
  }
  for (std::size_t at = 0; at < kInputs; ++at) {
    Kes$FreeUfo(left[at]);
    Kes$FreeUfo(right[at]);
  }
}
void BM_StringCompare_Direct(benchmark::State& state) {
  std::size_t index = 0;
  for (auto _ : state) {
    const std::size_t at = index++ % kInputs;
    Kes$PushString(inputs().left[at].data(), kTextSize);
    Kes$PushString(inputs().right[at].data(), kTextSize);
    benchmark::DoNotOptimize(Kes$StackCompare());
  }
}

BENCHMARK(BM_LongDecimalString_Kestrel);
BENCHMARK(BM_LongDecimalString_Direct);
BENCHMARK(BM_StringCompare_Kestrel);
BENCHMARK(BM_StringCompare_Direct);

}  // namespace

int main(int argc, char** argv) {
  const bool agree = chain_digest(chain_descriptors) == chain_digest(chain_direct) &&
                     compare_digest(true) == compare_digest(false);
  auto overhead = [](const kes::bench::RatioReporter& report) {
    std::printf("\nDescriptor overhead over the direct calls (goal: at most 25%%)\n");
    for (const char* operation : {"LongDecimalString", "StringCompare"}) {
      const double ours = report.nanoseconds(std::string("BM_") + operation + "_Kestrel");
      const double direct = report.nanoseconds(std::string("BM_") + operation + "_Direct");
      if (ours > 0 && direct > 0)
        std::printf("  %-20s %8.1f ns  %8.1f ns  %+6.1f%%\n", operation, ours, direct,
                    100.0 * (ours / direct - 1.0));
    }
  };
  return kes::bench::run_benchmarks(argc, argv, agree, {}, overhead);
}

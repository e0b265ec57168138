// String-stack round trips (push, then pop into a fixed STRING) against the same work done with
// std::string temporaries: variables, whole numbers, and 10- and 40-byte texts copied; and two
// calls that do nothing, the floor of any push and pop.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <kestrel/string_stack.h>

#include <benchmark/benchmark.h>

#include "bench/support/empty_call.h"
#include "bench/support/ratio_report.h"

namespace {

constexpr std::size_t kInputs = 1024;  // a power of two: the loops step with a mask
static_assert((kInputs & (kInputs - 1)) == 0);
constexpr std::uint32_t kDestination = 48;

struct Inputs {
  std::vector<std::string> short_texts;  // 10 bytes
  std::vector<std::string> long_texts;   // 40 bytes
  std::vector<std::int32_t> numbers;
};

const Inputs& inputs() {
  static const Inputs made = [] {
    Inputs result;
    std::mt19937 random(1801);
    auto text = [&](std::size_t length) {
      std::string value(length, ' ');
      for (char& c : value)
        c = static_cast<char>('A' + random() % 26);
      return value;
    };
    for (std::size_t index = 0; index < kInputs; ++index) {
      result.short_texts.push_back(text(10));
      result.long_texts.push_back(text(40));
      result.numbers.push_back(static_cast<std::int32_t>(random()));
    }
    return result;
  }();
  return made;
}

// Stores into a blank-padded fixed STRING, as a compiled assignment does.
void store_fixed(char* destination, const std::string& text) {
  const std::size_t copied = text.size() < kDestination ? text.size() : kDestination;
  std::memcpy(destination, text.data(), copied);
  std::memset(destination + copied, ' ', kDestination - copied);
}

void kestrel_variable(const std::string& text, char* destination) {
  Kes$PushString(text.data(), static_cast<std::uint32_t>(text.size()));
  Kes$PopString(destination, kDestination);
}
void peer_variable(const std::string& text, char* destination) {
  const std::string temporary(text);
  store_fixed(destination, temporary);
}
// A push and a pop that return at once: what the two calls alone cost, the least that any
// round trip through exported operations can take.
void empty_round_trip(const std::string& text, char* destination) {
  kes_bench_empty_call(text.data(), static_cast<std::uint32_t>(text.size()));
  kes_bench_empty_call(destination, kDestination);
}
void kestrel_copy(const std::string& text, char* destination) {
  Kes$PushString(text.data(), static_cast<std::uint32_t>(text.size()));
  Kes$StackHeap();
  Kes$PopString(destination, kDestination);
}
void kestrel_number(std::int32_t value, char* destination) {
  Kes$PushLong(value);
  Kes$PopString(destination, kDestination);
}
void peer_number(std::int32_t value, char* destination) {
  store_fixed(destination, std::to_string(value));
}

std::uint64_t digest_bytes(std::uint64_t hash, const char* bytes, std::size_t length) {
  for (std::size_t index = 0; index < length; ++index) {
    hash = (hash ^ static_cast<unsigned char>(bytes[index])) * 1099511628211ull;
  }
  return hash;
}

template <typename Input, typename Operation>
std::uint64_t digest(const std::vector<Input>& values, Operation operation) {
  std::uint64_t hash = 14695981039346656037ull;
  char destination[kDestination];
  for (const Input& value : values) {
    operation(value, destination);
    hash = digest_bytes(hash, destination, kDestination);
  }
  return hash;
}

// Times `operation` over the inputs.
template <typename Input, typename Operation>
void time_operation(benchmark::State& state, const std::vector<Input>& values,
                    Operation operation) {
  char destination[kDestination];
  std::size_t index = 0;
  for (auto _ : state) {
    operation(values[index], destination);
    benchmark::DoNotOptimize(destination);
    benchmark::ClobberMemory();
    index = (index + 1) & (kInputs - 1);
  }
}

// Runs `operation` over the inputs; first checks that it stores what the reference stores.
template <typename Input, typename Operation, typename Reference>
void run(benchmark::State& state, const std::vector<Input>& values, Operation operation,
         Reference reference) {
  if (digest(values, operation) != digest(values, reference)) {
    state.SkipWithError("results differ from the reference");
    return;
  }
  time_operation(state, values, operation);
}

void BM_Variable_Kestrel(benchmark::State& state) {
  run(state, inputs().short_texts, kestrel_variable, peer_variable);
}
void BM_Variable_Peer(benchmark::State& state) {
  run(state, inputs().short_texts, peer_variable, kestrel_variable);
}
void BM_Variable_TwoEmptyCalls(benchmark::State& state) {
  time_operation(state, inputs().short_texts, empty_round_trip);
}
void BM_Number_Kestrel(benchmark::State& state) {
  run(state, inputs().numbers, kestrel_number, peer_number);
}
void BM_Number_Peer(benchmark::State& state) {
  run(state, inputs().numbers, peer_number, kestrel_number);
}
void BM_Text10_Kestrel(benchmark::State& state) {
  run(state, inputs().short_texts, kestrel_copy, peer_variable);
}
void BM_Text10_Peer(benchmark::State& state) {
  run(state, inputs().short_texts, peer_variable, kestrel_copy);
}
void BM_Text40_Kestrel(benchmark::State& state) {
  run(state, inputs().long_texts, kestrel_copy, peer_variable);
}
void BM_Text40_Peer(benchmark::State& state) {
  run(state, inputs().long_texts, peer_variable, kestrel_copy);
}

BENCHMARK(BM_Variable_Kestrel);
BENCHMARK(BM_Variable_Peer);
BENCHMARK(BM_Variable_TwoEmptyCalls);
BENCHMARK(BM_Number_Kestrel);
BENCHMARK(BM_Number_Peer);
BENCHMARK(BM_Text10_Kestrel);
BENCHMARK(BM_Text10_Peer);
BENCHMARK(BM_Text40_Kestrel);
BENCHMARK(BM_Text40_Peer);

}  // namespace

int main(int argc, char** argv) {
  // Each benchmark compares its operation's digest with ours and stops with an error on a mismatch.
  return kes::bench::run_benchmarks(argc, argv, true);
}

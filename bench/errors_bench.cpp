// Posting an error (number to blank-padded ERROR() text) against map-and-format peers.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fmt/format.h>
#include <map>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include <kestrel/errors.h>

#include <benchmark/benchmark.h>

#include "bench/support/ratio_report.h"
#include "files/errors/error_messages.h"

namespace {

constexpr std::size_t kInputs = 4096;  // a power of two, so the index wraps with a mask
constexpr std::size_t kErrorText = 80;
constexpr std::size_t kErrorTextLimit = 79;

// Error numbers as programs post them: mostly file errors, some platform and run-time errors,
// a few without a text.
const std::vector<std::int32_t>& inputs() {
  static const std::vector<std::int32_t> made = [] {
    const std::int32_t common[] = {2, 3, 5, 30, 33, 35, 37, 40, 43, 47, 52, 90, 302, 305, 332, 401};
    const std::int32_t unknown[] = {97, 1234, 414, 666};
    std::mt19937 generator(20261206);
    std::uniform_int_distribution<int> pick(0, 99);
    std::vector<std::int32_t> result;
    for (std::size_t i = 0; i < kInputs; ++i) {
      int p = pick(generator);
      result.push_back(p < 90 ? common[p % std::size(common)] : unknown[p % std::size(unknown)]);
    }
    return result;
  }();
  return made;
}

// The peers' own tables, filled once from the message table (their speed is what is compared).
template <typename Map>
Map peer_table() {
  Map table;
  for (std::int32_t n = -1000; n <= 1000; ++n) {
    if (auto text = kes::files::builtin_message(n)) table.emplace(n, std::string(*text));
  }
  return table;
}

void store_padded(const char* text, std::size_t length, char* field) {
  while (length > 0 && *text == ' ') {
    ++text;
    --length;
  }
  length = std::min(length, kErrorTextLimit);
  std::memcpy(field, text, length);
  std::memset(field + length, ' ', kErrorText - length);
}

void post_fmt(std::int32_t number, char* field) {
  static const auto table = peer_table<std::unordered_map<std::int32_t, std::string>>();
  auto found = table.find(number);
  if (found != table.end()) return store_padded(found->second.data(), found->second.size(), field);
  char buffer[300];
  auto result = fmt::format_to_n(buffer, sizeof buffer, "Unknown Error Posted : {}", number);
  store_padded(buffer, result.size, field);
}

void post_snprintf(std::int32_t number, char* field) {
  static const auto table = peer_table<std::map<std::int32_t, std::string>>();
  auto found = table.find(number);
  if (found != table.end()) return store_padded(found->second.data(), found->second.size(), field);
  char buffer[300];
  int length = std::snprintf(buffer, sizeof buffer, "Unknown Error Posted : %d", number);
  store_padded(buffer, static_cast<std::size_t>(length), field);
}

bool results_agree() {
  char fmt_field[kErrorText];
  char snprintf_field[kErrorText];
  for (std::int32_t number : inputs()) {
    Kes$seterror(number);
    post_fmt(number, fmt_field);
    post_snprintf(number, snprintf_field);
    if (std::memcmp(Kes$ERRSTR, fmt_field, kErrorText) != 0 ||
        std::memcmp(Kes$ERRSTR, snprintf_field, kErrorText) != 0) {
      std::fprintf(stderr, "disagreement on %d\n", static_cast<int>(number));
      return false;
    }
  }
  return true;
}

void BM_PostError_Kestrel(benchmark::State& state) {
  const std::vector<std::int32_t>& in = inputs();
  std::size_t index = 0;
  for (auto _ : state) {
    Kes$seterror(in[index]);
    benchmark::DoNotOptimize(Kes$ERRSTR);
    index = (index + 1) & (kInputs - 1);
  }
}
BENCHMARK(BM_PostError_Kestrel);

void BM_PostError_FmtUnorderedMap(benchmark::State& state) {
  const std::vector<std::int32_t>& in = inputs();
  std::size_t index = 0;
  char field[kErrorText];
  for (auto _ : state) {
    post_fmt(in[index], field);
    benchmark::DoNotOptimize(field);
    index = (index + 1) & (kInputs - 1);
  }
}
BENCHMARK(BM_PostError_FmtUnorderedMap);

void BM_PostError_SnprintfMap(benchmark::State& state) {
  const std::vector<std::int32_t>& in = inputs();
  std::size_t index = 0;
  char field[kErrorText];
  for (auto _ : state) {
    post_snprintf(in[index], field);
    benchmark::DoNotOptimize(field);
    index = (index + 1) & (kInputs - 1);
  }
}
BENCHMARK(BM_PostError_SnprintfMap);

}  // namespace

int main(int argc, char** argv) { return kes::bench::run_benchmarks(argc, argv, results_agree()); }

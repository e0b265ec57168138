// Mathematics: CRC-32 against zlib on 64 KiB buffers, and the cost of the tolerant REAL
// comparison and conversion.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>
#include <zlib.h>

#include <kestrel/maths.h>

#include <benchmark/benchmark.h>

#include "bench/support/ratio_report.h"

namespace {

constexpr std::size_t kBufferLength = 64 * 1024;
constexpr int kBuffers = 16;
constexpr std::uint32_t kSeed = 55;

const std::vector<std::vector<std::uint8_t>>& buffers() {
  static const std::vector<std::vector<std::uint8_t>> made = [] {
    std::mt19937 engine(kSeed);
    std::vector<std::vector<std::uint8_t>> result(kBuffers,
                                                  std::vector<std::uint8_t>(kBufferLength));
    for (std::vector<std::uint8_t>& buffer : result) {
      for (std::uint8_t& byte : buffer) {
        byte = static_cast<std::uint8_t>(engine() >> 24);
      }
    }
    return result;
  }();
  return made;
}

std::uint32_t kestrel_crc(const std::vector<std::uint8_t>& buffer) {
  return ~Kes$crc32(buffer.data(), static_cast<std::uint32_t>(buffer.size()), 0xFFFFFFFFu);
}
std::uint32_t zlib_crc(const std::vector<std::uint8_t>& buffer) {
  return static_cast<std::uint32_t>(crc32(0, buffer.data(), static_cast<uInt>(buffer.size())));
}

// A peer that disagrees with us on any buffer is not timed.
bool peers_agree() {
  for (const std::vector<std::uint8_t>& buffer : buffers()) {
    if (kestrel_crc(buffer) != zlib_crc(buffer)) {
      return false;
    }
  }
  return true;
}

void BM_Crc32_Kestrel(benchmark::State& state) {
  std::size_t index = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(kestrel_crc(buffers()[index]));
    index = (index + 1) % kBuffers;
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(kBufferLength));
}
BENCHMARK(BM_Crc32_Kestrel);

void BM_Crc32_Zlib(benchmark::State& state) {
  if (!peers_agree()) {
    state.SkipWithError("zlib disagrees with Kes$crc32");
    return;
  }
  std::size_t index = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(zlib_crc(buffers()[index]));
    index = (index + 1) % kBuffers;
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(kBufferLength));
}
BENCHMARK(BM_Crc32_Zlib);

// Pairs of REALs: half equal within the tolerance, half clearly apart.
const std::vector<double>& reals() {
  static const std::vector<double> made = [] {
    std::mt19937_64 engine(kSeed);
    std::uniform_real_distribution<double> spread(-1e6, 1e6);
    std::vector<double> result(4096);
    for (std::size_t index = 0; index < result.size(); ++index) {
      result[index] = spread(engine);
      if (index % 2 == 1) {
        result[index] = result[index - 1] * (1.0 + 1e-17);
      }
    }
    return result;
  }();
  return made;
}

void BM_RealDistinct_Kestrel(benchmark::State& state) {
  const std::vector<double>& values = reals();
  std::size_t index = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(Kes$realdistinct(values[index], values[index + 1]));
    index = (index + 2) & 4095;  // even: the pair (index, index + 1)
  }
}
BENCHMARK(BM_RealDistinct_Kestrel);

void BM_LongRound_Kestrel(benchmark::State& state) {
  const std::vector<double>& values = reals();
  std::size_t index = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(Kes$lroundd(values[index]));
    index = (index + 1) & 4095;
  }
}
BENCHMARK(BM_LongRound_Kestrel);

}  // namespace

int main(int argc, char** argv) { return kes::bench::run_benchmarks(argc, argv, peers_agree()); }

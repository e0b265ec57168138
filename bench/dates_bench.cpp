// Serial dates against the standard library's calendar: date to day number and back.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <kestrel/dates.h>

#include <benchmark/benchmark.h>

#include "bench/support/ratio_report.h"

namespace {

using namespace std::chrono;

constexpr std::size_t kInputs = 4096;  // a power of two, so the index wraps with a mask
// Day 4 is 1 January 1801; chrono counts days from 1 January 1970.
const std::int32_t kChronoShift =
    4 - static_cast<std::int32_t>(sys_days{year{1801} / January / 1}.time_since_epoch().count());

struct Inputs {
  std::vector<std::int32_t> serials;
  std::vector<KesDateRecord> records;
  std::vector<year_month_day> dates;
};

const Inputs& inputs() {
  static const Inputs made = [] {
    Inputs result;
    std::mt19937 generator(20240105);
    std::uniform_int_distribution<std::int32_t> serial(4, 2994626);
    for (std::size_t index = 0; index < kInputs; ++index) {
      const std::int32_t value = serial(generator);
      const year_month_day date{sys_days{days{value - kChronoShift}}};
      result.serials.push_back(value);
      result.records.push_back(KesDateRecord{static_cast<int>(date.year()),
                                             static_cast<std::uint8_t>(unsigned{date.day()}),
                                             static_cast<std::uint8_t>(unsigned{date.month()})});
      result.dates.push_back(date);
    }
    return result;
  }();
  return made;
}

// Both directions of both implementations must agree on every input before anything is timed.
bool results_agree() {
  const Inputs& in = inputs();
  for (std::size_t index = 0; index < kInputs; ++index) {
    const std::int32_t peer_serial =
        static_cast<std::int32_t>(sys_days{in.dates[index]}.time_since_epoch().count()) +
        kChronoShift;
    if (Kes$date2abs(&in.records[index]) != peer_serial || peer_serial != in.serials[index]) {
      return false;
    }
    KesDateRecord ours{};
    const year_month_day peer{sys_days{days{in.serials[index] - kChronoShift}}};
    if (Kes$abs2date(in.serials[index], &ours) != 0 || ours.year != int{peer.year()} ||
        ours.month != unsigned{peer.month()} || ours.day != unsigned{peer.day()}) {
      return false;
    }
  }
  return true;
}

void BM_DateToSerial_Kestrel(benchmark::State& state) {
  const Inputs& in = inputs();
  std::size_t index = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(Kes$date2abs(&in.records[index]));
    index = (index + 1) & (kInputs - 1);
  }
}
BENCHMARK(BM_DateToSerial_Kestrel);

void BM_DateToSerial_Chrono(benchmark::State& state) {
  const Inputs& in = inputs();
  std::size_t index = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(sys_days{in.dates[index]}.time_since_epoch().count() + kChronoShift);
    index = (index + 1) & (kInputs - 1);
  }
}
BENCHMARK(BM_DateToSerial_Chrono);

void BM_SerialToDate_Kestrel(benchmark::State& state) {
  const Inputs& in = inputs();
  std::size_t index = 0;
  KesDateRecord date{};
  for (auto _ : state) {
    benchmark::DoNotOptimize(Kes$abs2date(in.serials[index], &date));
    benchmark::DoNotOptimize(date);
    index = (index + 1) & (kInputs - 1);
  }
}
BENCHMARK(BM_SerialToDate_Kestrel);

void BM_SerialToDate_Chrono(benchmark::State& state) {
  const Inputs& in = inputs();
  std::size_t index = 0;
  for (auto _ : state) {
    year_month_day date{sys_days{days{in.serials[index] - kChronoShift}}};
    benchmark::DoNotOptimize(date);
    index = (index + 1) & (kInputs - 1);
  }
}
BENCHMARK(BM_SerialToDate_Chrono);

}  // namespace

int main(int argc, char** argv) { return kes::bench::run_benchmarks(argc, argv, results_agree()); }

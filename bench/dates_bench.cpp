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

// Prints the usual table, then each Kestrel figure against its peers.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      // Processor time: on a busy machine it is steadier than wall time.
      nanoseconds_[run.benchmark_name()] = run.GetAdjustedCPUTime();
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\nPeer CPU time / Kestrel CPU time (above 1: Kestrel faster)\n");
    for (const auto& [name, ours] : nanoseconds_) {
      // "BM_<operation>_Kestrel<suffix>" against "BM_<operation>_<peer><suffix>", where the
      // suffix names a repetition aggregate ("_median") or is empty.
      const std::string::size_type split = name.find("_Kestrel");
      if (split == std::string::npos) continue;
      const std::string stem = name.substr(0, split + 1);
      const std::string suffix = name.substr(split + 8);
      if (!suffix.empty() && suffix != "_median") continue;
      for (const auto& [peer_name, theirs] : nanoseconds_) {
        const bool same_operation = peer_name.compare(0, stem.size(), stem) == 0;
        const bool same_suffix =
            peer_name.size() >= suffix.size() &&
            peer_name.compare(peer_name.size() - suffix.size(), suffix.size(), suffix) == 0;
        if (!same_operation || !same_suffix || peer_name.find("_Kestrel") != std::string::npos) {
          continue;
        }
        if (peer_name.substr(stem.size()).find('_') != std::string::npos && suffix.empty()) {
          continue;  // an aggregate row of the peer against a single run of ours
        }
        std::printf("  %-30s %7.2f ns vs %-30s %7.2f ns  ratio %.2f\n", name.c_str(), ours,
                    peer_name.c_str(), theirs, theirs / ours);
      }
    }
  }

 private:
  std::map<std::string, double> nanoseconds_;
};

}  // namespace

int main(int argc, char** argv) {
  if (!results_agree()) {
    std::fprintf(stderr, "Kestrel and std::chrono disagree; nothing timed\n");
    return EXIT_FAILURE;
  }
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return EXIT_SUCCESS;
}

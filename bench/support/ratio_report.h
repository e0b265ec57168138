// Shared ratio report for the benchmarks: the usual console table, then each Kestrel figure
// beside every peer measuring the same operation, with the peer / Kestrel ratio.
//
// State: none beyond the reporter object a benchmark's main creates.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <benchmark/benchmark.h>

namespace kes::bench {

struct RatioOptions {
  // Last name part that marks our own benchmark: "BM_<Operation>_Kestrel[/args]".
  std::string kestrel_part = "Kestrel";
  // Extra pairings across operations, as base names without arguments, e.g.
  // {"BM_Isficompare_Kestrel", "BM_Comparestr_PeerMemcmp"}; arguments must match.
  std::vector<std::pair<std::string, std::string>> extra_pairs;
};

// Prints the usual table and keeps the fastest CPU time per iteration of each benchmark
// (processor time: on a busy machine it is steadier than wall time); aggregate rows of
// repetitions are ignored.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  explicit RatioReporter(RatioOptions options = {}) : options_(std::move(options)) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations == 0) continue;
      const double ns = run.GetAdjustedCPUTime() * nanoseconds_per_unit(run.time_unit);
      const auto [it, added] = nanoseconds_.emplace(run.benchmark_name(), ns);
      if (!added && ns < it->second) it->second = ns;
    }
  }

  // Nanoseconds per iteration of the named benchmark, 0 when it did not run.
  double nanoseconds(const std::string& name) const {
    const auto found = nanoseconds_.find(name);
    return found == nanoseconds_.end() ? 0.0 : found->second;
  }

  void print_ratios() const {
    std::printf("\nPeer CPU time / Kestrel CPU time (above 1: Kestrel is faster)\n");
    for (const auto& [ours_name, ours] : nanoseconds_) {
      const Parts mine = split(ours_name);
      if (mine.who != options_.kestrel_part) continue;
      for (const auto& [peer_name, theirs] : nanoseconds_) {
        const Parts peer = split(peer_name);
        if (peer.who == options_.kestrel_part || peer.arguments != mine.arguments) continue;
        if (peer.operation == mine.operation || is_extra_pair(mine, peer)) {
          print_line(ours_name, ours, peer_name, theirs);
        }
      }
    }
  }

 private:
  // "BM_<operation>_<who>/<arguments>": the base name splits at its last underscore.
  struct Parts {
    std::string operation;
    std::string who;
    std::string arguments;
    std::string base;
  };

  static Parts split(const std::string& name) {
    const std::string::size_type slash = name.find('/');
    Parts parts;
    parts.base = name.substr(0, slash);
    parts.arguments = slash == std::string::npos ? std::string() : name.substr(slash);
    const std::string::size_type underscore = parts.base.rfind('_');
    if (underscore == std::string::npos) return parts;
    parts.operation = parts.base.substr(0, underscore);
    parts.who = parts.base.substr(underscore + 1);
    return parts;
  }

  bool is_extra_pair(const Parts& mine, const Parts& peer) const {
    for (const auto& [ours, theirs] : options_.extra_pairs) {
      if (ours == mine.base && theirs == peer.base) return true;
    }
    return false;
  }

  static void print_line(const std::string& ours_name, double ours, const std::string& peer_name,
                         double theirs) {
    if (ours <= 0) return;
    std::printf("  %-36s %10.2f ns vs %-36s %10.2f ns  ratio %.2f\n", ours_name.c_str(), ours,
                peer_name.c_str(), theirs, theirs / ours);
  }

  static double nanoseconds_per_unit(benchmark::TimeUnit unit) {
    switch (unit) {
      case benchmark::kSecond: return 1e9;
      case benchmark::kMillisecond: return 1e6;
      case benchmark::kMicrosecond: return 1e3;
      case benchmark::kNanosecond: break;
    }
    return 1.0;
  }

  RatioOptions options_;
  std::map<std::string, double> nanoseconds_;
};

// Runs the registered benchmarks with the ratio report, but only when the caller's check that
// Kestrel and its peers compute the same results passed: a fast wrong peer must not win.
// `after` may print bench-specific figures from the collected times.
inline int run_benchmarks(int argc, char** argv, bool results_agree, RatioOptions options = {},
                          const std::function<void(const RatioReporter&)>& after = {}) {
  if (!results_agree) {
    std::fprintf(stderr, "Kestrel and its peers disagree; nothing timed\n");
    return EXIT_FAILURE;
  }
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter(std::move(options));
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.print_ratios();
  if (after) after(reporter);
  benchmark::Shutdown();
  return EXIT_SUCCESS;
}

}  // namespace kes::bench

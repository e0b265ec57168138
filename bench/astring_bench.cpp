// Interning texts as AStrings against std::unordered_set<std::string>: 100,000 distinct
// 12-byte texts stored into a fresh table, then each looked up again in a filled one.
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/support/ratio_report.h"
#include "runtime/astring/astring_table.h"

namespace {

constexpr std::size_t kTexts = 100000;
constexpr std::size_t kLength = 12;

const std::vector<std::string>& texts() {
  static const std::vector<std::string> made = [] {
    std::mt19937 random(1151);
    std::unordered_set<std::string> seen;
    std::vector<std::string> result;
    while (result.size() < kTexts) {
      std::string text(kLength, ' ');
      for (char& c : text)
        c = static_cast<char>('A' + random() % 26);
      if (seen.insert(text).second) result.push_back(text);
    }
    return result;
  }();
  return made;
}

// FNV-1a over the found texts in input order, with the count of distinct entries mixed in.
std::uint64_t mix(std::uint64_t digest, std::string_view text) {
  for (const char c : text)
    digest = (digest ^ static_cast<unsigned char>(c)) * 1099511628211u;
  return digest;
}

std::uint64_t kestrel_digest() {
  kes::runtime::AStringTable table;
  for (const std::string& text : texts())
    table.intern(text);
  std::uint64_t digest = 14695981039346656037u ^ table.node_count();
  for (const std::string& text : texts()) {
    const char* astring = table.intern(text);
    digest = mix(digest, std::string_view(astring, kes::runtime::astring_length(astring)));
  }
  return table.node_count() == kTexts ? digest : 0;
}

std::uint64_t peer_digest() {
  std::unordered_set<std::string> set;
  for (const std::string& text : texts())
    set.insert(text);
  std::uint64_t digest = 14695981039346656037u ^ set.size();
  for (const std::string& text : texts())
    digest = mix(digest, *set.find(text));
  return set.size() == kTexts ? digest : 0;
}

void BM_AStringIntern_Kestrel(benchmark::State& state) {
  for (auto _ : state) {
    kes::runtime::AStringTable table;
    for (const std::string& text : texts())
      benchmark::DoNotOptimize(table.intern(text));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kTexts));
}

void BM_AStringIntern_Peer(benchmark::State& state) {
  for (auto _ : state) {
    std::unordered_set<std::string> set;
    for (const std::string& text : texts())
      benchmark::DoNotOptimize(set.insert(text));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kTexts));
}

void BM_AStringLookup_Kestrel(benchmark::State& state) {
  kes::runtime::AStringTable table;
  for (const std::string& text : texts())
    table.intern(text);
  for (auto _ : state) {
    for (const std::string& text : texts())
      benchmark::DoNotOptimize(table.intern(text));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kTexts));
}

void BM_AStringLookup_Peer(benchmark::State& state) {
  std::unordered_set<std::string> set(texts().begin(), texts().end());
  for (auto _ : state) {
    for (const std::string& text : texts())
      benchmark::DoNotOptimize(set.find(text));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kTexts));
}

BENCHMARK(BM_AStringIntern_Kestrel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AStringIntern_Peer)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AStringLookup_Kestrel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AStringLookup_Peer)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  const std::uint64_t ours = kestrel_digest();
  const std::uint64_t peer = peer_digest();
  if (ours == 0 || ours != peer) {
    std::fprintf(stderr, "results differ: Kestrel %016llx, unordered_set %016llx\n",
                 static_cast<unsigned long long>(ours), static_cast<unsigned long long>(peer));
  }
  const auto per_text = [](const kes::bench::RatioReporter& report) {
    const auto ns = [&](const char* name) {
      return report.nanoseconds(name) / static_cast<double>(kTexts);
    };
    std::printf("\nCPU per text (ns) Kestrel  unordered_set  ratio (peer / Kestrel)\n");
    std::printf("intern          %9.1f  %13.1f  %6.2f\n", ns("BM_AStringIntern_Kestrel"),
                ns("BM_AStringIntern_Peer"),
                ns("BM_AStringIntern_Peer") / ns("BM_AStringIntern_Kestrel"));
    std::printf("lookup          %9.1f  %13.1f  %6.2f\n", ns("BM_AStringLookup_Kestrel"),
                ns("BM_AStringLookup_Peer"),
                ns("BM_AStringLookup_Peer") / ns("BM_AStringLookup_Kestrel"));
  };
  return kes::bench::run_benchmarks(argc, argv, ours != 0 && ours == peer, {}, per_text);
}

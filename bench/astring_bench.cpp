// Interning texts as AStrings against std::unordered_set<std::string>: 100,000 distinct random
// 12-byte texts, and 1,000,000 sequential codes ("short-00000000" on), whose hashes are
// neighbours and often equal; each set stored into a fresh table, then each text looked up
// again in a filled one.
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
constexpr std::size_t kCodes = 1000000;

const std::vector<std::string>& codes() {
  static const std::vector<std::string> made = [] {
    std::vector<std::string> result;
    result.reserve(kCodes);
    char text[32];
    for (std::size_t i = 0; i < kCodes; ++i) {
      std::snprintf(text, sizeof text, "short-%08zu", i);
      result.emplace_back(text);
    }
    return result;
  }();
  return made;
}

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

std::uint64_t kestrel_digest(const std::vector<std::string>& input) {
  kes::runtime::AStringTable table;
  for (const std::string& text : input)
    table.intern(text);
  std::uint64_t digest = 14695981039346656037u ^ table.node_count();
  for (const std::string& text : input) {
    const char* astring = table.intern(text);
    digest = mix(digest, std::string_view(astring, kes::runtime::astring_length(astring)));
  }
  return table.node_count() == input.size() ? digest : 0;
}

std::uint64_t peer_digest(const std::vector<std::string>& input) {
  std::unordered_set<std::string> set;
  for (const std::string& text : input)
    set.insert(text);
  std::uint64_t digest = 14695981039346656037u ^ set.size();
  for (const std::string& text : input)
    digest = mix(digest, *set.find(text));
  return set.size() == input.size() ? digest : 0;
}

void intern_kestrel(benchmark::State& state, const std::vector<std::string>& input) {
  for (auto _ : state) {
    kes::runtime::AStringTable table;
    for (const std::string& text : input)
      benchmark::DoNotOptimize(table.intern(text));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(input.size()));
}

void intern_peer(benchmark::State& state, const std::vector<std::string>& input) {
  for (auto _ : state) {
    std::unordered_set<std::string> set;
    for (const std::string& text : input)
      benchmark::DoNotOptimize(set.insert(text));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(input.size()));
}

void lookup_kestrel(benchmark::State& state, const std::vector<std::string>& input) {
  kes::runtime::AStringTable table;
  for (const std::string& text : input)
    table.intern(text);
  for (auto _ : state) {
    for (const std::string& text : input)
      benchmark::DoNotOptimize(table.intern(text));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(input.size()));
}

void lookup_peer(benchmark::State& state, const std::vector<std::string>& input) {
  std::unordered_set<std::string> set(input.begin(), input.end());
  for (auto _ : state) {
    for (const std::string& text : input)
      benchmark::DoNotOptimize(set.find(text));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(input.size()));
}

void BM_AStringIntern_Kestrel(benchmark::State& state) { intern_kestrel(state, texts()); }
void BM_AStringIntern_Peer(benchmark::State& state) { intern_peer(state, texts()); }
void BM_AStringLookup_Kestrel(benchmark::State& state) { lookup_kestrel(state, texts()); }
void BM_AStringLookup_Peer(benchmark::State& state) { lookup_peer(state, texts()); }
void BM_AStringInternCodes_Kestrel(benchmark::State& state) { intern_kestrel(state, codes()); }
void BM_AStringInternCodes_Peer(benchmark::State& state) { intern_peer(state, codes()); }
void BM_AStringLookupCodes_Kestrel(benchmark::State& state) { lookup_kestrel(state, codes()); }
void BM_AStringLookupCodes_Peer(benchmark::State& state) { lookup_peer(state, codes()); }

BENCHMARK(BM_AStringIntern_Kestrel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AStringIntern_Peer)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AStringLookup_Kestrel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AStringLookup_Peer)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AStringInternCodes_Kestrel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AStringInternCodes_Peer)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AStringLookupCodes_Kestrel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AStringLookupCodes_Peer)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  bool agree = true;
  for (const std::vector<std::string>* input : {&texts(), &codes()}) {
    const std::uint64_t ours = kestrel_digest(*input);
    const std::uint64_t peer = peer_digest(*input);
    if (ours == 0 || ours != peer) {
      std::fprintf(stderr, "results differ on %zu texts: Kestrel %016llx, unordered_set %016llx\n",
                   input->size(), static_cast<unsigned long long>(ours),
                   static_cast<unsigned long long>(peer));
      agree = false;
    }
  }
  const auto per_text = [](const kes::bench::RatioReporter& report) {
    std::printf("\nCPU per text (ns)   Kestrel  unordered_set  ratio (peer / Kestrel)\n");
    const auto line = [&](const char* label, const std::string& operation, std::size_t count) {
      const double ours = report.nanoseconds("BM_" + operation + "_Kestrel") / double(count);
      const double peer = report.nanoseconds("BM_" + operation + "_Peer") / double(count);
      std::printf("%-17s %9.1f  %13.1f  %6.2f\n", label, ours, peer, peer / ours);
    };
    line("intern", "AStringIntern", kTexts);
    line("lookup", "AStringLookup", kTexts);
    line("intern codes", "AStringInternCodes", kCodes);
    line("lookup codes", "AStringLookupCodes", kCodes);
  };
  return kes::bench::run_benchmarks(argc, argv, agree, {}, per_text);
}

// Text comparison by the collation tables against the C library's byte, case-blind and locale
// comparisons, on texts of 8, 32 and 200 bytes that differ only in their last byte.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <strings.h>
#include <vector>

#include <kestrel/collation.h>

#include <benchmark/benchmark.h>

#include "bench/support/ratio_report.h"
#include "numeric/locale/collation_state.h"
#include "numeric/locale/locale_settings.h"

namespace {

constexpr int kPairs = 256;

struct Pair {
  std::string a;
  std::string b;
};

// Pairs of letter texts of `length` bytes, equal but for the last byte (its case flipped in
// half of them, so that case-blind comparison has equal prefixes to skip as well).
const std::vector<Pair>& pairs(std::size_t length) {
  static std::map<std::size_t, std::vector<Pair>> made;
  std::vector<Pair>& p = made[length];
  if (p.empty()) {
    std::mt19937 random(20261206U + static_cast<unsigned>(length));
    std::uniform_int_distribution<int> letter(0, 25);
    for (int i = 0; i < kPairs; ++i) {
      std::string a(length, ' ');
      for (char& c : a)
        c = static_cast<char>('a' + letter(random));
      std::string b = a;
      char& last = b.back();
      last = static_cast<char>(i % 2 == 0 ? 'a' + letter(random) : last - 32);
      p.push_back({a, b});
    }
  }
  return p;
}

int sign(long v) { return (v > 0) - (v < 0); }

// Checks a peer's signs against ours before any timing, so a fast wrong peer cannot win.
template <typename Ours, typename Peer>
void verify(const char* what, std::size_t length, Ours ours, Peer peer) {
  for (const Pair& p : pairs(length)) {
    if (sign(ours(p)) != sign(peer(p))) {
      std::fprintf(stderr, "%s disagrees with Kestrel at length %zu\n", what, length);
      std::abort();
    }
  }
}

long comparestr(const Pair& p) {
  return Kes$comparestr(p.a.data(), static_cast<std::uint32_t>(p.a.size()), p.b.data(),
                        static_cast<std::uint32_t>(p.b.size()));
}
long isficompare(const Pair& p) {
  return Kes$isficompare(p.a.data(), p.b.data(), static_cast<std::uint32_t>(p.a.size()));
}
long by_memcmp(const Pair& p) { return std::memcmp(p.a.data(), p.b.data(), p.a.size()); }
long by_strcasecmp(const Pair& p) { return strncasecmp(p.a.data(), p.b.data(), p.a.size()); }
long by_strcoll(const Pair& p) { return std::strcoll(p.a.c_str(), p.b.c_str()); }

// The reversed alphabet as the collating sequence, and a plain loop that follows it.
void use_custom_sequence() {
  kes::numeric::locale_setting("KESCOLSEQ", "zyxwvutsrqponmlkjihgfedcbaZYXWVUTSRQPONMLKJIHGFEDCBA");
}
long custom_reference(const Pair& p) {
  auto weight = [](unsigned char c) -> int {
    // The listed characters take the listed codes in ascending order: "z" gets "A"'s code.
    if (c >= 'a' && c <= 'z') return 'A' + ('z' - c);
    if (c >= 'A' && c <= 'Z') return 'a' + ('Z' - c);
    return c;
  };
  for (std::size_t i = 0; i < p.a.size(); ++i) {
    const int d =
        weight(static_cast<unsigned char>(p.a[i])) - weight(static_cast<unsigned char>(p.b[i]));
    if (d != 0) return d;
  }
  return 0;
}

template <long (*Compare)(const Pair&)>
void run(benchmark::State& state) {
  const std::vector<Pair>& p = pairs(static_cast<std::size_t>(state.range(0)));
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(Compare(p[i]));
    i = (i + 1) % p.size();
  }
}

void BM_Comparestr_Kestrel(benchmark::State& s) { run<comparestr>(s); }
void BM_Comparestr_PeerMemcmp(benchmark::State& s) { run<by_memcmp>(s); }
void BM_Comparestr_PeerStrcoll(benchmark::State& s) { run<by_strcoll>(s); }
void BM_Isficompare_Kestrel(benchmark::State& s) { run<isficompare>(s); }
void BM_Isficompare_PeerStrcasecmp(benchmark::State& s) { run<by_strcasecmp>(s); }
void BM_ComparestrCustom_Kestrel(benchmark::State& s) {
  use_custom_sequence();
  run<comparestr>(s);
  kes::numeric::reset_all_tables();
}

BENCHMARK(BM_Comparestr_Kestrel)->Arg(8)->Arg(32)->Arg(200);
BENCHMARK(BM_Comparestr_PeerMemcmp)->Arg(8)->Arg(32)->Arg(200);
BENCHMARK(BM_Comparestr_PeerStrcoll)->Arg(8)->Arg(32)->Arg(200);
BENCHMARK(BM_Isficompare_Kestrel)->Arg(8)->Arg(32)->Arg(200);
BENCHMARK(BM_Isficompare_PeerStrcasecmp)->Arg(8)->Arg(32)->Arg(200);
BENCHMARK(BM_ComparestrCustom_Kestrel)->Arg(8)->Arg(32)->Arg(200);

}  // namespace

int main(int argc, char** argv) {
  kes::numeric::reset_all_tables();
  for (std::size_t length : {8U, 32U, 200U}) {
    verify("memcmp", length, comparestr, by_memcmp);
    verify("strcoll", length, comparestr, by_strcoll);
    verify("strncasecmp", length, isficompare, by_strcasecmp);
    use_custom_sequence();
    verify("custom reference", length, comparestr, custom_reference);
    kes::numeric::reset_all_tables();
  }
  // Case-blind and custom-sequence comparison also against the plain byte comparison.
  kes::bench::RatioOptions options;
  options.extra_pairs = {{"BM_Isficompare_Kestrel", "BM_Comparestr_PeerMemcmp"},
                         {"BM_ComparestrCustom_Kestrel", "BM_Comparestr_PeerMemcmp"}};
  return kes::bench::run_benchmarks(argc, argv, true, options);
}

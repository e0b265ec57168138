// Regular-expression searches: the library's engine beside PCRE2 (interpreted), RE2 and
// std::regex, on typical patterns over 100-byte and 10 KiB texts, and beside PCRE2 and RE2 on
// long runs that every start position enters again (a*b over 80 KB, {a*a*a*a*a*}*b over
// 40 KB, of "a" with the match only at the end). Each run finds the first match.
#define PCRE2_CODE_UNIT_WIDTH 8
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <pcre2.h>
#include <random>
#include <re2/re2.h>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/support/ratio_report.h"
#include "numeric/matching/regex_search.h"

namespace {

namespace num = kes::numeric;

struct Workload {
  const char* name;
  const char* ours;  // braces for groups
  const char* peer;  // parentheses for groups
  const char* planted;
  bool at_start;  // the planted text starts the text; otherwise it sits 90 % of the way in
};

constexpr Workload kWorkloads[] = {
    {"Digits", "[0-9]+", "[0-9]+", "40125", false},
    {"CapitalWord", "^[A-Z][a-z]+", "^[A-Z][a-z]+", "Kestrel", true},
    {"LiteralAlternatives", "error: {disk|memory|network}", "error: (disk|memory|network)",
     "error: network", false},
};

constexpr std::size_t kSizes[] = {100, 10240};

std::string make_text(const Workload& load, std::size_t size, std::uint32_t seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> pick(0, 31);
  std::string text;
  while (text.size() < size) {
    const int c = pick(random);
    // Lower-case words with spaces and a few colons and "e"s that start false leads.
    text += c < 26 ? static_cast<char>('a' + c) : (c < 30 ? ' ' : (c == 30 ? ':' : 'e'));
  }
  const std::string planted = load.planted;
  const std::size_t at = load.at_start ? 0 : size * 9 / 10;
  text.replace(at, planted.size(), planted);
  return text;
}

struct Span {
  std::size_t start = 0;
  std::size_t end = 0;
  bool operator==(const Span&) const = default;
};

Span search_ours(const num::RegexProgram& program, const std::string& text) {
  num::RegexGroups groups;
  num::search_regex(program, text, 0, false, groups);
  return {groups[0].start, groups[0].end};
}

struct Pcre {
  pcre2_code* code = nullptr;
  pcre2_match_data* data = nullptr;
  explicit Pcre(const char* pattern) {
    int error = 0;
    PCRE2_SIZE offset = 0;
    code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern), PCRE2_ZERO_TERMINATED,
                         PCRE2_DOLLAR_ENDONLY, &error, &offset, nullptr);
    data = pcre2_match_data_create_from_pattern(code, nullptr);
  }
  ~Pcre() {
    pcre2_match_data_free(data);
    pcre2_code_free(code);
  }
  Span search(const std::string& text) const {
    if (pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), 0, 0, data,
                    nullptr) < 0) {
      return {num::kNoOffset, num::kNoOffset};
    }
    const PCRE2_SIZE* vector = pcre2_get_ovector_pointer(data);
    return {vector[0], vector[1]};
  }
};

// A search by PCRE2 that ran out of its backtracking budget (it gives up rather than answer).
constexpr Span kGaveUp{num::kNoOffset - 1, num::kNoOffset - 1};

Span search_pcre_or_give_up(const Pcre& pcre, const std::string& text) {
  const int result = pcre2_match(pcre.code, reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(),
                                 0, 0, pcre.data, nullptr);
  if (result == PCRE2_ERROR_NOMATCH) return {num::kNoOffset, num::kNoOffset};
  if (result < 0) return kGaveUp;
  const PCRE2_SIZE* vector = pcre2_get_ovector_pointer(pcre.data);
  return {vector[0], vector[1]};
}

Span search_re2(const re2::RE2& regex, const std::string& text) {
  re2::StringPiece match;
  if (!regex.Match(text, 0, text.size(), re2::RE2::UNANCHORED, &match, 1)) {
    return {num::kNoOffset, num::kNoOffset};
  }
  const auto start = static_cast<std::size_t>(match.data() - text.data());
  return {start, start + match.size()};
}

Span search_std(const std::regex& regex, const std::string& text) {
  std::cmatch match;
  if (!std::regex_search(text.data(), text.data() + text.size(), match, regex)) {
    return {num::kNoOffset, num::kNoOffset};
  }
  return {static_cast<std::size_t>(match.position(0)),
          static_cast<std::size_t>(match.position(0) + match.length(0))};
}

// Every peer must find what ours finds, before anything is timed.
bool digests_agree(const Workload& load, const std::string& text, std::string& why) {
  num::RegexProgram program;
  num::compile_regex(load.ours, false, program);
  const Span ours = search_ours(program, text);
  const Pcre pcre(load.peer);
  const std::regex standard(load.peer);
  if (!(pcre.search(text) == ours)) why = "PCRE2 disagrees";
  if (!(search_std(standard, text) == ours)) why = "std::regex disagrees";
  if (ours.start == num::kNoOffset) why = "nothing found";
  return why.empty();
}

void run_ours(benchmark::State& state, const Workload& load, const std::string& text) {
  num::RegexProgram program;
  num::compile_regex(load.ours, false, program);
  for (auto _ : state)
    benchmark::DoNotOptimize(search_ours(program, text));
}

void run_pcre(benchmark::State& state, const Workload& load, const std::string& text) {
  const Pcre pcre(load.peer);
  for (auto _ : state)
    benchmark::DoNotOptimize(pcre.search(text));
}

void run_std(benchmark::State& state, const Workload& load, const std::string& text) {
  const std::regex regex(load.peer);
  for (auto _ : state)
    benchmark::DoNotOptimize(search_std(regex, text));
}

// Long runs: the text is one run of "a" ending in "cb", so the run's every position starts a
// failing attempt before the match at the final "b".
struct LongRun {
  const char* name;
  const char* ours;
  const char* peer;
  std::size_t size;
};

constexpr LongRun kLongRuns[] = {
    {"StarThenLiteral80K", "a*b", "a*b", 80 * 1024},
    {"NestedStars40K", "{a*a*a*a*a*}*b", "(a*a*a*a*a*)*b", 40 * 1024},
};

std::string make_run(const LongRun& run) { return std::string(run.size - 2, 'a') + "cb"; }

void run_re2(benchmark::State& state, const re2::RE2* regex, const std::string& text) {
  for (auto _ : state)
    benchmark::DoNotOptimize(search_re2(*regex, text));
}

void run_pcre_long(benchmark::State& state, const char* pattern, const std::string& text) {
  const Pcre pcre(pattern);
  for (auto _ : state)
    benchmark::DoNotOptimize(search_pcre_or_give_up(pcre, text));
}

void run_ours_long(benchmark::State& state, const char* pattern, const std::string& text) {
  num::RegexProgram program;
  num::compile_regex(pattern, false, program);
  for (auto _ : state)
    benchmark::DoNotOptimize(search_ours(program, text));
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> texts;
  texts.reserve(std::size(kWorkloads) * std::size(kSizes) + std::size(kLongRuns));
  std::uint32_t seed = 2026;
  for (const Workload& load : kWorkloads) {
    for (const std::size_t size : kSizes) {
      texts.push_back(make_text(load, size, seed++));
      const std::string& text = texts.back();
      const std::string name = std::string(load.name) + std::to_string(size);
      std::string why;
      if (!digests_agree(load, text, why)) {
        std::fprintf(stderr, "%s: %s\n", name.c_str(), why.c_str());
        return 1;
      }
      benchmark::RegisterBenchmark(("BM_" + name + "_Kestrel").c_str(), run_ours, load, text);
      benchmark::RegisterBenchmark(("BM_" + name + "_Pcre2").c_str(), run_pcre, load, text);
      benchmark::RegisterBenchmark(("BM_" + name + "_StdRegex").c_str(), run_std, load, text);
    }
  }
  // RE2 must find what ours finds; PCRE2 too, unless it gives up, when it is timed giving up.
  std::vector<std::unique_ptr<re2::RE2>> re2s;
  for (const LongRun& run : kLongRuns) {
    texts.push_back(make_run(run));
    const std::string& text = texts.back();
    num::RegexProgram program;
    num::compile_regex(run.ours, false, program);
    const Span ours = search_ours(program, text);
    re2s.push_back(std::make_unique<re2::RE2>(run.peer));
    const re2::RE2* re2 = re2s.back().get();
    const Span pcre = search_pcre_or_give_up(Pcre(run.peer), text);
    if (!(search_re2(*re2, text) == ours) || ours.start != text.size() - 1 ||
        (!(pcre == ours) && !(pcre == kGaveUp))) {
      std::fprintf(stderr, "%s: the engines disagree\n", run.name);
      return 1;
    }
    if (pcre == kGaveUp) std::printf("%s: PCRE2 gives up (match limit)\n", run.name);
    const std::string name = std::string("BM_") + run.name;
    benchmark::RegisterBenchmark((name + "_Kestrel").c_str(), run_ours_long, run.ours, text)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((name + "_Pcre2").c_str(), run_pcre_long, run.peer, text)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((name + "_Re2").c_str(), run_re2, re2, text)
        ->Unit(benchmark::kMillisecond);
  }
  return kes::bench::run_benchmarks(argc, argv, true);
}

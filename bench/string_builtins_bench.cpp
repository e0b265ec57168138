// String built-ins against their peers: the chain UPPER(SUB(Name,1,3)) & ', ' & CLIP(City) popped
// into a STRING(40), with std::string temporaries, with a hand-written string_view version, and
// as nine calls that do nothing (the floor of any nine exported calls);
// INSTRING of a 6-byte text in 4 KiB against std::string_view::find and the Boyer-Moore-Horspool
// searcher.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include <kestrel/string_builtins.h>
#include <kestrel/string_stack.h>

#include <benchmark/benchmark.h>

#include "bench/support/empty_call.h"
#include "bench/support/ratio_report.h"

namespace {

constexpr std::size_t kInputs = 512;
constexpr std::uint32_t kFieldSize = 20;    // Name and City are STRING(20)
constexpr std::uint32_t kDestination = 40;  // the result is a STRING(40)
constexpr std::size_t kSearchedSize = 4096;
constexpr std::size_t kSoughtSize = 6;

struct Person {
  char name[kFieldSize];
  char city[kFieldSize];
};

struct Search {
  std::string searched;
  std::string sought;
};

struct Inputs {
  std::vector<Person> people;
  std::vector<Search> searches;
};

const Inputs& inputs() {
  static const Inputs made = [] {
    Inputs result;
    std::mt19937 random(1801);
    auto word = [&](std::size_t length, bool capital) {
      std::string text(length, ' ');
      for (char& c : text)
        c = static_cast<char>('a' + random() % 26);
      if (capital) text[0] = static_cast<char>(text[0] - 32);
      return text;
    };
    auto field = [&](char(&out)[kFieldSize], const std::string& text) {
      std::memset(out, ' ', kFieldSize);
      std::memcpy(out, text.data(), std::min<std::size_t>(text.size(), kFieldSize));
    };
    for (std::size_t index = 0; index < kInputs; ++index) {
      Person person;
      field(person.name, word(3 + random() % 12, true));
      field(person.city, word(3 + random() % 14, true));
      result.people.push_back(person);
      // Words and spaces, as in business text; the sought text lies in the second half, or
      // nowhere for one search in eight.
      Search search;
      while (search.searched.size() < kSearchedSize)
        search.searched += word(1 + random() % 9, random() % 4 == 0) + ' ';
      search.searched.resize(kSearchedSize);
      search.sought = word(kSoughtSize, false);
      if (index % 8 != 0) {
        const std::size_t at = kSearchedSize / 2 + random() % (kSearchedSize / 2 - kSoughtSize);
        search.searched.replace(at, kSoughtSize, search.sought);
      }
      result.searches.push_back(search);
    }
    return result;
  }();
  return made;
}

// ---- The chain.

void kestrel_chain(const Person& person, char* destination) {
  Kes$PushString(person.name, kFieldSize);
  Kes$StackSUB(1, 3);
  Kes$StackUPPER();
  Kes$PushString(", ", 2);
  Kes$StackConcat();
  Kes$PushString(person.city, kFieldSize);
  Kes$StackCLIP();
  Kes$StackConcat();
  Kes$PopString(destination, kDestination);
}

// The chain's nine calls, each to a function that returns at once: what the calls alone cost,
// the least that any chain of exported operations can take.
void empty_chain(const Person& person, char* destination) {
  kes_bench_empty_call(person.name, kFieldSize);
  kes_bench_empty_call(nullptr, 1);
  kes_bench_empty_call(nullptr, 3);
  kes_bench_empty_call(", ", 2);
  kes_bench_empty_call(nullptr, 0);
  kes_bench_empty_call(person.city, kFieldSize);
  kes_bench_empty_call(nullptr, 0);
  kes_bench_empty_call(nullptr, 0);
  kes_bench_empty_call(destination, kDestination);
}

void store_fixed(char* destination, std::string_view text) {
  const std::size_t copied = std::min<std::size_t>(text.size(), kDestination);
  std::memcpy(destination, text.data(), copied);
  std::memset(destination + copied, ' ', kDestination - copied);
}

char ascii_upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

void string_chain(const Person& person, char* destination) {
  const std::string name(person.name, kFieldSize);
  std::string first = name.substr(0, 3);
  std::transform(first.begin(), first.end(), first.begin(), ascii_upper);
  std::string city(person.city, kFieldSize);
  city.erase(city.find_last_not_of(' ') + 1);
  const std::string result = first + ", " + city;
  store_fixed(destination, result);
}

void view_chain(const Person& person, char* destination) {
  char buffer[kDestination + 8];
  std::size_t length = 0;
  for (std::size_t i = 0; i < 3; ++i)
    buffer[length++] = ascii_upper(person.name[i]);
  buffer[length++] = ',';
  buffer[length++] = ' ';
  std::string_view city(person.city, kFieldSize);
  city = city.substr(0, city.find_last_not_of(' ') + 1);
  const std::size_t taken = std::min(city.size(), sizeof(buffer) - length);
  std::memcpy(buffer + length, city.data(), taken);
  store_fixed(destination, std::string_view(buffer, length + taken));
}

// ---- INSTRING.

std::int32_t kestrel_instring(const Search& search) {
  Kes$PushString(search.searched.data(), static_cast<std::uint32_t>(search.searched.size()));
  Kes$PushString(search.sought.data(), static_cast<std::uint32_t>(search.sought.size()));
  return Kes$StackINSTRING(1, 1);
}

std::int32_t position_of(std::size_t found) {
  return found == std::string_view::npos ? 0 : static_cast<std::int32_t>(found + 1);
}

std::int32_t view_find(const Search& search) {
  return position_of(std::string_view(search.searched).find(search.sought));
}

std::int32_t horspool_find(const Search& search) {
  const std::boyer_moore_horspool_searcher searcher(search.sought.begin(), search.sought.end());
  const auto found = std::search(search.searched.begin(), search.searched.end(), searcher);
  return found == search.searched.end()
             ? 0
             : static_cast<std::int32_t>(found - search.searched.begin() + 1);
}

// ---- Digests and runs.

std::uint64_t mix(std::uint64_t hash, std::uint64_t value) {
  return (hash ^ value) * 1099511628211ull;
}

template <typename Operation>
std::uint64_t chain_digest(Operation operation) {
  std::uint64_t hash = 14695981039346656037ull;
  char destination[kDestination];
  for (const Person& person : inputs().people) {
    operation(person, destination);
    for (char c : destination)
      hash = mix(hash, static_cast<unsigned char>(c));
  }
  return hash;
}

template <typename Operation>
std::uint64_t search_digest(Operation operation) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const Search& search : inputs().searches)
    hash = mix(hash, static_cast<std::uint64_t>(operation(search)));
  return hash;
}

template <typename Operation>
void time_chain(benchmark::State& state, Operation operation) {
  char destination[kDestination];
  std::size_t index = 0;
  for (auto _ : state) {
    operation(inputs().people[index], destination);
    benchmark::DoNotOptimize(destination);
    benchmark::ClobberMemory();
    index = (index + 1) % kInputs;
  }
}

template <typename Operation>
void run_chain(benchmark::State& state, Operation operation) {
  if (chain_digest(operation) != chain_digest(kestrel_chain)) {
    state.SkipWithError("results differ from the Kestrel chain");
    return;
  }
  time_chain(state, operation);
}

template <typename Operation>
void run_search(benchmark::State& state, Operation operation) {
  if (search_digest(operation) != search_digest(kestrel_instring)) {
    state.SkipWithError("results differ from INSTRING");
    return;
  }
  std::size_t index = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(operation(inputs().searches[index]));
    index = (index + 1) % kInputs;
  }
}

void BM_Chain_Kestrel(benchmark::State& state) { run_chain(state, kestrel_chain); }
void BM_Chain_String(benchmark::State& state) { run_chain(state, string_chain); }
void BM_Chain_View(benchmark::State& state) { run_chain(state, view_chain); }
void BM_Chain_NineEmptyCalls(benchmark::State& state) { time_chain(state, empty_chain); }
void BM_Instring_Kestrel(benchmark::State& state) { run_search(state, kestrel_instring); }
void BM_Instring_ViewFind(benchmark::State& state) { run_search(state, view_find); }
void BM_Instring_Horspool(benchmark::State& state) { run_search(state, horspool_find); }

BENCHMARK(BM_Chain_Kestrel);
BENCHMARK(BM_Chain_String);
BENCHMARK(BM_Chain_View);
BENCHMARK(BM_Chain_NineEmptyCalls);
BENCHMARK(BM_Instring_Kestrel);
BENCHMARK(BM_Instring_ViewFind);
BENCHMARK(BM_Instring_Horspool);

}  // namespace

int main(int argc, char** argv) {
  // Each benchmark compares its operation's digest with ours and stops with an error on a mismatch.
  return kes::bench::run_benchmarks(argc, argv, true);
}

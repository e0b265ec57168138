// CLEAR of a 40-field record and a deep assignment of its 40 fields through the type
// descriptor's walk, against hand-written code that does the same with memset and field copies.
// Goal: within 3 times of the hand-written code.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <kestrel/memory.h>
#include <kestrel/types.h>
#include <kestrel/ufo.h>
#include <kestrel/values.h>

#include <benchmark/benchmark.h>

#include "bench/support/ratio_report.h"

namespace {

// Ten times: Name STRING(12), Count LONG, Amount DECIMAL(9,2), Rate REAL (29 bytes each).
#pragma pack(push, 1)
struct Quad {
  char name[12];
  int32_t count;
  unsigned char amount[5];
  double rate;
};
struct Record {
  Quad quads[10];
};
#pragma pack(pop)
static_assert(sizeof(Record) == 290);

const class_descriptor& record_descriptor() {
  static class_descriptor* made = [] {
    auto* d = new class_descriptor;
    d->StartGroup("Record");
    for (int quad = 0; quad < 10; ++quad) {
      const std::string suffix = std::to_string(quad);
      d->AddField(KesTypeString, 12, ("Name" + suffix).c_str(), 0, nullptr, nullptr);
      d->AddSimple(KesTypeLong, ("Count" + suffix).c_str(), nullptr);
      d->AddField(KesTypeDecimal, 5, ("Amount" + suffix).c_str(), 2, nullptr, nullptr);
      d->AddSimple(KesTypeReal, ("Rate" + suffix).c_str(), nullptr);
    }
    d->EndDeclaration();
    return d;
  }();
  return *made;
}

Record filled() {
  Record record;
  for (int quad = 0; quad < 10; ++quad) {
    Quad& q = record.quads[quad];
    std::snprintf(q.name, sizeof(q.name), "Item %06d", quad * 7919);
    q.count = quad * 1000 - 4321;
    const unsigned char amount[5] = {0x00, 0x12, 0x34, 0x56, static_cast<unsigned char>(quad)};
    std::memcpy(q.amount, amount, 5);
    q.rate = quad * 0.125;
  }
  return record;
}

void clear_by_hand(Record& record) {
  for (Quad& q : record.quads) {
    std::memset(q.name, ' ', sizeof(q.name));
    q.count = 0;
    std::memset(q.amount, 0, sizeof(q.amount));
    q.rate = 0.0;
  }
}

void copy_by_hand(Record& to, const Record& from) {
  for (int quad = 0; quad < 10; ++quad) {
    Quad& t = to.quads[quad];
    const Quad& f = from.quads[quad];
    std::memcpy(t.name, f.name, sizeof(t.name));
    t.count = f.count;
    std::memcpy(t.amount, f.amount, sizeof(t.amount));
    t.rate = f.rate;
  }
}

// Field n of the destination takes field n of the source, n = 1 to 40.
const std::vector<unsigned char>& pair_list() {
  static const std::vector<unsigned char> made = [] {
    std::vector<unsigned char> list = {0, 40};
    for (unsigned char field = 1; field <= 40; ++field)
      list.insert(list.end(), {field, field});
    return list;
  }();
  return made;
}

void BM_Clear40_Kestrel(benchmark::State& state) {
  Record record = filled();
  for (auto _ : state) {
    Kes$CLEAR(&record, record_descriptor().stream(), 0);
    benchmark::ClobberMemory();
  }
}
void BM_Clear40_Hand(benchmark::State& state) {
  Record record = filled();
  for (auto _ : state) {
    clear_by_hand(record);
    benchmark::ClobberMemory();
  }
}

void BM_DeepAssign40_Kestrel(benchmark::State& state) {
  Record from = filled();
  Record to{};
  Ufo* destination = Kes$Group2Ufo(&to, record_descriptor().stream());
  Ufo* source = Kes$Group2Ufo(&from, record_descriptor().stream());
  for (auto _ : state) {
    Kes$DeepAssign(destination, source, pair_list().data());
    benchmark::ClobberMemory();
  }
  Kes$FreeUfo(destination);
  Kes$FreeUfo(source);
}
void BM_DeepAssign40_Hand(benchmark::State& state) {
  Record from = filled();
  Record to{};
  for (auto _ : state) {
    copy_by_hand(to, from);
    benchmark::ClobberMemory();
  }
}

BENCHMARK(BM_Clear40_Kestrel);
BENCHMARK(BM_Clear40_Hand);
BENCHMARK(BM_DeepAssign40_Kestrel);
BENCHMARK(BM_DeepAssign40_Hand);

// Both ways give the same bytes before anything is timed.
bool agree() {
  Record ours = filled();
  Record theirs = filled();
  Kes$CLEAR(&ours, record_descriptor().stream(), 0);
  clear_by_hand(theirs);
  if (std::memcmp(&ours, &theirs, sizeof(Record)) != 0) return false;
  const Record from = filled();
  Record copied{};
  Record by_hand{};
  Ufo* destination = Kes$Group2Ufo(&copied, record_descriptor().stream());
  Ufo* source = Kes$Group2Ufo(const_cast<Record*>(&from), record_descriptor().stream());
  Kes$DeepAssign(destination, source, pair_list().data());
  Kes$FreeUfo(destination);
  Kes$FreeUfo(source);
  copy_by_hand(by_hand, from);
  return std::memcmp(&copied, &by_hand, sizeof(Record)) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  auto ratio = [](const kes::bench::RatioReporter& report) {
    std::printf("\nDescriptor walk / hand-written code (goal: at most 3)\n");
    for (const char* operation : {"Clear40", "DeepAssign40"}) {
      const double ours = report.nanoseconds(std::string("BM_") + operation + "_Kestrel");
      const double hand = report.nanoseconds(std::string("BM_") + operation + "_Hand");
      if (ours > 0 && hand > 0)
        std::printf("  %-14s %8.1f ns  %8.1f ns  %5.2f\n", operation, ours, hand, ours / hand);
    }
  };
  return kes::bench::run_benchmarks(argc, argv, agree(), {}, ratio);
}

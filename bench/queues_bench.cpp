// Queues beside the standard library and SQLite: keyed ADDs into three live orders against three
// stable sorts of the same records, SORT against std::stable_sort, GET by key against
// std::lower_bound on a sorted vector, and SQLite's in-memory table with the same indexes.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include <kestrel/queues.h>
#include <kestrel/types.h>

#include <benchmark/benchmark.h>

#ifdef KES_BENCH_HAS_SQLITE3
#include <sqlite3.h>
#endif

#include "bench/support/ratio_report.h"

namespace {

// The 64-byte record: A LONG, B LONG, Name STRING(16), C LONG, Serial LONG, filler.
struct Record {
  std::int32_t a;  // 0..999: many equal keys
  std::int32_t b;  // unique
  char name[16];   // six capital letters, blank padded
  std::int32_t c;
  std::int32_t serial;
  char fill[32];
};
static_assert(sizeof(Record) == 64);

constexpr std::int64_t kAddCount = 1'000'000;
constexpr std::int64_t kTableCount = 100'000;

// The record's type descriptor, built once.
const unsigned char* record_type() {
  static const class_descriptor* type = [] {
    auto* built = new class_descriptor;
    built->StartGroup("Record");
    built->AddSimple(KesTypeLong, "A", nullptr);
    built->AddSimple(KesTypeLong, "B", nullptr);
    built->AddField(KesTypeString, 16, "Name", 0, nullptr, nullptr);
    built->AddSimple(KesTypeLong, "C", nullptr);
    built->AddSimple(KesTypeLong, "Serial", nullptr);
    built->AddField(KesTypeString, 32, "Fill", 0, nullptr, nullptr);
    built->EndDeclaration();
    return built;
  }();
  return type->stream();
}

const std::vector<Record>& records(std::size_t count) {
  static std::vector<Record> made;
  if (made.size() != count) {
    made.assign(count, Record{});
    std::mt19937 random(24);
    std::vector<std::int32_t> unique(count);
    for (std::size_t i = 0; i < count; ++i)
      unique[i] = static_cast<std::int32_t>(i * 7);
    std::shuffle(unique.begin(), unique.end(), random);
    for (std::size_t i = 0; i < count; ++i) {
      Record& r = made[i];
      r.a = static_cast<std::int32_t>(random() % 1000);
      r.b = unique[i];
      std::memset(r.name, ' ', sizeof r.name);
      for (int k = 0; k < 6; ++k)
        r.name[k] = static_cast<char>('A' + random() % 26);
      r.c = static_cast<std::int32_t>(random() % 100000);
      r.serial = static_cast<std::int32_t>(i);
      std::memset(r.fill, 0, sizeof r.fill);
    }
  }
  return made;
}

bool by_a(const Record& x, const Record& y) { return x.a < y.a; }
bool by_b(const Record& x, const Record& y) { return x.b < y.b; }
bool by_name(const Record& x, const Record& y) { return std::memcmp(x.name, y.name, 16) < 0; }
bool by_c(const Record& x, const Record& y) { return x.c < y.c; }

const std::int32_t kKeyA[] = {1, 0};
const std::int32_t kKeyB[] = {2, 0};
const std::int32_t kKeyName[] = {3, 0};
const std::int32_t kKeyC[] = {4, 0};

struct Queue {
  ~Queue() { Kes$FREEqueue(&descriptor); }
  Record buffer{};
  KesQueueDescriptor descriptor{&buffer, record_type(), nullptr, sizeof(Record)};
};

// Keyed ADDs with orders by A and by Name alive and the queue order by C.
void add_three_keys(Queue& queue, const std::vector<Record>& in) {
  Kes$SORTqueuekey(&queue.descriptor, kKeyA);
  Kes$SORTqueuekey(&queue.descriptor, kKeyName);
  Kes$SORTqueuekey(&queue.descriptor, kKeyC);
  for (const Record& record : in) {
    queue.buffer = record;
    Kes$ADDqueuekey(&queue.descriptor, kKeyC);
  }
}

std::vector<std::int32_t> queue_serials(Queue& queue) {
  std::vector<std::int32_t> serials;
  const std::int32_t count = Kes$RECORDSqueue(&queue.descriptor);
  for (std::int32_t position = 1; position <= count; ++position) {
    Kes$GETqueueptr(&queue.descriptor, position);
    serials.push_back(queue.buffer.serial);
  }
  return serials;
}

std::vector<std::int32_t> serials_of(const std::vector<Record>& in) {
  std::vector<std::int32_t> serials;
  for (const Record& record : in)
    serials.push_back(record.serial);
  return serials;
}

// ---- 1,000,000 keyed ADDs with three live orders.

void BM_QueueAdd3Keys_Kestrel(benchmark::State& state) {
  const std::vector<Record>& in = records(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    Queue queue;
    add_three_keys(queue, in);
    state.PauseTiming();
    Kes$FREEqueue(&queue.descriptor);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_QueueAdd3Keys_Kestrel)->Arg(kAddCount)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_QueueAdd3Keys_StableSort(benchmark::State& state) {
  const std::vector<Record>& in = records(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<Record> sorted = in;
    state.ResumeTiming();
    std::stable_sort(sorted.begin(), sorted.end(), by_a);
    std::stable_sort(sorted.begin(), sorted.end(), by_name);
    std::stable_sort(sorted.begin(), sorted.end(), by_c);
    benchmark::DoNotOptimize(sorted.data());
  }
}
BENCHMARK(BM_QueueAdd3Keys_StableSort)
    ->Arg(kAddCount)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// ---- SORT of 100,000 records.

void BM_QueueSort_Kestrel(benchmark::State& state) {
  const std::vector<Record>& in = records(static_cast<std::size_t>(state.range(0)));
  Queue queue;
  for (auto _ : state) {
    state.PauseTiming();
    Kes$FREEqueue(&queue.descriptor);
    for (const Record& record : in) {
      queue.buffer = record;
      Kes$ADDqueue(&queue.descriptor);
    }
    state.ResumeTiming();
    Kes$SORTqueuekey(&queue.descriptor, kKeyB);
  }
}
BENCHMARK(BM_QueueSort_Kestrel)->Arg(kTableCount)->Unit(benchmark::kMillisecond);

void BM_QueueSort_StableSort(benchmark::State& state) {
  const std::vector<Record>& in = records(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<Record> sorted = in;
    state.ResumeTiming();
    std::stable_sort(sorted.begin(), sorted.end(), by_b);
    benchmark::DoNotOptimize(sorted.data());
  }
}
BENCHMARK(BM_QueueSort_StableSort)->Arg(kTableCount)->Unit(benchmark::kMillisecond);

// ---- GET by key on 100,000 records.

std::vector<std::int32_t> probes(std::size_t count) {
  std::vector<std::int32_t> keys;
  std::mt19937 random(5);
  for (int i = 0; i < 4096; ++i) {
    keys.push_back(static_cast<std::int32_t>(random() % count) * 7);
  }
  return keys;
}

void BM_QueueGetKey_Kestrel(benchmark::State& state) {
  const std::vector<Record>& in = records(static_cast<std::size_t>(state.range(0)));
  const std::vector<std::int32_t> keys = probes(in.size());
  Queue queue;
  for (const Record& record : in) {
    queue.buffer = record;
    Kes$ADDqueue(&queue.descriptor);
  }
  Kes$SORTqueuekey(&queue.descriptor, kKeyB);
  std::size_t next = 0;
  for (auto _ : state) {
    queue.buffer.b = keys[next++ & 4095];
    Kes$GETqueuekey(&queue.descriptor, kKeyB);
    benchmark::DoNotOptimize(queue.buffer.serial);
  }
}
BENCHMARK(BM_QueueGetKey_Kestrel)->Arg(kTableCount);

void BM_QueueGetKey_LowerBound(benchmark::State& state) {
  std::vector<Record> sorted = records(static_cast<std::size_t>(state.range(0)));
  std::stable_sort(sorted.begin(), sorted.end(), by_b);
  const std::vector<std::int32_t> keys = probes(sorted.size());
  std::size_t next = 0;
  for (auto _ : state) {
    Record probe{};
    probe.b = keys[next++ & 4095];
    const auto found = std::lower_bound(sorted.begin(), sorted.end(), probe, by_b);
    benchmark::DoNotOptimize(found->serial);
  }
}
BENCHMARK(BM_QueueGetKey_LowerBound)->Arg(kTableCount);

#ifdef KES_BENCH_HAS_SQLITE3
struct Table {
  Table() {
    sqlite3_open(":memory:", &db);
    sqlite3_exec(db,
                 "CREATE TABLE t(a INT, b INT, name TEXT, c INT, serial INT, fill BLOB);"
                 "CREATE INDEX ta ON t(a); CREATE INDEX tn ON t(name); CREATE INDEX tc ON t(c);"
                 "CREATE INDEX tb ON t(b);",
                 nullptr, nullptr, nullptr);
  }
  ~Table() { sqlite3_close(db); }
  void insert(const std::vector<Record>& in) {
    sqlite3_stmt* statement = nullptr;
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_prepare_v2(db, "INSERT INTO t VALUES(?,?,?,?,?,?)", -1, &statement, nullptr);
    for (const Record& r : in) {
      sqlite3_bind_int(statement, 1, r.a);
      sqlite3_bind_int(statement, 2, r.b);
      sqlite3_bind_text(statement, 3, r.name, 16, SQLITE_STATIC);
      sqlite3_bind_int(statement, 4, r.c);
      sqlite3_bind_int(statement, 5, r.serial);
      sqlite3_bind_blob(statement, 6, r.fill, 32, SQLITE_STATIC);
      sqlite3_step(statement);
      sqlite3_reset(statement);
    }
    sqlite3_finalize(statement);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  }
  sqlite3* db = nullptr;
};

void BM_QueueAdd3Keys_SQLite(benchmark::State& state) {
  const std::vector<Record>& in = records(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    Table table;
    table.insert(in);
    state.PauseTiming();
    table.~Table();
    new (&table) Table();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_QueueAdd3Keys_SQLite)->Arg(kAddCount)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_QueueGetKey_SQLite(benchmark::State& state) {
  const std::vector<Record>& in = records(static_cast<std::size_t>(state.range(0)));
  const std::vector<std::int32_t> keys = probes(in.size());
  Table table;
  table.insert(in);
  sqlite3_stmt* statement = nullptr;
  sqlite3_prepare_v2(table.db, "SELECT serial FROM t WHERE b = ?", -1, &statement, nullptr);
  std::size_t next = 0;
  for (auto _ : state) {
    sqlite3_bind_int(statement, 1, keys[next++ & 4095]);
    sqlite3_step(statement);
    benchmark::DoNotOptimize(sqlite3_column_int(statement, 0));
    sqlite3_reset(statement);
  }
  sqlite3_finalize(statement);
}
BENCHMARK(BM_QueueGetKey_SQLite)->Arg(kTableCount);
#endif

// Keyed ADDs leave each order as a stable sort of the same records would; SORT by a unique key
// and GET by key find what the peers find.
bool results_agree() {
  const std::vector<Record>& in = records(kTableCount);
  Queue queue;
  add_three_keys(queue, in);
  std::vector<Record> sorted = in;
  std::stable_sort(sorted.begin(), sorted.end(), by_c);
  if (queue_serials(queue) != serials_of(sorted)) return false;
  Kes$SORTqueuekey(&queue.descriptor, kKeyName);  // the order kept by Name becomes the queue order
  sorted = in;
  std::stable_sort(sorted.begin(), sorted.end(), by_name);
  if (queue_serials(queue) != serials_of(sorted)) return false;
  Kes$SORTqueuekey(&queue.descriptor, kKeyB);
  std::stable_sort(sorted.begin(), sorted.end(), by_b);
  if (queue_serials(queue) != serials_of(sorted)) return false;
  for (std::int32_t key : probes(in.size())) {
    queue.buffer.b = key;
    Kes$GETqueuekey(&queue.descriptor, kKeyB);
    Record probe{};
    probe.b = key;
    if (queue.buffer.serial !=
        std::lower_bound(sorted.begin(), sorted.end(), probe, by_b)->serial) {
      return false;
    }
  }
  return true;
}

void print_rows(const kes::bench::RatioReporter& reporter) {
  const double add =
      reporter.nanoseconds("BM_QueueAdd3Keys_Kestrel/1000000/iterations:1") / kAddCount;
  const double sqlite_add =
      reporter.nanoseconds("BM_QueueAdd3Keys_SQLite/1000000/iterations:1") / kAddCount;
  std::printf(
      "\nPer row: keyed ADD with 3 orders %.0f ns (SQLite insert with the same indexes %.0f ns)\n",
      add, sqlite_add);
}

}  // namespace

int main(int argc, char** argv) {
  return kes::bench::run_benchmarks(argc, argv, results_agree(), {}, print_rows);
}

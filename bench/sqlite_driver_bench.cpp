// The SQLite driver beside the same work written directly against SQLite's C interface with
// prepared statements: ADD of 100,000 records with two keys (in one transaction, and one
// transaction per record), GET of each by key, and a full scan in the order of the second key.
// Both use the same journal (WAL) and synchronous level (NORMAL).
//
// --records=N runs every row with N records instead: one transaction per record costs most of a
// minute at full size, so CI's single pass takes fewer.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <sqlite3.h>
#include <string>
#include <string_view>
#include <vector>

#include <kestrel/files.h>
#include <kestrel/sqlite_driver.h>
#include <kestrel/string_stack.h>

#include <benchmark/benchmark.h>

#include "bench/support/ratio_report.h"
#include "tests/files/conformance/file_declaration.h"

namespace {

// Records of each row: 100,000 unless --records says otherwise. Process-wide by design: set
// once from the command line before any benchmark runs.
int records = 100000;
constexpr std::size_t kNameSize = 20;

struct Row {
  std::int32_t id;
  std::string name;
  std::int32_t amount;
};

// Records in a fixed pseudo-random order: IDs 1 to `records` shuffled, names from 5,000 (so the
// name key has duplicates), and the IDs to look up.
struct Inputs {
  std::vector<Row> rows;
  std::vector<std::int32_t> lookups;
  Inputs() {
    std::mt19937 random(20240611);
    for (std::int32_t i = 1; i <= records; ++i) {
      std::string name = "N";
      for (std::uint32_t n = random() % 5000; name.size() < 6; n /= 26)
        name.push_back(static_cast<char>('a' + n % 26));
      rows.push_back({i, name, static_cast<std::int32_t>(random() % 100000)});
    }
    std::shuffle(rows.begin(), rows.end(), random);
    for (const Row& row : rows)
      lookups.push_back(row.id);
    std::shuffle(lookups.begin(), lookups.end(), random);
  }
};
const Inputs& inputs() {
  static const Inputs made;
  return made;
}

void remove_database(const std::string& name) {
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
    const std::string each = name + suffix;
    Kes$PushString(each.data(), static_cast<std::uint32_t>(each.size()));
    Kes$RemoveFile();
  }
}

// A digest of the IDs and amounts met, in order.
void mix(std::uint64_t& digest, std::int32_t id, std::int32_t amount) {
  digest = (digest ^ static_cast<std::uint32_t>(id)) * 1099511628211u +
           static_cast<std::uint32_t>(amount);
}

// The work through the driver, as compiled code does it.
class Kestrel {
 public:
  explicit Kestrel(bool fresh)
      : file_(SQLite$Driver, "sqlite_driver_bench_kestrel.db", "Customer",
              {{DRV_TYPE_LONG, 0, "ID"},
               {DRV_TYPE_STRING, kNameSize, "Name"},
               {DRV_TYPE_LONG, 0, "Amount"}},
              {{"ById", {1}}, {"ByName", {2}, DRV_KEY_DUP}}) {
    if (fresh) {
      remove_database("sqlite_driver_bench_kestrel.db");
      file_.fcb.attributes = DRV_ATTR_CREATE;
    }
    Kes$FILE_OPEN(file_.file(), DRV_ACCESS_READWRITE | DRV_DENY_NONE);
  }
  ~Kestrel() { Kes$FILE_CLOSE(file_.file()); }
  void add_all(bool one_transaction) {
    if (one_transaction) Kes$LOGOUT(10, file_.file(), nullptr);
    for (const Row& row : inputs().rows) {
      file_.set_long(1, row.id);
      file_.set_string(2, row.name, kNameSize);
      file_.set_long(3, row.amount);
      Kes$FILE_ADDf(file_.file());
    }
    if (one_transaction) Kes$COMMIT();
  }
  std::uint64_t get_all() {
    std::uint64_t digest = 0;
    for (std::int32_t id : inputs().lookups) {
      file_.set_long(1, id);
      Kes$FILE_GETfk(file_.file(), file_.key(0));
      mix(digest, file_.get_long(1), file_.get_long(3));
    }
    return digest;
  }
  std::uint64_t scan() {
    std::uint64_t digest = 0;
    Kes$FILE_SETk(file_.key(1));
    for (Kes$FILE_NEXT(file_.file()); Kes$ERRCODE == 0; Kes$FILE_NEXT(file_.file()))
      mix(digest, file_.get_long(1), file_.get_long(3));
    return digest;
  }

 private:
  kes::test::FileDeclaration file_;
};

// The same work straight on SQLite.
class DirectSQLite {
 public:
  explicit DirectSQLite(bool fresh) {
    if (fresh) remove_database("sqlite_driver_bench_direct.db");
    sqlite3_open("sqlite_driver_bench_direct.db", &db_);
    exec("PRAGMA journal_mode=WAL");
    exec("PRAGMA synchronous=NORMAL");
    exec(
        "CREATE TABLE IF NOT EXISTS Customer (pos INTEGER PRIMARY KEY, ID INTEGER, "
        "Name TEXT, Amount INTEGER)");
    exec("CREATE UNIQUE INDEX IF NOT EXISTS ById ON Customer (ID)");
    exec("CREATE INDEX IF NOT EXISTS ByName ON Customer (Name)");
    sqlite3_prepare_v2(db_, "INSERT INTO Customer (ID, Name, Amount) VALUES (?1, ?2, ?3)", -1,
                       &insert_, nullptr);
    sqlite3_prepare_v2(db_, "SELECT ID, Name, Amount FROM Customer WHERE ID = ?1", -1, &get_,
                       nullptr);
    sqlite3_prepare_v2(db_, "SELECT ID, Name, Amount FROM Customer ORDER BY Name, pos", -1, &scan_,
                       nullptr);
  }
  ~DirectSQLite() {
    sqlite3_finalize(insert_);
    sqlite3_finalize(get_);
    sqlite3_finalize(scan_);
    sqlite3_close(db_);
  }
  void add_all(bool one_transaction) {
    if (one_transaction) exec("BEGIN IMMEDIATE");
    for (const Row& row : inputs().rows) {
      sqlite3_bind_int(insert_, 1, row.id);
      sqlite3_bind_text(insert_, 2, row.name.data(), static_cast<int>(row.name.size()),
                        SQLITE_STATIC);
      sqlite3_bind_int(insert_, 3, row.amount);
      sqlite3_step(insert_);
      sqlite3_reset(insert_);
    }
    if (one_transaction) exec("COMMIT");
  }
  std::uint64_t get_all() {
    std::uint64_t digest = 0;
    for (std::int32_t id : inputs().lookups) {
      sqlite3_bind_int(get_, 1, id);
      if (sqlite3_step(get_) == SQLITE_ROW)
        mix(digest, sqlite3_column_int(get_, 0), sqlite3_column_int(get_, 2));
      sqlite3_reset(get_);
    }
    return digest;
  }
  std::uint64_t scan() {
    std::uint64_t digest = 0;
    while (sqlite3_step(scan_) == SQLITE_ROW)
      mix(digest, sqlite3_column_int(scan_, 0), sqlite3_column_int(scan_, 2));
    sqlite3_reset(scan_);
    return digest;
  }

 private:
  void exec(const char* sql) { sqlite3_exec(db_, sql, nullptr, nullptr, nullptr); }
  sqlite3* db_ = nullptr;
  sqlite3_stmt* insert_ = nullptr;
  sqlite3_stmt* get_ = nullptr;
  sqlite3_stmt* scan_ = nullptr;
};

template <typename Store>
void BM_AddInOneTransaction(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    Store store(true);
    state.ResumeTiming();
    store.add_all(true);
  }
  state.SetItemsProcessed(state.iterations() * records);
}

template <typename Store>
void BM_AddEachInItsTransaction(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    Store store(true);
    state.ResumeTiming();
    store.add_all(false);
  }
  state.SetItemsProcessed(state.iterations() * records);
}

template <typename Store>
void BM_GetByKey(benchmark::State& state) {
  Store store(false);
  for (auto _ : state)
    benchmark::DoNotOptimize(store.get_all());
  state.SetItemsProcessed(state.iterations() * records);
}

template <typename Store>
void BM_ScanInKeyOrder(benchmark::State& state) {
  Store store(false);
  for (auto _ : state)
    benchmark::DoNotOptimize(store.scan());
  state.SetItemsProcessed(state.iterations() * records);
}

#define KES_SQLITE_BENCH(operation)                \
  BENCHMARK_TEMPLATE(BM_##operation, Kestrel)      \
      ->Name("BM_" #operation "_Kestrel")          \
      ->Unit(benchmark::kMillisecond)              \
      ->Iterations(1);                             \
  BENCHMARK_TEMPLATE(BM_##operation, DirectSQLite) \
      ->Name("BM_" #operation "_DirectSQLite")     \
      ->Unit(benchmark::kMillisecond)              \
      ->Iterations(1)

KES_SQLITE_BENCH(AddInOneTransaction);
KES_SQLITE_BENCH(AddEachInItsTransaction);
KES_SQLITE_BENCH(GetByKey);
KES_SQLITE_BENCH(ScanInKeyOrder);

// Both stores filled the same way give the same records by key and in the same order.
bool results_agree() {
  std::uint64_t ours_get = 0, ours_scan = 0, theirs_get = 0, theirs_scan = 0;
  {
    Kestrel ours(true);
    ours.add_all(true);
    ours_get = ours.get_all();
    ours_scan = ours.scan();
  }
  {
    DirectSQLite theirs(true);
    theirs.add_all(true);
    theirs_get = theirs.get_all();
    theirs_scan = theirs.scan();
  }
  return ours_get == theirs_get && ours_scan == theirs_scan && ours_get != 0;
}

// Takes --records=N out of the command line; false when N is not a count from 1 to 10,000,000.
bool take_records_option(int& argc, char** argv) {
  constexpr std::string_view kOption = "--records=";
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], kOption.data(), kOption.size()) != 0) continue;
    char* end = nullptr;
    const long count = std::strtol(argv[i] + kOption.size(), &end, 10);
    if (*end != '\0' || count < 1 || count > 10000000) return false;
    records = static_cast<int>(count);
    std::copy(argv + i + 1, argv + argc + 1, argv + i);  // argv[argc] is null
    --argc;
    --i;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (!take_records_option(argc, argv)) {
    std::fprintf(stderr, "--records takes a count from 1 to 10000000\n");
    return EXIT_FAILURE;
  }
  std::printf("%d records in each row\n", records);
  return kes::bench::run_benchmarks(argc, argv, results_agree());
}

// The cost of reaching a driver: a statement export whose driver returns at once, with and
// without a callback on the file, beside the floor of calling the driver's entry directly (and,
// with a callback, the callback's two calls around it).
#include <cstdint>
#include <cstdio>

#include <kestrel/driver.h>
#include <kestrel/files.h>

#include <benchmark/benchmark.h>

#include "bench/support/ratio_report.h"

namespace {

// The driver: every operation returns at once with a value of its own.
std::int32_t quick_driver(std::int32_t operation, Drv_FCB*, const Drv_Args* arguments) noexcept {
  return operation + arguments->values[0];
}

class Watcher final : public KesFileCallback {
 public:
  bool before_operation(const KesFileCallbackParams*, char*, char*) override { return true; }
  bool after_operation(const KesFileCallbackParams*, char*, char*) override { return true; }
};

Drv_FCB make_file(const char* name) {
  Drv_FCB file{};
  file.driver = quick_driver;
  file.name = name;
  file.name_length = -1;
  return file;
}

Drv_FCB plain_file = make_file("PLAIN.DAT");
Drv_FCB watched_file = make_file("WATCHED.DAT");
Watcher watcher;

// The direct call of the driver's entry, the floor under every statement.
std::int32_t direct_next(Drv_FCB& file) {
  Drv_Entry entry = file.driver;
  benchmark::DoNotOptimize(entry);
  const Drv_Args arguments{};
  return entry(DRV_NEXT, &file, &arguments);
}

// The same with the callback's two calls around it.
std::int32_t direct_next_with_callback(Drv_FCB& file, KesFileCallback& callback) {
  Drv_Entry entry = file.driver;
  benchmark::DoNotOptimize(entry);
  const Drv_Args arguments{};
  const KesFileCallbackParams params{DRV_NEXT, &file, &arguments};
  char message[255];
  char code[81];
  std::int32_t result = 0;
  if (callback.before_operation(&params, message, code))
    result = entry(DRV_NEXT, &file, &arguments);
  callback.after_operation(&params, message, code);
  return result;
}

bool results_agree() {
  KES$FILE_CALLBACK(&watched_file, &watcher, 1);
  const bool agree =
      Kes$FILE_NEXT(&plain_file) == direct_next(plain_file) &&
      Kes$FILE_NEXT(&watched_file) == direct_next_with_callback(watched_file, watcher) &&
      Kes$FILE_SKIP(&plain_file, 5) == DRV_SKIP + 5 && Kes$ERRCODE == 0;
  if (!agree) std::fprintf(stderr, "the export and the direct call disagree\n");
  return agree;
}

void BM_Next_Kestrel(benchmark::State& state) {
  for (auto _ : state)
    benchmark::DoNotOptimize(Kes$FILE_NEXT(&plain_file));
}
BENCHMARK(BM_Next_Kestrel);

void BM_Next_DirectCall(benchmark::State& state) {
  for (auto _ : state)
    benchmark::DoNotOptimize(direct_next(plain_file));
}
BENCHMARK(BM_Next_DirectCall);

void BM_NextWithCallback_Kestrel(benchmark::State& state) {
  for (auto _ : state)
    benchmark::DoNotOptimize(Kes$FILE_NEXT(&watched_file));
}
BENCHMARK(BM_NextWithCallback_Kestrel);

void BM_NextWithCallback_DirectCall(benchmark::State& state) {
  for (auto _ : state)
    benchmark::DoNotOptimize(direct_next_with_callback(watched_file, watcher));
}
BENCHMARK(BM_NextWithCallback_DirectCall);

}  // namespace

int main(int argc, char** argv) { return kes::bench::run_benchmarks(argc, argv, results_agree()); }

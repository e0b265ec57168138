// INI lookups: GETINI of every entry of a 1,000-entry file against inih parsing the file once
// into a map and looking each entry up; PUTINI of one entry into that file.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <ini.h>
#include <string>
#include <unordered_map>
#include <vector>

#include <kestrel/ini.h>
#include <kestrel/string_stack.h>

#include <benchmark/benchmark.h>

#include "bench/support/ratio_report.h"

namespace {

constexpr int kEntries = 1000;

struct Inputs {
  std::string file;
  std::vector<std::string> keys;
  std::vector<std::string> values;
};

const Inputs& inputs() {
  static const Inputs made = [] {
    Inputs result;
    result.file = (std::filesystem::temp_directory_path() / "kes_ini_bench.ini").string();
    std::ofstream out(result.file, std::ios::binary);
    out << "; benchmark settings\r\n[Settings]\r\n";
    for (int i = 0; i < kEntries; ++i) {
      result.keys.push_back("Key" + std::to_string(i));
      result.values.push_back("Value number " + std::to_string(i * 7919 % 100000));
      out << result.keys.back() << "=" << result.values.back() << "\r\n";
    }
    return result;
  }();
  return made;
}

// GETINI of one entry as compiled code calls it; the value lands in `out`.
void get_ini(const std::string& key, char (&out)[1024]) {
  const Inputs& in = inputs();
  Kes$PushString(in.file.data(), static_cast<uint32_t>(in.file.size()));
  Kes$PushString("", 0);
  Kes$PushString(key.data(), static_cast<uint32_t>(key.size()));
  Kes$PushString("Settings", 8);
  Kes$GETINI();
  Kes$PopCString(out, sizeof out);
}

using Map = std::unordered_map<std::string, std::string>;

int store(void* user, const char* section, const char* name, const char* value) {
  static_cast<Map*>(user)->emplace(std::string(section) + '\0' + name, value);
  return 1;
}

// inih: parse the file once, then look every entry up.
void inih_read_all(std::vector<std::string>* values) {
  const Inputs& in = inputs();
  Map map;
  map.reserve(kEntries);
  ini_parse(in.file.c_str(), store, &map);
  std::string key = std::string("Settings") + '\0';
  const std::size_t prefix = key.size();
  char out[1024];
  for (const std::string& name : in.keys) {
    key.resize(prefix);
    key += name;
    const auto found = map.find(key);
    const std::string& value = found == map.end() ? std::string() : found->second;
    std::snprintf(out, sizeof out, "%s", value.c_str());
    benchmark::DoNotOptimize(out);
    if (values != nullptr) values->push_back(out);
  }
}

bool results_agree() {
  const Inputs& in = inputs();
  std::vector<std::string> peer;
  inih_read_all(&peer);
  char out[1024];
  for (int i = 0; i < kEntries; ++i) {
    get_ini(in.keys[static_cast<std::size_t>(i)], out);
    if (in.values[static_cast<std::size_t>(i)] != out || peer[static_cast<std::size_t>(i)] != out) {
      return false;
    }
  }
  return true;
}

void BM_IniRead1000_Kestrel(benchmark::State& state) {
  const Inputs& in = inputs();
  char out[1024];
  for (auto _ : state) {
    for (const std::string& key : in.keys) {
      get_ini(key, out);
      benchmark::DoNotOptimize(out);
    }
  }
}
BENCHMARK(BM_IniRead1000_Kestrel)->Unit(benchmark::kMicrosecond);

void BM_IniRead1000_Inih(benchmark::State& state) {
  for (auto _ : state)
    inih_read_all(nullptr);
}
BENCHMARK(BM_IniRead1000_Inih)->Unit(benchmark::kMicrosecond);

// PUTINI of one entry: the whole file rewritten beside the old one, synced and renamed over it.
void BM_IniWriteOne_Kestrel(benchmark::State& state) {
  const Inputs& in = inputs();
  int n = 0;
  for (auto _ : state) {
    const std::string value = std::to_string(++n);
    Kes$PushString(in.file.data(), static_cast<uint32_t>(in.file.size()));
    Kes$PushString(value.data(), static_cast<uint32_t>(value.size()));
    Kes$PushString("Key500", 6);
    Kes$PushString("Settings", 8);
    Kes$PUTINI(0, 0);
  }
}
BENCHMARK(BM_IniWriteOne_Kestrel)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  const bool agree = results_agree();
  const int status = kes::bench::run_benchmarks(argc, argv, agree);
  std::filesystem::remove(inputs().file);
  return status;
}

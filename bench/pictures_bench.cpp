// Formatting through pictures against snprintf and fmt: amounts through @N12.2 (from the
// decimal stack and from REALs) and dates through @D6.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fmt/format.h>
#include <map>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include <kestrel/pic_desc.h>
#include <kestrel/pictures.h>

#include <benchmark/benchmark.h>

#include "bench/support/ratio_report.h"
#include "numeric/decimal/decimal_stack.h"
#include "runtime/stack/string_stack.h"

namespace {

constexpr std::size_t kInputs = 1024;  // a power of two
constexpr int kAmountWidth = 12;
constexpr int kDateWidth = 10;

struct Inputs {
  std::vector<double> amounts;                       // whole cents, below 10^8
  std::vector<kes::numeric::DecimalEntry> decimals;  // the same amounts
  std::vector<std::int32_t> serials;                 // days from 1900 to 2099
  PicDesc amount_picture;
  PicDesc date_picture;
};

const Inputs& inputs() {
  static const Inputs in = [] {
    Inputs made;
    std::mt19937 random(1234);
    std::uniform_int_distribution<long long> cents(0, 999999999LL);
    std::uniform_int_distribution<std::int32_t> days(36163, 109211);
    for (std::size_t i = 0; i < kInputs; ++i) {
      const long long c = cents(random);
      made.amounts.push_back(static_cast<double>(c) / 100.0);
      const std::string text =
          std::to_string(c / 100) + "." + std::to_string(c % 100 / 10) + std::to_string(c % 10);
      kes::numeric::decimal_push_text(text);
      made.decimals.push_back(kes::numeric::decimal_pop());
      made.serials.push_back(days(random));
    }
    made.amount_picture.Init("@N12.2");
    made.date_picture.Init("@D6");
    return made;
  }();
  return in;
}

// The civil date of a serial day (day 36163 is 1 January 1900), by days from 1 March 0000.
void civil_date(std::int32_t serial, int& year, int& month, int& day) {
  const long long z = serial - 36163 + 693901;  // days since 0000-03-01 (proleptic)
  const long long era = z / 146097;
  const long long doe = z - era * 146097;
  const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long long mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

// The formatters, each writing input i into `out` (32 bytes) and returning the length: the same
// calls are checked against one another and then timed.
using Writer = std::size_t (*)(char* out, const Inputs& in, std::size_t i);

std::size_t kestrel_amount(char* out, const Inputs& in, std::size_t i) {
  in.amount_picture.StoreReal(out, kAmountWidth, in.amounts[i]);
  return kAmountWidth;
}
std::size_t fmt_amount(char* out, const Inputs& in, std::size_t i) {
  const auto cents = static_cast<long long>(in.amounts[i] * 100.0 + 0.5);
  return fmt::format_to_n(out, 32, "{:>9}.{:02}", fmt::group_digits(cents / 100), cents % 100).size;
}
std::size_t snprintf_amount(char* out, const Inputs& in, std::size_t i) {
  return static_cast<std::size_t>(std::snprintf(out, 32, "%12.2f", in.amounts[i]));
}
std::size_t kestrel_date(char* out, const Inputs& in, std::size_t i) {
  in.date_picture.StoreReal(out, kDateWidth, in.serials[i]);
  return kDateWidth;
}
std::size_t fmt_date(char* out, const Inputs& in, std::size_t i) {
  int y = 0, m = 0, d = 0;
  civil_date(in.serials[i], y, m, d);
  return fmt::format_to_n(out, 32, "{:2}/{:02}/{:04}", d, m, y).size;
}
std::size_t snprintf_date(char* out, const Inputs& in, std::size_t i) {
  int y = 0, m = 0, d = 0;
  civil_date(in.serials[i], y, m, d);
  return static_cast<std::size_t>(std::snprintf(out, 32, "%2d/%02d/%04d", d, m, y));
}

std::string text_of(Writer write, std::size_t i) {
  char out[32];
  return std::string(out, write(out, inputs(), i));
}

std::string kestrel_decimal_amount(std::size_t i) {
  kes::numeric::decimal_push(inputs().decimals[i]);
  Kes$PushPictDec("@N12.2");
  std::string text(kes::runtime::top_text());
  kes::runtime::pop_discard();
  return text;
}

std::string without_commas(std::string text) {
  std::string kept;
  for (char c : text) {
    if (c != ',') kept += c;
  }
  return kept;
}

// Every peer must show what we show (snprintf has no grouping: compared without commas and
// right-aligned), or the figures would compare unlike work.
bool results_agree() {
  for (std::size_t i = 0; i < kInputs; ++i) {
    const std::string ours = text_of(kestrel_amount, i);
    const std::string plain = without_commas(ours);
    const std::string padded_plain = std::string(ours.size() - plain.size(), ' ') + plain;
    const std::string date = text_of(kestrel_date, i);
    if (kestrel_decimal_amount(i) != ours || text_of(fmt_amount, i) != ours ||
        text_of(snprintf_amount, i) != padded_plain || text_of(fmt_date, i) != date ||
        text_of(snprintf_date, i) != date) {
      std::fprintf(stderr, "disagree at %zu: '%s' '%s' '%s' '%s' / '%s' '%s'\n", i, ours.c_str(),
                   kestrel_decimal_amount(i).c_str(), text_of(fmt_amount, i).c_str(),
                   text_of(snprintf_amount, i).c_str(), date.c_str(), text_of(fmt_date, i).c_str());
      return false;
    }
  }
  return true;
}

void BM_AmountFromDecimal_Kestrel(benchmark::State& state) {
  const Inputs& in = inputs();
  std::size_t index = 0;
  for (auto _ : state) {
    kes::numeric::decimal_push(in.decimals[index]);
    Kes$PushPictDec("@N12.2");
    benchmark::DoNotOptimize(kes::runtime::top_text().data());
    kes::runtime::pop_discard();
    index = (index + 1) & (kInputs - 1);
  }
}
BENCHMARK(BM_AmountFromDecimal_Kestrel);

template <Writer write>
void BM_Write(benchmark::State& state) {
  const Inputs& in = inputs();
  char out[32];
  std::size_t index = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(write(out, in, index));
    benchmark::DoNotOptimize(out);
    index = (index + 1) & (kInputs - 1);
  }
}
// The peers format the same REAL whether ours starts from the decimal stack or from a REAL.
BENCHMARK(BM_Write<kestrel_amount>)->Name("BM_AmountFromReal_Kestrel");
BENCHMARK(BM_Write<snprintf_amount>)->Name("BM_AmountFromDecimal_Snprintf");
BENCHMARK(BM_Write<snprintf_amount>)->Name("BM_AmountFromReal_Snprintf");
BENCHMARK(BM_Write<fmt_amount>)->Name("BM_AmountFromDecimal_Fmt");
BENCHMARK(BM_Write<fmt_amount>)->Name("BM_AmountFromReal_Fmt");
BENCHMARK(BM_Write<kestrel_date>)->Name("BM_Date_Kestrel");
BENCHMARK(BM_Write<snprintf_date>)->Name("BM_Date_Snprintf");
BENCHMARK(BM_Write<fmt_date>)->Name("BM_Date_Fmt");

}  // namespace

int main(int argc, char** argv) { return kes::bench::run_benchmarks(argc, argv, results_agree()); }

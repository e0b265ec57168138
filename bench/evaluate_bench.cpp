// EVALUATE beside muparser on typical filter expressions: parse plus evaluation, and evaluation
// of an already parsed tree. Constant rows use literals only; field rows read LONG, REAL and
// DECIMAL fields bound through their value descriptors (muparser reads doubles).
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <muParser.h>
#include <string>
#include <vector>

#include <kestrel/evaluate.h>
#include <kestrel/values.h>

#include <benchmark/benchmark.h>

#include "bench/support/ratio_report.h"
#include "data/evaluate/bind_scopes.h"
#include "data/evaluate/expression_parser.h"
#include "runtime/builtins/string_builtins.h"
#include "runtime/stack/string_stack.h"

namespace {

namespace data = kes::data;
namespace rt = kes::runtime;

std::int32_t g_count = 4;
double g_amount = 1250.75;
std::uint8_t g_price[5] = {0x00, 0x00, 0x01, 0x99, 0x95};     // DECIMAL(9,2) 199.95
std::uint8_t g_discount[5] = {0x00, 0x00, 0x00, 0x12, 0x50};  // 12.50
double g_price_real = 199.95;
double g_discount_real = 12.5;
double g_count_real = 4;

struct Workload {
  const char* name;
  const char* ours;
  const char* peer;
};

constexpr Workload kWorkloads[] = {
    {"ConstAndOr", "3 > 1 AND 2 < 5 OR 4 = 7", "3 > 1 && 2 < 5 || 4 == 7"},
    {"ConstArithmetic", "(1234.56 * 3 - 100.25) / 7 + 2.5^2", "(1234.56 * 3 - 100.25) / 7 + 2.5^2"},
    {"ConstStringBuiltin", "LEN(CLIP('Kestrel   ')) + 1", "clen(\"Kestrel   \") + 1"},
    {"FieldsAndOr", "Amount > 1000 AND Count < 5 OR Count = 7",
     "amount > 1000 && count < 5 || count == 7"},
    {"FieldsDecimal", "Price * Count - Discount > 500", "price * count - discount > 500"},
    {"FieldsStringBuiltin", "LEN(CLIP('Kestrel   ')) + Count > 10",
     "clen(\"Kestrel   \") + count > 10"},
};

// muparser's counterpart of LEN(CLIP(text)).
mu::value_type clipped_length(const char* text) {
  std::size_t length = std::strlen(text);
  while (length > 0 && text[length - 1] == ' ')
    --length;
  return static_cast<mu::value_type>(length);
}

void bind(const char* name, Ufo* ufo) {
  rt::push_reference(name);
  Kes$BindV(ufo);
  Kes$FreeUfo(ufo);
}

void bind_fields() {
  bind("Count", Kes$Mem2Ufo(&g_count, 6, 4, 0));
  bind("Amount", Kes$Mem2Ufo(&g_amount, 9, 8, 0));
  bind("Price", Kes$Mem2Ufo(g_price, 10, 5 | (2 << 8), 0));
  bind("Discount", Kes$Mem2Ufo(g_discount, 10, 5 | (2 << 8), 0));
}

std::unique_ptr<mu::Parser> make_peer(const char* text) {
  auto parser = std::make_unique<mu::Parser>();
  parser->DefineVar("count", &g_count_real);
  parser->DefineVar("amount", &g_amount);
  parser->DefineVar("price", &g_price_real);
  parser->DefineVar("discount", &g_discount_real);
  parser->DefineFun("clen", clipped_length);
  parser->SetExpr(text);
  return parser;
}

double ours_value(const char* text) {
  const data::ParseResult parsed = data::parse_expression(data::bind_scopes(), text, false);
  return parsed.tree == nullptr ? NAN : parsed.tree->real();
}

void run_ours_parse(benchmark::State& state, const Workload& load) {
  for (auto _ : state) {
    const data::ParseResult parsed = data::parse_expression(data::bind_scopes(), load.ours, true);
    benchmark::DoNotOptimize(parsed.tree->real());
  }
}

void run_ours_eval(benchmark::State& state, const Workload& load) {
  const data::ParseResult parsed = data::parse_expression(data::bind_scopes(), load.ours, true);
  for (auto _ : state)
    benchmark::DoNotOptimize(parsed.tree->real());
}

void run_peer_parse(benchmark::State& state, const Workload& load) {
  const std::unique_ptr<mu::Parser> parser = make_peer(load.peer);
  for (auto _ : state) {
    parser->SetExpr(load.peer);
    benchmark::DoNotOptimize(parser->Eval());
  }
}

void run_peer_eval(benchmark::State& state, const Workload& load) {
  const std::unique_ptr<mu::Parser> parser = make_peer(load.peer);
  parser->Eval();
  for (auto _ : state)
    benchmark::DoNotOptimize(parser->Eval());
}

}  // namespace

int main(int argc, char** argv) {
  bind_fields();
  bool agree = true;
  for (const Workload& load : kWorkloads) {
    const double ours = ours_value(load.ours);
    const double theirs = make_peer(load.peer)->Eval();
    if (!(std::fabs(ours - theirs) <= 1e-9 * std::fmax(1.0, std::fabs(ours)))) {
      std::fprintf(stderr, "%s: Kestrel %.17g, muparser %.17g\n", load.name, ours, theirs);
      agree = false;
    }
    const std::string base = std::string("BM_") + load.name;
    benchmark::RegisterBenchmark((base + "ParseEval_Kestrel").c_str(), run_ours_parse, load);
    benchmark::RegisterBenchmark((base + "ParseEval_MuParser").c_str(), run_peer_parse, load);
    benchmark::RegisterBenchmark((base + "Eval_Kestrel").c_str(), run_ours_eval, load);
    benchmark::RegisterBenchmark((base + "Eval_MuParser").c_str(), run_peer_eval, load);
  }
  return kes::bench::run_benchmarks(argc, argv, agree);
}

// Expressions over a few bound names either parse or give error 800 or 801; a tree is evaluated,
// annotated and printed as SQL, and its printed text parses again to a tree of the same height.
#include <memory>
#include <string>

#include <kestrel/errors.h>
#include <kestrel/evaluate.h>

#include "data/evaluate/bind_scopes.h"
#include "data/evaluate/expression_node.h"
#include "data/evaluate/expression_parser.h"
#include "tests/fuzz/support/fuzz_check.h"

namespace {

namespace data = kes::data;
namespace rt = kes::runtime;
using kes::fuzz::check;

// A variable of the fuzzer: a LONG, a REAL or a STRING.
struct Variable final : data::BoundValue {
  explicit Variable(std::uint8_t code) : type(code) {}
  std::uint8_t type;
  std::uint8_t type_code() const noexcept override { return type; }
  void push() const noexcept override {
    if (type == 18) {
      rt::push_reference("Kestrel  ");
    } else if (type == 9) {
      rt::push_real(-12.5);
    } else {
      rt::push_long(42);
    }
  }
  std::int32_t to_long() const noexcept override { return type == 9 ? -12 : 42; }
  double to_real() const noexcept override { return type == 9 ? -12.5 : 42.0; }
  bool is_null() const noexcept override { return false; }
  const void* address() const noexcept override { return this; }
  void* descriptor() const noexcept override { return const_cast<Variable*>(this); }
  std::unique_ptr<data::BoundValue> clone() const override {
    return std::make_unique<Variable>(type);
  }
  std::unique_ptr<data::BoundValue> element(std::uint32_t) const override { return nullptr; }
};

// A bound procedure of two texts that gives a text.
void joined() {
  rt::pop_discard();
  rt::pop_discard();
  rt::push_reference("joined");
}

std::int32_t column(void*, const void*, std::uint8_t type, char* out, std::uint32_t capacity) {
  if (type != 18 || capacity < 4) return -1;  // only the STRING variable is a column
  std::memcpy(out, "NAME", 4);
  return 4;
}
std::int32_t date_text(void*, std::int32_t, char* out, std::uint32_t capacity) {
  if (capacity < 1) return -1;
  out[0] = 'D';
  return 1;
}
std::int32_t level_of(void* descriptor) { return static_cast<Variable*>(descriptor)->type % 3; }

void bind_names() {
  data::BindScopes& scopes = data::bind_scopes();
  data::bind_variable(scopes, "Count", std::make_unique<Variable>(6));
  data::bind_variable(scopes, "Amount", std::make_unique<Variable>(9));
  data::bind_variable(scopes, "Name", std::make_unique<Variable>(18));
  data::bind_procedure(scopes, "Join", joined, 2, 18);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 4096) return 0;
  [[maybe_unused]] static const bool bound = (bind_names(), true);
  const kes::fuzz::StackDepths depths;
  const std::string text(reinterpret_cast<const char*>(data), size);

  KesExpression* tree = Kes$ParseCString(text.c_str());
  if (tree == nullptr) {
    check(Kes$ERRCODE == 800 || Kes$ERRCODE == 801);
  } else {
    check(Kes$ERRCODE == 0);
    Kes$EvaluateParsed(tree);
    check(rt::string_stack_depth() == depths.strings + 1);
    rt::pop_discard();
    check(Kes$EvalR(tree) <= 1);
    check(Kes$EvalS(tree, 1) <= 2);
    check(Kes$AnnotateParsed(&tree, level_of) <= 2);
    const KesSqlCallback callback{nullptr, column, date_text, date_text, nullptr};
    for (const char* sql : {Kes$PrintSQL(tree, &callback), Kes$PrintSQLOrder(tree, &callback)})
      check(sql == nullptr || std::strlen(sql) < 32000);
    const auto* node = reinterpret_cast<const data::Node*>(tree);
    if (node->height() < 100 && text.find('@') == std::string::npos) {
      std::string printed;
      node->write_text(printed);
      const data::ParseResult again = data::parse_expression(data::bind_scopes(), printed, true);
      check(again.tree != nullptr && again.tree->height() == node->height());
    }
    Kes$FreeParsed(tree);
  }
  // EVALUATE of the same text (cut at a zero byte, as the program's text would be).
  rt::push_reference(text);
  Kes$Evaluate();
  check(rt::string_stack_depth() == depths.strings + 1);
  rt::pop_discard();
  depths.check_kept();
  return 0;
}

// The BIND and EVALUATE exports: each adapts the calling contract (names and texts on the
// string stack, the error state, the tree handle) and calls one internal operation.
#include <cstring>
#include <string>

#include <kestrel/evaluate.h>

#include "data/evaluate/bind_scopes.h"
#include "data/evaluate/evaluate.h"
#include "data/evaluate/expression_parser.h"
#include "data/evaluate/sql_printer.h"
#include "data/evaluate/ufo_value.h"
#include "files/errors/error_state.h"
#include "platform/core/heap.h"
#include "runtime/fatal/fatal.h"
#include "runtime/stack/string_stack.h"

namespace data = kes::data;
namespace files = kes::files;
namespace rt = kes::runtime;

namespace {

data::Node* node_of(KesExpression* tree) noexcept { return reinterpret_cast<data::Node*>(tree); }
KesExpression* handle_of(data::NodePtr tree) noexcept {
  return reinterpret_cast<KesExpression*>(tree.release());
}

// Pops the name on top of the string stack.
std::string pop_name() {
  std::string name(rt::top_text());
  rt::pop_discard();
  return name;
}

// Posts a parse failure: 801 names the unbound variable in the ERROR() text.
void report(files::ErrorScope& errors, const data::ParseResult& result) noexcept {
  errors.report(result.error);
  if (result.error == files::ErrorCode::NoBind)
    files::append_error_text(" (" + result.unbound_name + ")");
}

KesExpression* parse(std::string_view text, bool whole, std::size_t* consumed) noexcept {
  files::ErrorScope errors;
  data::ParseResult result = data::parse_expression(data::bind_scopes(), text, whole);
  report(errors, result);
  if (consumed != nullptr) *consumed = result.consumed;
  return handle_of(std::move(result.tree));
}

}  // namespace

extern "C" void Kes$BindV(const Ufo* variable) noexcept {
  const std::string name = pop_name();
  data::bind_variable(data::bind_scopes(), name, data::bound_ufo(variable));
}

extern "C" void Kes$BindP(KesBoundProcedure procedure, int32_t parameter_count,
                          uint8_t return_type) noexcept {
  const std::string name = pop_name();
  data::bind_procedure(data::bind_scopes(), name, procedure, parameter_count, return_type);
}

extern "C" void Kes$UnbindV() noexcept {
  files::ErrorScope errors;
  const std::string name = pop_name();
  if (data::unbind_name(data::bind_scopes(), name)) return;
  errors.report(files::ErrorCode::NoBind);
  files::append_error_text(" (" + name + ")");
}

extern "C" void Kes$UnbindA() noexcept { data::unbind_all(data::bind_scopes()); }
extern "C" void Kes$PushBind() noexcept { data::push_scope(data::bind_scopes(), false); }
extern "C" void Kes$PushBind2(int32_t inherit) noexcept {
  data::push_scope(data::bind_scopes(), inherit != 0);
}

extern "C" void Kes$PopBind() noexcept {
  if (!data::pop_scope(data::bind_scopes()))
    rt::fatal(static_cast<rt::RuntimeError>(files::ErrorCode::ScopeMismatch));
}

extern "C" void Kes$Evaluate() noexcept {
  files::ErrorScope errors;
  const rt::HeapText text = rt::pop_to_heap();
  const data::ParseResult result = data::evaluate_text({text.pointer, text.length});
  kes::platform::heap_free(text.pointer);
  report(errors, result);
}

extern "C" KesExpression* Kes$ParseCString(const char* text) noexcept {
  return parse(text == nullptr ? std::string_view() : std::string_view(text), true, nullptr);
}

extern "C" KesExpression* Kes$ParseCStringR(const char** text) noexcept {
  if (text == nullptr || *text == nullptr) return parse({}, false, nullptr);
  std::size_t consumed = 0;
  KesExpression* tree = parse(*text, false, &consumed);
  if (tree != nullptr) *text += consumed;
  return tree;
}

extern "C" void Kes$EvaluateParsed(KesExpression* tree) noexcept {
  data::push_tree_value(node_of(tree));
}

extern "C" int32_t Kes$EvalR(KesExpression* tree) noexcept {
  return data::tree_truth(node_of(tree)) ? 1 : 0;
}

extern "C" int32_t Kes$EvalS(KesExpression* tree, int32_t level) noexcept {
  return data::tree_decision(node_of(tree), level);
}

extern "C" int32_t Kes$AnnotateParsed(KesExpression** tree, KesLevelProcedure procedure) noexcept {
  if (tree == nullptr) return data::kUndecided;
  data::NodePtr owned(node_of(*tree));
  const int answer = data::annotate_tree(owned, procedure);
  *tree = handle_of(std::move(owned));
  return answer;
}

extern "C" const char* Kes$PrintSQL(KesExpression* tree, const KesSqlCallback* callback) noexcept {
  if (tree == nullptr || callback == nullptr) return nullptr;
  return data::print_sql(*node_of(tree), *callback, false);
}

extern "C" const char* Kes$PrintSQLOrder(KesExpression* tree,
                                         const KesSqlCallback* callback) noexcept {
  if (tree == nullptr || callback == nullptr) return nullptr;
  return data::print_sql(*node_of(tree), *callback, true);
}

extern "C" void Kes$FreeParsed(KesExpression* tree) noexcept { delete node_of(tree); }

extern "C" Ufo* Kes$EvaluateVariable(const char* name) noexcept {
  if (name == nullptr) return nullptr;
  const data::NameLookup found = data::look_up_name(data::bind_scopes(), name);
  if (found.kind != data::NameLookup::Variable) return nullptr;
  return static_cast<Ufo*>(found.symbol->value->descriptor())->AClone(0);
}

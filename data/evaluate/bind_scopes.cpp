// The symbol tables of BIND and their scopes.
#include "data/evaluate/bind_scopes.h"

#include "data/evaluate/names.h"

namespace kes::data {

namespace {

constexpr std::string_view kSentinelName = "MMMMMMM";

struct Keyword {
  const char* name;
  Operator op;
};
constexpr Keyword kKeywords[] = {
    {"AND", Operator::And},
    {"NOT", Operator::Not},
    {"OR", Operator::Or},
    {"XOR", Operator::Xor},
};

BindScopes* g_scopes = nullptr;

Symbol* new_sentinel() {
  auto* root = new Symbol;
  root->name = kSentinelName;
  return root;
}

// Destroys a tree without recursion: a program may bind names in an order that makes the tree
// a long chain.
void destroy_tree(Symbol* root) noexcept {
  std::vector<Symbol*> pending;
  if (root != nullptr) pending.push_back(root);
  while (!pending.empty()) {
    Symbol* symbol = pending.back();
    pending.pop_back();
    if (symbol->smaller != nullptr) pending.push_back(symbol->smaller);
    if (symbol->larger != nullptr) pending.push_back(symbol->larger);
    delete symbol;
  }
}

const Symbol* find_in(const Symbol* node, std::string_view name) noexcept {
  while (node != nullptr) {
    const int order = compare_names(name, node->name);
    if (order == 0) return node->kind == SymbolKind::Sentinel ? nullptr : node;
    node = order < 0 ? node->smaller : node->larger;
  }
  return nullptr;
}

// The entry for `name` in the current scope, created when missing.
Symbol& entry_for(BindScopes& scopes, std::string_view name) {
  Symbol* node = scopes.scopes.back().root;
  for (;;) {
    const int order = compare_names(name, node->name);
    if (order == 0) return *node;
    Symbol*& next = order < 0 ? node->smaller : node->larger;
    if (next == nullptr) {
      next = new Symbol;
      next->name = name;
      return *next;
    }
    node = next;
  }
}

void clear_entry(Symbol& symbol) noexcept {
  symbol.kind = SymbolKind::Sentinel;
  symbol.value.reset();
  symbol.procedure = nullptr;
  symbol.argument_limit = 0;
}

}  // namespace

BindScopes::BindScopes() { scopes.push_back(Scope{new_sentinel(), true}); }

BindScopes::~BindScopes() {
  for (const Scope& scope : scopes)
    destroy_tree(scope.root);
}

BindScopes& bind_scopes() noexcept {
  if (g_scopes == nullptr) g_scopes = new BindScopes;
  return *g_scopes;
}

NameLookup look_up_name(const BindScopes& scopes, std::string_view name) noexcept {
  NameLookup result;
  const auto found = [&](const Symbol* symbol) {
    result.kind =
        symbol->kind == SymbolKind::Variable ? NameLookup::Variable : NameLookup::Procedure;
    result.symbol = symbol;
    return result;
  };
  const std::vector<Scope>& stack = scopes.scopes;
  if (const Symbol* symbol = find_in(stack.back().root, name)) return found(symbol);
  // Every scope carries the keywords and built-ins, so they hide the outer scopes' bindings.
  for (const Keyword& keyword : kKeywords) {
    if (compare_names(keyword.name, name) == 0) {
      result.kind = NameLookup::Keyword;
      result.op = keyword.op;
      return result;
    }
  }
  if (const BuiltinFunction* builtin = find_builtin(name)) {
    result.kind = NameLookup::Function;
    result.builtin = builtin;
    return result;
  }
  for (std::size_t index = stack.size() - 1; index > 0 && !stack[index].hides_outer; --index) {
    if (const Symbol* symbol = find_in(stack[index - 1].root, name)) return found(symbol);
  }
  return result;
}

std::string_view bind_name(std::string_view name) noexcept {
  const std::size_t length = name_length(name);
  return name.substr(0, length < kMaxNameLength ? length : kMaxNameLength);
}

void bind_variable(BindScopes& scopes, std::string_view name, std::unique_ptr<BoundValue> value) {
  const std::string_view cut = bind_name(name);
  if (cut.empty() || value == nullptr) return;
  Symbol& symbol = entry_for(scopes, cut);
  clear_entry(symbol);
  symbol.kind = SymbolKind::Variable;
  symbol.value_class = class_of_type(value->type_code());
  symbol.value = std::move(value);
}

void bind_procedure(BindScopes& scopes, std::string_view name, void (*procedure)(),
                    int parameter_count, std::uint8_t return_type) {
  const std::string_view cut = bind_name(name);
  if (cut.empty() || procedure == nullptr) return;
  Symbol& symbol = entry_for(scopes, cut);
  clear_entry(symbol);
  symbol.kind = SymbolKind::Procedure;
  symbol.procedure = procedure;
  symbol.argument_limit = parameter_count < 0               ? 0
                          : parameter_count > kMaxArguments ? kMaxArguments
                                                            : parameter_count;
  symbol.value_class = return_type == 6   ? ValueClass::Integer
                       : return_type == 9 ? ValueClass::Real
                                          : ValueClass::String;
}

bool unbind_name(BindScopes& scopes, std::string_view name) noexcept {
  Symbol* const root = scopes.scopes.back().root;
  Symbol* parent = nullptr;
  Symbol* node = root;
  while (node != nullptr) {
    const int order = compare_names(name, node->name);
    if (order == 0) break;
    parent = node;
    node = order < 0 ? node->smaller : node->larger;
  }
  if (node == nullptr || node->kind == SymbolKind::Sentinel) return false;
  if (node == root) {
    // The sentinel stays the root; only what was bound under its name goes.
    clear_entry(*node);
    return true;
  }
  if (node->smaller != nullptr && node->larger != nullptr) {
    // Two children: the next larger entry takes this one's place in the order.
    Symbol* successor_parent = node;
    Symbol* successor = node->larger;
    while (successor->smaller != nullptr) {
      successor_parent = successor;
      successor = successor->smaller;
    }
    node->name = std::move(successor->name);
    node->kind = successor->kind;
    node->value = std::move(successor->value);
    node->procedure = successor->procedure;
    node->argument_limit = successor->argument_limit;
    node->value_class = successor->value_class;
    parent = successor_parent;
    node = successor;
  }
  Symbol* const only_child = node->smaller != nullptr ? node->smaller : node->larger;
  (parent->smaller == node ? parent->smaller : parent->larger) = only_child;
  delete node;
  return true;
}

void unbind_all(BindScopes& scopes) noexcept {
  Symbol* const root = scopes.scopes.back().root;
  destroy_tree(root->smaller);
  destroy_tree(root->larger);
  root->smaller = nullptr;
  root->larger = nullptr;
  clear_entry(*root);
}

void push_scope(BindScopes& scopes, bool inherit) {
  scopes.scopes.push_back(Scope{new_sentinel(), !inherit});
}

bool pop_scope(BindScopes& scopes) noexcept {
  if (scopes.scopes.size() < 2) return false;
  destroy_tree(scopes.scopes.back().root);
  scopes.scopes.pop_back();
  return true;
}

BindScopes* save_bind_scopes() noexcept {
  BindScopes* const saved = g_scopes;
  g_scopes = nullptr;
  return saved;
}

void restore_bind_scopes(BindScopes* saved) noexcept {
  delete g_scopes;
  g_scopes = saved;
}

}  // namespace kes::data

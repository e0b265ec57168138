// The names that expressions can use: variables and procedures bound by the program in nested
// scopes (BIND, UNBIND, PUSHBIND, POPBIND), the keyword operators and the built-in functions.
//
// State: BindScopes is per-thread state. One copy is live; the thread layer saves the outgoing
// thread's with save_bind_scopes() and restores the incoming thread's with
// restore_bind_scopes() at each switch, so each thread binds and looks up in its own scopes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/evaluate/bound_value.h"
#include "data/evaluate/builtin_functions.h"
#include "data/evaluate/expression_node.h"

namespace kes::data {

enum class SymbolKind : std::uint8_t { Sentinel, Variable, Procedure };

// One entry of a scope's tree: an unbalanced binary search tree ordered by name without regard
// to case, whose root is the sentinel entry "MMMMMMM" so that names spread to both sides.
struct Symbol {
  std::string name;
  SymbolKind kind = SymbolKind::Sentinel;
  std::unique_ptr<BoundValue> value;  // variables: the clone the scope owns
  void (*procedure)() = nullptr;      // procedures
  int argument_limit = 0;             // procedures: the parameter count
  ValueClass value_class = ValueClass::String;
  Symbol* smaller = nullptr;
  Symbol* larger = nullptr;
};

struct Scope {
  Symbol* root = nullptr;   // the sentinel
  bool hides_outer = true;  // false: names not found here are looked up outward
};

// The scope stack of one thread: scopes.back() is the current scope, the others are the saved
// ones, innermost last. Created with the outermost scope on the first BIND or parse.
struct BindScopes {
  BindScopes();
  BindScopes(const BindScopes&) = delete;
  BindScopes& operator=(const BindScopes&) = delete;
  ~BindScopes();
  std::vector<Scope> scopes;
};

// The running thread's scopes, created when first needed.
BindScopes& bind_scopes() noexcept;

// What a name stands for.
struct NameLookup {
  enum Kind : std::uint8_t { Unknown, Keyword, Variable, Procedure, Function } kind = Unknown;
  Operator op = Operator::And;               // keywords
  const Symbol* symbol = nullptr;            // variables and procedures
  const BuiltinFunction* builtin = nullptr;  // built-in functions
};

// Looks `name` up: the current scope's bindings, then the keyword operators and built-ins that
// every scope carries, then the saved scopes from the most recent outward, stopping after the
// first scope that hides the ones around it.
NameLookup look_up_name(const BindScopes& scopes, std::string_view name) noexcept;

// The name that BIND uses: `name` cut at the first character that does not fit the name rule,
// and at 99 characters.
std::string_view bind_name(std::string_view name) noexcept;

// Binds a variable in the current scope, replacing an entry of the same name. The scope owns
// `value`. An empty name binds nothing.
void bind_variable(BindScopes& scopes, std::string_view name, std::unique_ptr<BoundValue> value);
// Binds a procedure of `parameter_count` parameters (at most kMaxArguments are passed); a
// return type code of 6 (LONG) gives integer results, 9 (REAL) real ones, any other text.
void bind_procedure(BindScopes& scopes, std::string_view name, void (*procedure)(),
                    int parameter_count, std::uint8_t return_type);
// Removes `name` from the current scope; false when the scope does not hold it.
bool unbind_name(BindScopes& scopes, std::string_view name) noexcept;
// Removes every binding of the current scope.
void unbind_all(BindScopes& scopes) noexcept;
// Opens a new empty scope; with `inherit` false it hides the enclosing scopes.
void push_scope(BindScopes& scopes, bool inherit);
// Discards the current scope with its bindings; false when there is no saved scope to return
// to (nothing changes then).
bool pop_scope(BindScopes& scopes) noexcept;

// Thread switch support: hands over the running thread's scopes (null when it has none) and
// leaves none; restore makes `saved` the running thread's scopes, destroying any it had.
BindScopes* save_bind_scopes() noexcept;
void restore_bind_scopes(BindScopes* saved) noexcept;

}  // namespace kes::data

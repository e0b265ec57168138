// The built-in functions of expressions: their table (name, largest argument count, result
// class) and the hooks through which services above this module answer GETINI.
//
// State: the table is constant; the GETINI handler is process-wide by design (the shared
// library's entry installs the INI service's GETINI once, when the library is loaded).
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "data/evaluate/expression_node.h"

namespace kes::data {

struct BuiltinFunction {
  const char* name;  // upper case
  Builtin function;
  std::uint8_t argument_limit;
  ValueClass value_class;
};

// The table, sorted by name.
std::span<const BuiltinFunction> builtin_functions() noexcept;

// The built-in called `name` (any case), or null.
const BuiltinFunction* find_builtin(std::string_view name) noexcept;

// GETINI(section, entry, default, file): the four texts are on the string stack, the section on
// top; the handler pops them and pushes the value. Until a handler is registered, GETINI gives
// its default.
using GetIniHandler = void (*)();
void set_getini_handler(GetIniHandler handler) noexcept;

// Most arguments a call takes (CHOOSE and INLIST, and bound procedures).
inline constexpr int kMaxArguments = 25;

}  // namespace kes::data

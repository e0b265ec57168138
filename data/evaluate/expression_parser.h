// The scanner and recursive-descent parser that turn an expression text into a tree. Expression
// texts come from users (report filters, computed columns), so every limit below turns hostile
// input into error 800 instead of exhausting the machine stack or the string stack.
//
// State: none beyond one parse; the names are looked up in the BIND scopes given.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "data/evaluate/bind_scopes.h"
#include "data/evaluate/expression_node.h"
#include "files/errors/error_state.h"

namespace kes::data {

// Deepest nesting of parentheses, brackets and argument lists.
inline constexpr int kMaxNesting = 200;
// Longest path from the root to a leaf of a tree; evaluation and destruction recurse along it.
inline constexpr int kMaxTreeHeight = 1000;
// Most string-stack entries one evaluation may hold at once (the whole stack).
inline constexpr int kMaxStackNeed = 32;
// Longest quoted text, picture and number.
inline constexpr std::size_t kMaxLiteralLength = 65535;
inline constexpr std::size_t kMaxPictureLength = 253;
inline constexpr std::size_t kMaxNumberLength = 64;

struct ParseResult {
  NodePtr tree;                                     // null on failure: no partial tree is kept
  files::ErrorCode error = files::ErrorCode::None;  // InvalidExpression or NoBind on failure
  std::string unbound_name;                         // the unknown name of a NoBind failure
  std::size_t consumed = 0;                         // offset of the first character not consumed
};

// Parses `text`. With `whole` the text must be one expression to its end; otherwise the longest
// leading expression is taken and `consumed` tells where it ended (the start of the token that
// stopped it).
//
// Failures: InvalidExpression for text that does not parse (unknown character or operator,
// unbalanced parentheses, an unterminated text or picture, trailing text, too many arguments)
// and for the limits above; NoBind for a name that no scope holds.
ParseResult parse_expression(const BindScopes& scopes, std::string_view text, bool whole);

}  // namespace kes::data

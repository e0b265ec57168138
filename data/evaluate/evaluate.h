// EVALUATE and the other operations on parsed trees: evaluation with a guard for the string
// stack's room, truth values, answers at a level and the levels pass.
//
// State: the level procedure of the last levels pass is process-wide by design (views ask for
// answers at a level after annotating); it is used only under the runtime lock.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "data/evaluate/expression_node.h"
#include "data/evaluate/expression_parser.h"

namespace kes::data {

// Pushes the tree's value as text, independent of the tree. Null, or a tree whose evaluation would
// need more entries than the string stack has free, pushes the empty text.
void push_tree_value(Node* tree) noexcept;
// The tree's truth after conversion to a condition; false for null or when the string stack has
// no room for the evaluation.
bool tree_truth(Node* tree) noexcept;
// The answer at `level` (kDecidedTrue, kDecidedFalse, kUndecided); kUndecided for null.
int tree_decision(Node* tree, int level) noexcept;
// Gives the tree its levels through `procedure` (kept for later calls) and returns the answer
// at level 0; kUndecided for null. The tree keeps its shape.
int annotate_tree(NodePtr& tree, LevelProcedure procedure) noexcept;

// EVALUATE of `text` (trailing spaces cut): pushes the value as text and returns None, or pushes
// the empty text and returns the parse failure.
ParseResult evaluate_text(std::string_view text);

}  // namespace kes::data

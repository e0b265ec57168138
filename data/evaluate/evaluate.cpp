// EVALUATE and the operations on parsed trees.
#include "data/evaluate/evaluate.h"

#include "data/evaluate/bind_scopes.h"
#include "runtime/stack/string_stack.h"
#include "runtime/stack/string_store.h"

namespace kes::data {

namespace rt = kes::runtime;

namespace {

LevelProcedure g_level_procedure = nullptr;

bool has_room(const Node& tree) noexcept {
  return rt::string_stack_depth() + tree.stack_need() <= rt::kStringStackCapacity;
}

}  // namespace

void push_tree_value(Node* tree) noexcept {
  if (tree == nullptr || !has_room(*tree)) {
    rt::push_reference({});
    return;
  }
  tree->push();
  // The value may refer to the tree's own texts (constants, folded results); the tree may go
  // before the value is popped.
  rt::make_top_self_contained();
}

bool tree_truth(Node* tree) noexcept { return tree != nullptr && has_room(*tree) && tree->truth(); }

int tree_decision(Node* tree, int level) noexcept {
  if (tree == nullptr || !has_room(*tree)) return kUndecided;
  return tree->decide(level);
}

int annotate_tree(NodePtr& tree, LevelProcedure procedure) noexcept {
  g_level_procedure = procedure;
  if (tree == nullptr) return kUndecided;
  tree->annotate(procedure);
  return tree_decision(tree.get(), 0);
}

ParseResult evaluate_text(std::string_view text) {
  text = text.substr(0, rt::clipped_length(text.data(), static_cast<std::uint32_t>(text.size())));
  ParseResult parsed = parse_expression(bind_scopes(), text, true);
  push_tree_value(parsed.tree.get());
  parsed.tree.reset();
  return parsed;
}

}  // namespace kes::data

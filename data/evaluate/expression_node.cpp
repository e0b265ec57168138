// Evaluation of the expression nodes, and their text and dump forms.
#include "data/evaluate/expression_node.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include <kestrel/maths.h>

#include "runtime/builtins/string_builtins.h"
#include "runtime/stack/string_stack.h"

namespace kes::data {

namespace rt = kes::runtime;

namespace {

const char* operator_text(Operator op) noexcept {
  switch (op) {
    case Operator::Power: return "^";
    case Operator::Multiply: return "*";
    case Operator::Divide: return "/";
    case Operator::Modulo: return "%";
    case Operator::Negate: return "-";
    case Operator::Add: return "+";
    case Operator::Subtract: return "-";
    case Operator::Concat: return "&";
    case Operator::Equal: return "=";
    case Operator::NotEqual: return "<>";
    case Operator::Less: return "<";
    case Operator::Greater: return ">";
    case Operator::LessEqual: return "<=";
    case Operator::GreaterEqual: return ">=";
    case Operator::Not: return "NOT";
    case Operator::And: return "AND";
    case Operator::Or: return "OR";
    case Operator::Xor: return "XOR";
    default: return "?";
  }
}

const char* operator_dump_name(Operator op) noexcept {
  switch (op) {
    case Operator::Power: return "pow";
    case Operator::Multiply: return "mul";
    case Operator::Divide: return "div";
    case Operator::Modulo: return "mod";
    case Operator::Negate: return "neg";
    case Operator::Add: return "add";
    case Operator::Subtract: return "sub";
    case Operator::Concat: return "cat";
    case Operator::Equal: return "eq";
    case Operator::NotEqual: return "ne";
    case Operator::Less: return "lt";
    case Operator::Greater: return "gt";
    case Operator::LessEqual: return "le";
    case Operator::GreaterEqual: return "ge";
    case Operator::Not: return "not";
    case Operator::And: return "and";
    case Operator::Or: return "or";
    case Operator::Xor: return "xor";
    default: return "?";
  }
}

void append_quoted(std::string& out, const std::string& text) {
  out += '\'';
  for (const char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  out += '\'';
}

// Pushes a real result; a negative zero (-0 * 1) reads as 0, not "-0".
void push_real_value(double value) noexcept { rt::push_real(value == 0.0 ? 0.0 : value); }

// Truth of a real: any value but zero.
bool real_truth(double value) noexcept { return value != 0.0; }

}  // namespace

// ---- Conversions every node shares.

std::int32_t Node::integer() noexcept {
  switch (value_class_) {
    case ValueClass::Condition: return truth() ? 1 : 0;
    case ValueClass::String:
    case ValueClass::Picture: push(); return rt::pop_long();
    default: return Kes$lroundd(real());
  }
}

double Node::real() noexcept {
  switch (value_class_) {
    case ValueClass::Condition: return truth() ? 1.0 : 0.0;
    case ValueClass::Integer: return integer();
    default: push(); return rt::pop_real();
  }
}

void Node::push() noexcept {
  switch (value_class_) {
    case ValueClass::Condition: rt::push_bool(truth() ? 1 : 0); return;
    case ValueClass::Integer: rt::push_long(integer()); return;
    default: push_real_value(real()); return;
  }
}

bool Node::truth() noexcept {
  switch (value_class_) {
    case ValueClass::Integer: return integer() != 0;
    case ValueClass::Real: return real_truth(real());
    default: push(); return rt::truth_pop() != 0;
  }
}

int Node::decide(int level) noexcept {
  if (level_ > level) return kUndecided;
  return truth() ? kDecidedTrue : kDecidedFalse;
}

int Node::annotate(LevelProcedure procedure) noexcept {
  int level = own_level(procedure);
  for (int index = 0; index < child_count(); ++index)
    level = std::max(level, child(index)->annotate(procedure));
  level_ = level;
  return level;
}

void Node::measure() noexcept {
  int height = 0;
  int need = 0;
  const int count = child_count();
  for (int index = 0; index < count; ++index) {
    const Node* node = child(index);
    height = std::max(height, node->height());
    need = std::max(need, node->stack_need());
  }
  // A node that keeps earlier results on the stack may hold all but one of them under the
  // deepest child; counted as if every child were the deepest.
  if (stacks_children() && count > 1) need += count - 1;
  height_ = height + 1;
  stack_need_ = std::max(need, own_need());
}

namespace {

// A number known when parsed: a numeric constant, or a folded node with a numeric result.
bool is_known_number(const Node& node) noexcept {
  const ValueClass value_class = node.value_class();
  if (node.category() == NodeCategory::Constant)
    return value_class == ValueClass::Integer || value_class == ValueClass::Real;
  return node.folded() && value_class != ValueClass::String && value_class != ValueClass::Picture;
}

}  // namespace

void Node::fold() noexcept {
  if (category_ != NodeCategory::Unary && category_ != NodeCategory::Binary) return;
  // Texts stay: "&" makes new text, and comparing texts follows the collation of the moment.
  if (value_class_ == ValueClass::String) return;
  for (int index = 0; index < child_count(); ++index) {
    if (!is_known_number(*child(index))) return;
  }
  const double value = value_class_ == ValueClass::Condition ? (truth() ? 1.0 : 0.0) : real();
  folded_value_ = value;
  folded_ = true;
}

// ---- Constants.

void IntegerConstant::write_text(std::string& out) const { out += std::to_string(value_); }
void IntegerConstant::write_dump(std::string& out) const {
  out += "num ";
  out += std::to_string(value_);
}

void append_real_literal(std::string& out, double value) {
  char digits[64];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  std::string text(digits, result.ptr);
  const std::size_t exponent = text.find('e');
  std::string mantissa = text.substr(0, exponent);
  if (mantissa.find('.') == std::string::npos) mantissa += ".0";
  out += mantissa;
  if (exponent != std::string::npos) {
    out += 'e';
    const std::string power = text.substr(exponent + 1);
    out += power[0] == '+' ? power.substr(1) : power;
  }
}

void RealConstant::write_text(std::string& out) const { append_real_literal(out, value_); }
void RealConstant::write_dump(std::string& out) const {
  out += "real ";
  append_real_literal(out, value_);
}

void TextConstant::push() noexcept { rt::push_reference(text_); }
void TextConstant::write_text(std::string& out) const {
  if (value_class() == ValueClass::Picture) {
    out += text_;
    out += ' ';  // a picture ends at a blank
  } else {
    append_quoted(out, text_);
  }
}
void TextConstant::write_dump(std::string& out) const {
  if (value_class() == ValueClass::Picture) {
    out += "pic ";
    out += text_;
  } else {
    out += "str ";
    append_quoted(out, text_);
  }
}

// ---- Variables.

ValueClass class_of_type(std::uint8_t type_code) noexcept {
  if (type_code <= 6) return ValueClass::Integer;
  if (type_code <= 17) return ValueClass::Real;
  return ValueClass::String;
}

VariableNode::VariableNode(std::string name, std::unique_ptr<BoundValue> value) noexcept
    : Node(NodeCategory::Variable, class_of_type(value->type_code())),
      name_(std::move(name)),
      value_(std::move(value)) {}

std::int32_t VariableNode::integer() noexcept {
  return value_class() == ValueClass::String ? Node::integer() : value_->to_long();
}
double VariableNode::real() noexcept {
  return value_class() == ValueClass::String ? Node::real() : value_->to_real();
}
void VariableNode::push() noexcept { value_->push(); }
bool VariableNode::truth() noexcept {
  switch (value_class()) {
    case ValueClass::Integer: return value_->to_long() != 0;
    case ValueClass::Real: return real_truth(value_->to_real());
    default: return Node::truth();
  }
}
int VariableNode::own_level(LevelProcedure procedure) noexcept {
  return procedure == nullptr ? 0 : procedure(value_->descriptor());
}
void VariableNode::write_text(std::string& out) const { out += name_; }
void VariableNode::write_dump(std::string& out) const {
  out += "var ";
  out += name_;
}

namespace {

// The class of the elements of `value` after `depth` subscripts. When the dimensions end
// before the subscripts do, `pick_at` is the subscript that picks a character instead.
ValueClass element_class(const BoundValue& value, std::size_t depth, std::size_t& pick_at) {
  std::unique_ptr<BoundValue> current = value.clone();
  for (std::size_t index = 0; index < depth; ++index) {
    std::unique_ptr<BoundValue> next = current->element(1);
    if (next == nullptr) {
      pick_at = index;
      return ValueClass::String;
    }
    current = std::move(next);
  }
  pick_at = depth;
  return class_of_type(current->type_code());
}

}  // namespace

SubscriptNode::SubscriptNode(std::unique_ptr<VariableNode> base,
                             std::vector<NodePtr> indexes) noexcept
    : Node(NodeCategory::Slice, ValueClass::String),
      base_(std::move(base)),
      indexes_(std::move(indexes)),
      pick_at_(0) {
  set_value_class(element_class(base_->value(), indexes_.size(), pick_at_));
}

bool SubscriptNode::well_formed() const noexcept {
  // A character pick is the last subscript or none.
  return pick_at_ + 1 >= indexes_.size();
}

Node* SubscriptNode::child(int index) const noexcept {
  return index == 0 ? base_.get() : indexes_[static_cast<std::size_t>(index - 1)].get();
}

std::unique_ptr<BoundValue> SubscriptNode::select(std::int32_t& character) noexcept {
  std::unique_ptr<BoundValue> current = base_->value().clone();
  character = 0;
  for (std::size_t index = 0; index < indexes_.size(); ++index) {
    const std::int32_t position = indexes_[index]->integer();
    if (position < 1) return nullptr;
    if (index == pick_at_) {
      character = position;
      return current;
    }
    std::unique_ptr<BoundValue> next = current->element(static_cast<std::uint32_t>(position));
    if (next == nullptr) return nullptr;
    current = std::move(next);
  }
  return current;
}

void SubscriptNode::push() noexcept {
  std::int32_t character = 0;
  const std::unique_ptr<BoundValue> selected = select(character);
  if (selected == nullptr) {
    rt::push_reference({});
    return;
  }
  selected->push();
  if (character > 0) rt::sub_top(character, 1);
}

std::int32_t SubscriptNode::integer() noexcept {
  if (value_class() == ValueClass::String) return Node::integer();
  std::int32_t character = 0;
  const std::unique_ptr<BoundValue> selected = select(character);
  if (selected == nullptr) return 0;
  return value_class() == ValueClass::Integer ? selected->to_long()
                                              : Kes$lroundd(selected->to_real());
}

double SubscriptNode::real() noexcept {
  if (value_class() == ValueClass::String) return Node::real();
  std::int32_t character = 0;
  const std::unique_ptr<BoundValue> selected = select(character);
  return selected == nullptr ? 0.0 : selected->to_real();
}

bool SubscriptNode::truth() noexcept {
  if (value_class() == ValueClass::String) return Node::truth();
  return real_truth(real());
}

void SubscriptNode::write_open_text(std::string& out) const {
  base_->write_text(out);
  out += '[';
  for (std::size_t index = 0; index < indexes_.size(); ++index) {
    if (index > 0) out += ',';
    indexes_[index]->write_text(out);
  }
}

void SubscriptNode::write_text(std::string& out) const {
  write_open_text(out);
  out += ']';
}

void SubscriptNode::write_dump(std::string& out) const {
  out += "index(";
  base_->write_dump(out);
  for (const NodePtr& index : indexes_) {
    out += ',';
    index->write_dump(out);
  }
  out += ')';
}

SliceNode::SliceNode(NodePtr base, NodePtr start, NodePtr end) noexcept
    : Node(NodeCategory::Slice, ValueClass::String),
      base_(std::move(base)),
      start_(std::move(start)),
      end_(std::move(end)) {}

Node* SliceNode::child(int index) const noexcept {
  return index == 0 ? base_.get() : index == 1 ? start_.get() : end_.get();
}

void SliceNode::push() noexcept {
  base_->push();
  const std::int64_t start = start_->integer();
  const std::int64_t end = end_->integer();
  if (start < 1 || end < start) {
    // An empty or reversed range is the empty text.
    rt::sub_top(1, 0);
    return;
  }
  rt::sub_top(static_cast<std::int32_t>(start),
              static_cast<std::int32_t>(std::min<std::int64_t>(end - start + 1, INT32_MAX)));
}

void SliceNode::write_text(std::string& out) const {
  // Subscripts and the slice share one pair of brackets: a[2,3 : 5].
  if (const auto* element = dynamic_cast<const SubscriptNode*>(base_.get())) {
    element->write_open_text(out);
    out += ',';
  } else {
    base_->write_text(out);
    out += '[';
  }
  start_->write_text(out);
  out += " : ";  // ":" would continue a name
  end_->write_text(out);
  out += ']';
}

void SliceNode::write_dump(std::string& out) const {
  out += "slice(";
  base_->write_dump(out);
  out += ',';
  start_->write_dump(out);
  out += ',';
  end_->write_dump(out);
  out += ')';
}

// ---- Operators.

UnaryNode::UnaryNode(Operator op, NodePtr operand) noexcept
    : Node(NodeCategory::Unary, op == Operator::Not ? ValueClass::Condition : ValueClass::Real),
      op_(op),
      operand_(std::move(operand)) {}

double UnaryNode::real() noexcept {
  if (folded_) return folded_value_;
  if (op_ == Operator::Not) return Node::real();
  return -operand_->real();
}

bool UnaryNode::truth() noexcept {
  if (folded_) return folded_value_ != 0.0;
  if (op_ == Operator::Not) return !operand_->truth();
  return real_truth(real());
}

int UnaryNode::decide(int level) noexcept {
  if (op_ != Operator::Not) return Node::decide(level);
  const int answer = operand_->decide(level);
  if (answer == kUndecided) return kUndecided;
  return answer == kDecidedTrue ? kDecidedFalse : kDecidedTrue;
}

void UnaryNode::write_text(std::string& out) const {
  out += op_ == Operator::Not ? "(NOT " : "(-";
  operand_->write_text(out);
  out += ')';
}

void UnaryNode::write_dump(std::string& out) const {
  out += operator_dump_name(op_);
  out += '(';
  operand_->write_dump(out);
  out += ')';
}

ValueClass class_of_operator(Operator op) noexcept {
  switch (op) {
    case Operator::Concat: return ValueClass::String;
    case Operator::Equal:
    case Operator::NotEqual:
    case Operator::Less:
    case Operator::Greater:
    case Operator::LessEqual:
    case Operator::GreaterEqual:
    case Operator::And:
    case Operator::Or:
    case Operator::Xor:
    case Operator::Not: return ValueClass::Condition;
    default: return ValueClass::Real;
  }
}

BinaryNode::BinaryNode(Operator op, NodePtr left, NodePtr right) noexcept
    : Node(NodeCategory::Binary, class_of_operator(op)),
      op_(op),
      left_(std::move(left)),
      right_(std::move(right)) {}

bool BinaryNode::stacks_children() const noexcept {
  return op_ == Operator::Concat || class_of_operator(op_) == ValueClass::Condition;
}

double BinaryNode::real() noexcept {
  if (folded_) return folded_value_;
  switch (op_) {
    case Operator::Power: {
      const double base = left_->real();
      return Kes$realpower(base, right_->real());
    }
    case Operator::Multiply: {
      const double a = left_->real();
      return a * right_->real();
    }
    case Operator::Divide: {
      const double a = left_->real();
      return Kes$divide(a, right_->real());
    }
    case Operator::Modulo: {
      const double a = left_->real();
      return Kes$modulus(a, right_->real());
    }
    case Operator::Add: {
      const double a = left_->real();
      return a + right_->real();
    }
    case Operator::Subtract: {
      const double a = left_->real();
      return a - right_->real();
    }
    default: return Node::real();
  }
}

void BinaryNode::push() noexcept {
  if (op_ != Operator::Concat) {
    Node::push();
    return;
  }
  left_->push();
  right_->push();
  rt::concat_pop(false);
}

int compare_nodes(Node& left, Node& right) noexcept {
  const auto whole = [](ValueClass c) {
    return c == ValueClass::Condition || c == ValueClass::Integer;
  };
  const ValueClass a = left.value_class();
  const ValueClass b = right.value_class();
  if (whole(a) && whole(b)) {
    const std::int32_t x = left.integer();
    const std::int32_t y = right.integer();
    return x < y ? -1 : x > y ? 1 : 0;
  }
  if (a != ValueClass::String || b != ValueClass::String) {
    const double x = left.real();
    const double y = right.real();
    if (x == y) return 0;
    // Apart by 2^-45 of the larger magnitude (or of 1) is beyond the REAL tolerance whatever
    // the exponents; closer values (and NaN) take the full test.
    const double scale = std::max({std::fabs(x), std::fabs(y), 1.0});
    if (std::fabs(x - y) >= 0x1p-45 * scale || Kes$realdistinct(x, y) != 0) return x < y ? -1 : 1;
    return 0;
  }
  left.push();
  right.push();
  return rt::compare_pop(true);
}

bool BinaryNode::truth() noexcept {
  if (folded_) return folded_value_ != 0.0;
  switch (op_) {
    case Operator::Equal: return compare_nodes(*left_, *right_) == 0;
    case Operator::NotEqual: return compare_nodes(*left_, *right_) != 0;
    case Operator::Less: return compare_nodes(*left_, *right_) < 0;
    case Operator::Greater: return compare_nodes(*left_, *right_) > 0;
    case Operator::LessEqual: return compare_nodes(*left_, *right_) <= 0;
    case Operator::GreaterEqual: return compare_nodes(*left_, *right_) >= 0;
    // Both sides are always evaluated: a bound procedure on the right runs either way.
    case Operator::And: {
      const bool a = left_->truth();
      return right_->truth() && a;
    }
    case Operator::Or: {
      const bool a = left_->truth();
      return right_->truth() || a;
    }
    case Operator::Xor: {
      const bool a = left_->truth();
      return right_->truth() != a;
    }
    default: return Node::truth();
  }
}

int BinaryNode::decide(int level) noexcept {
  if (op_ != Operator::And && op_ != Operator::Or && op_ != Operator::Xor)
    return Node::decide(level);
  const int a = left_->decide(level);
  const int b = right_->decide(level);
  if (op_ == Operator::And) {
    // One false side rejects the row whatever the other holds.
    if (a == kDecidedFalse || b == kDecidedFalse) return kDecidedFalse;
    return a == kDecidedTrue && b == kDecidedTrue ? kDecidedTrue : kUndecided;
  }
  if (op_ == Operator::Or) {
    if (a == kDecidedTrue || b == kDecidedTrue) return kDecidedTrue;
    return a == kDecidedFalse && b == kDecidedFalse ? kDecidedFalse : kUndecided;
  }
  if (a == kUndecided || b == kUndecided) return kUndecided;
  return a != b ? kDecidedTrue : kDecidedFalse;
}

void BinaryNode::write_text(std::string& out) const {
  out += '(';
  left_->write_text(out);
  out += ' ';
  out += operator_text(op_);
  out += ' ';
  right_->write_text(out);
  out += ')';
}

void BinaryNode::write_dump(std::string& out) const {
  out += operator_dump_name(op_);
  out += '(';
  left_->write_dump(out);
  out += ',';
  right_->write_dump(out);
  out += ')';
}

// ---- Calls.

CallNode::CallNode(std::string name, Builtin function, ValueClass value_class, void (*procedure)(),
                   int argument_limit, std::vector<NodePtr> arguments) noexcept
    : Node(NodeCategory::Function, value_class),
      name_(std::move(name)),
      function_(function),
      argument_limit_(argument_limit),
      procedure_(procedure),
      arguments_(std::move(arguments)) {}

namespace {

// Built-ins whose result depends on nothing but their arguments: not on the collation or case
// tables, the locale's pictures, the clock, the random sequence or INI files.
bool is_pure(Builtin function) noexcept {
  switch (function) {
    case Builtin::Abs:
    case Builtin::Acos:
    case Builtin::Asin:
    case Builtin::Atan:
    case Builtin::Cos:
    case Builtin::Sin:
    case Builtin::Tan:
    case Builtin::Sqrt:
    case Builtin::Log10:
    case Builtin::Loge:
    case Builtin::Round:
    case Builtin::Int:
    case Builtin::Band:
    case Builtin::Bor:
    case Builtin::Bxor:
    case Builtin::Bshift:
    case Builtin::All:
    case Builtin::Center:
    case Builtin::Left:
    case Builtin::Right:
    case Builtin::Chr:
    case Builtin::Clip:
    case Builtin::Len:
    case Builtin::Sub:
    case Builtin::Instring:
    case Builtin::Val:
    case Builtin::Numeric:
    case Builtin::Day:
    case Builtin::Month:
    case Builtin::Year: return true;
    default: return false;
  }
}

// Longest text a folded call keeps.
constexpr std::uint32_t kMaxFoldedText = 4096;

}  // namespace

void CallNode::fold() noexcept {
  if (!is_pure(function_)) return;
  for (const NodePtr& argument : arguments_) {
    const bool known = argument->category() == NodeCategory::Constant
                           ? argument->value_class() != ValueClass::Picture
                           : argument->folded();
    if (!known) return;
  }
  // Computed on the string stack: only when it has room for the whole evaluation.
  if (rt::string_stack_depth() + stack_need() > rt::kStringStackCapacity) return;
  if (value_class() != ValueClass::String) {
    folded_value_ = real();
    folded_ = true;
    return;
  }
  push();
  const std::string_view text = rt::top_text();
  if (text.size() <= kMaxFoldedText) {
    folded_text_.assign(text);
    folded_ = true;
  }
  rt::pop_discard();
}

int CallNode::own_need() const noexcept {
  // A bound procedure gets every parameter pushed, given or not; GETINI its four texts.
  if (function_ == Builtin::Procedure) return std::max(argument_limit_, 1);
  return function_ == Builtin::Getini ? 4 : 1;
}

std::int32_t CallNode::integer() noexcept {
  if (folded_)
    return value_class() == ValueClass::String ? Node::integer() : Kes$lroundd(folded_value_);
  const Result result = call();
  switch (result.kind) {
    case Result::Whole: return result.whole;
    case Result::Fraction: return Kes$lroundd(result.fraction);
    default: return rt::pop_long();
  }
}

double CallNode::real() noexcept {
  if (folded_) return value_class() == ValueClass::String ? Node::real() : folded_value_;
  const Result result = call();
  switch (result.kind) {
    case Result::Whole: return result.whole;
    case Result::Fraction: return result.fraction;
    default: return rt::pop_real();
  }
}

void CallNode::push() noexcept {
  if (folded_) {
    if (value_class() == ValueClass::String) {
      rt::push_reference(folded_text_);
    } else {
      Node::push();
    }
    return;
  }
  const Result result = call();
  switch (result.kind) {
    case Result::Whole: rt::push_long(result.whole); return;
    case Result::Fraction: push_real_value(result.fraction); return;
    default: return;
  }
}

bool CallNode::truth() noexcept {
  if (folded_) return value_class() == ValueClass::String ? Node::truth() : folded_value_ != 0.0;
  const Result result = call();
  switch (result.kind) {
    case Result::Whole: return result.whole != 0;
    case Result::Fraction: return real_truth(result.fraction);
    default: return rt::truth_pop() != 0;
  }
}

void CallNode::write_text(std::string& out) const {
  out += name_;
  out += '(';
  for (std::size_t index = 0; index < arguments_.size(); ++index) {
    if (index > 0) out += ',';
    arguments_[index]->write_text(out);
  }
  out += ')';
}

void CallNode::write_dump(std::string& out) const {
  out += "call ";
  out += name_;
  out += '(';
  for (std::size_t index = 0; index < arguments_.size(); ++index) {
    if (index > 0) out += ',';
    arguments_[index]->write_dump(out);
  }
  out += ')';
}

void SqlTextNode::push() noexcept { rt::push_reference(text_); }
void SqlTextNode::write_text(std::string& out) const {
  out += "SQL(";
  out += text_;
  out += ')';
}
void SqlTextNode::write_dump(std::string& out) const {
  out += "sql(";
  out += text_;
  out += ')';
}

}  // namespace kes::data

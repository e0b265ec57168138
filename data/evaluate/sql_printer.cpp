// The SQL forms of the expression nodes.
#include "data/evaluate/sql_printer.h"

#include <cstring>
#include <string>

#include "runtime/stack/string_stack.h"
#include "runtime/stack/string_store.h"

namespace kes::data {

namespace rt = kes::runtime;

namespace {

char g_sql_buffer[kSqlBufferCapacity];

// The longest sought text of the INSTRING form.
constexpr std::size_t kMaxContainsLength = 999;

const char* sql_operator(Operator op) noexcept {
  switch (op) {
    case Operator::Add: return " + ";
    case Operator::Subtract: return " - ";
    case Operator::Multiply: return " * ";
    case Operator::Divide: return " / ";
    case Operator::Equal: return " = ";
    case Operator::NotEqual: return " <> ";
    case Operator::Less: return " < ";
    case Operator::Greater: return " > ";
    case Operator::LessEqual: return " <= ";
    case Operator::GreaterEqual: return " >= ";
    case Operator::And: return " AND ";
    case Operator::Or: return " OR ";
    default: return nullptr;  // XOR, "^", "%", "&": no SQL form
  }
}

bool is_operator(const Node& node) noexcept {
  return node.category() == NodeCategory::Unary || node.category() == NodeCategory::Binary;
}

bool has_room(const Node& node) noexcept {
  return rt::string_stack_depth() + node.stack_need() <= rt::kStringStackCapacity;
}

// The node's text value, taken from the string stack.
std::string text_value(const Node& node) {
  const_cast<Node&>(node).push();
  std::string text(rt::top_text());
  rt::pop_discard();
  return text;
}

std::string real_text(double value) {
  rt::push_real(value);
  std::string text(rt::top_text());
  rt::pop_discard();
  return text;
}

const VariableNode* as_variable(const Node& node) noexcept {
  return node.category() == NodeCategory::Variable ? static_cast<const VariableNode*>(&node)
                                                   : nullptr;
}

const CallNode* as_call(const Node& node, Builtin function, int min_args, int max_args) noexcept {
  if (node.category() != NodeCategory::Function) return nullptr;
  const auto* call = dynamic_cast<const CallNode*>(&node);
  if (call == nullptr || call->function() != function) return nullptr;
  const int count = call->argument_count();
  return count >= min_args && count <= max_args ? call : nullptr;
}

const IntegerConstant* as_integer_constant(const Node& node) noexcept {
  return dynamic_cast<const IntegerConstant*>(&node);
}

const TextConstant* as_text_constant(const Node& node) noexcept {
  const auto* text = dynamic_cast<const TextConstant*>(&node);
  return text != nullptr && text->value_class() == ValueClass::String ? text : nullptr;
}

bool is_sql_text(const Node& node) noexcept {
  return dynamic_cast<const SqlTextNode*>(&node) != nullptr;
}

bool has_wildcards(std::string_view text) noexcept {
  return text.find_first_of("%_") != std::string_view::npos;
}

}  // namespace

// ---- The writer.

bool SqlWriter::append(std::string_view text) noexcept {
  // One byte stays free for the terminator.
  if (text.size() >= capacity_ - length_) return false;
  std::memcpy(buffer_ + length_, text.data(), text.size());
  length_ += text.size();
  return true;
}

bool SqlWriter::append_quoted(std::string_view text) noexcept {
  if (!append("'")) return false;
  std::size_t from = 0;
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (text[at] != '\'') continue;
    if (!append(text.substr(from, at + 1 - from)) || !append("'")) return false;
    from = at + 1;
  }
  return append(text.substr(from)) && append("'");
}

bool SqlWriter::append_string_operand(std::string_view text) noexcept {
  text = text.substr(0, rt::clipped_length(text.data(), static_cast<std::uint32_t>(text.size())));
  if (callback_.format_string == nullptr) return append_quoted(text);
  const std::size_t room = capacity_ - length_ - 1;
  const std::int32_t written = callback_.format_string(
      callback_.context, text.data(), static_cast<std::uint32_t>(text.size()), buffer_ + length_,
      static_cast<std::uint32_t>(room));
  if (written < 0 || static_cast<std::size_t>(written) > room) return false;
  length_ += static_cast<std::size_t>(written);
  return true;
}

bool SqlWriter::append_formatted(Formatter formatter, std::int32_t value) noexcept {
  if (formatter == nullptr) return false;
  const std::size_t room = capacity_ - length_ - 1;
  const std::int32_t written =
      formatter(callback_.context, value, buffer_ + length_, static_cast<std::uint32_t>(room));
  if (written < 0 || static_cast<std::size_t>(written) > room) return false;
  length_ += static_cast<std::size_t>(written);
  return true;
}

bool SqlWriter::append_date(std::int32_t serial) noexcept {
  return append_formatted(callback_.format_date, serial);
}

bool SqlWriter::append_time(std::int32_t time) noexcept {
  return append_formatted(callback_.format_time, time);
}

bool SqlWriter::is_column(const BoundValue& value) noexcept {
  if (callback_.column_name == nullptr) return false;
  char name[256];
  return callback_.column_name(callback_.context, value.address(), value.type_code(), name,
                               sizeof name) >= 0;
}

bool SqlWriter::append_column(const BoundValue& value) noexcept {
  if (callback_.column_name == nullptr) return false;
  const std::size_t room = capacity_ - length_ - 1;
  const std::int32_t written =
      callback_.column_name(callback_.context, value.address(), value.type_code(),
                            buffer_ + length_, static_cast<std::uint32_t>(room));
  if (written < 0 || static_cast<std::size_t>(written) > room) return false;
  length_ += static_cast<std::size_t>(written);
  return true;
}

bool SqlWriter::append_operand(const Node& node) noexcept {
  if (!is_operator(node)) return node.write_sql(*this);
  return append("(") && node.write_sql(*this) && append(")");
}

bool SqlWriter::append_condition(const Node& node) noexcept {
  // SQL(...) text is the server's own condition.
  if (node.value_class() == ValueClass::Condition || is_sql_text(node))
    return node.write_sql(*this);
  if (node.value_class() == ValueClass::String) {
    const TextConstant empty("", false);
    return append_comparison(Operator::NotEqual, node, empty);
  }
  const IntegerConstant zero(0);
  return append_comparison(Operator::NotEqual, node, zero);
}

bool SqlWriter::append_operand_condition(const Node& node) noexcept {
  if (node.value_class() == ValueClass::Condition && is_operator(node)) return append_operand(node);
  return append("(") && append_condition(node) && append(")");
}

namespace {

// True when the node reads a column somewhere (its value is then the server's, not ours).
bool mentions_column(const Node& node, SqlWriter& writer) noexcept {
  if (const VariableNode* variable = as_variable(node)) return writer.is_column(variable->value());
  if (node.category() == NodeCategory::Slice) return true;
  for (int index = 0; index < node.child_count(); ++index) {
    if (mentions_column(*node.child(index), writer)) return true;
  }
  return false;
}

}  // namespace

bool SqlWriter::append_like(const Node& left, Operator op, const Node& right) noexcept {
  // SUB(v, 1, n) = 'text' with n the length of the text: v LIKE 'text%'.
  if (op == Operator::Equal) {
    const CallNode* sub = as_call(left, Builtin::Sub, 3, 3);
    const TextConstant* text = as_text_constant(right);
    if (sub == nullptr || text == nullptr) return false;
    const VariableNode* column = as_variable(sub->argument(0));
    const IntegerConstant* start = as_integer_constant(sub->argument(1));
    const IntegerConstant* count = as_integer_constant(sub->argument(2));
    if (column == nullptr || start == nullptr || count == nullptr || start->value() != 1 ||
        count->value() < 0 || static_cast<std::size_t>(count->value()) != text->text().size() ||
        !is_column(column->value()))
      return false;
    // A "%" or "_" in the text would be a wildcard to the server.
    if (has_wildcards(text->text())) return false;
    const std::size_t mark = length_;
    std::string pattern = text->text();
    pattern += '%';
    if (append_column(column->value()) && append(" LIKE ") && append_quoted(pattern)) return true;
    length_ = mark;
    return false;
  }
  // INSTRING('text', v, 1 [, 1]) <> 0: v LIKE '%text%'.
  if (op == Operator::NotEqual) {
    const CallNode* instring = as_call(left, Builtin::Instring, 3, 4);
    const IntegerConstant* zero = as_integer_constant(right);
    if (instring == nullptr || zero == nullptr || zero->value() != 0) return false;
    const TextConstant* text = as_text_constant(instring->argument(0));
    const VariableNode* column = as_variable(instring->argument(1));
    const IntegerConstant* step = as_integer_constant(instring->argument(2));
    const IntegerConstant* start =
        instring->argument_count() == 4 ? as_integer_constant(instring->argument(3)) : step;
    if (text == nullptr || column == nullptr || step == nullptr || start == nullptr ||
        step->value() != 1 || start->value() != 1 || !is_column(column->value()))
      return false;
    if (text->text().empty() || text->text().size() > kMaxContainsLength ||
        has_wildcards(text->text()))
      return false;
    const std::size_t mark = length_;
    std::string pattern = "%" + text->text() + "%";
    if (append_column(column->value()) && append(" LIKE ") && append_quoted(pattern)) return true;
    length_ = mark;
  }
  return false;
}

bool SqlWriter::append_comparison(Operator op, const Node& left, const Node& right) noexcept {
  if (append_like(left, op, right)) return true;
  // NULL(v) = c and NULL(v) <> c with a constant c: v IS [NOT] NULL.
  if (const CallNode* null = as_call(left, Builtin::Null, 1, 1);
      null != nullptr && (op == Operator::Equal || op == Operator::NotEqual)) {
    const IntegerConstant* constant = as_integer_constant(right);
    const VariableNode* column = as_variable(null->argument(0));
    if (constant != nullptr && column != nullptr) {
      const bool negated = (constant->value() == 0) == (op == Operator::Equal);
      return append_column(column->value()) && append(" IS ") && (!negated || append("NOT ")) &&
             append("NULL ");
    }
  }
  const char* text = sql_operator(op);
  if (text == nullptr) return false;
  // A column compared with a value of ours: the value is written as the column's type needs.
  if (const VariableNode* column = as_variable(left);
      column != nullptr && is_column(column->value()) && !mentions_column(right, *this)) {
    const std::uint8_t type = column->value().type_code();
    if (type == 4 || type == 5 || (type >= 18 && type <= 20)) {
      if (!has_room(right)) return false;
      if (!append_column(column->value()) || !append(text)) return false;
      Node& value = const_cast<Node&>(right);
      if (type == 4) return append_date(value.integer());
      if (type == 5) return append_time(value.integer());
      return append_string_operand(text_value(right));
    }
  }
  return append_operand(left) && append(text) && append_operand(right);
}

const char* print_sql(const Node& tree, const KesSqlCallback& callback, bool order) noexcept {
  SqlWriter writer(g_sql_buffer, kSqlBufferCapacity, callback);
  bool written = false;
  if (order) {
    const auto* negation = dynamic_cast<const UnaryNode*>(&tree);
    if (negation != nullptr && negation->op() == Operator::Negate) {
      written = writer.append_operand(*negation->child(0)) && writer.append(" DESC");
    } else {
      written = tree.write_sql(writer);
    }
  } else {
    written = writer.append_condition(tree);
  }
  if (!written) return nullptr;
  std::size_t length = writer.length();
  if (length > 0 && g_sql_buffer[length - 1] == ' ') --length;
  g_sql_buffer[length] = '\0';
  return g_sql_buffer;
}

// ---- The nodes' SQL forms.

bool IntegerConstant::write_sql(SqlWriter& writer) const noexcept {
  return writer.append(std::to_string(value_));
}

bool RealConstant::write_sql(SqlWriter& writer) const noexcept {
  return writer.append(real_text(value_));
}

bool TextConstant::write_sql(SqlWriter& writer) const noexcept {
  if (value_class() == ValueClass::Picture) return false;
  return writer.append_quoted(text_);
}

bool VariableNode::write_sql(SqlWriter& writer) const noexcept {
  if (writer.is_column(*value_)) return writer.append_column(*value_);
  // A program variable is a constant to the server: its value is written.
  switch (value_class()) {
    case ValueClass::Integer: return writer.append(std::to_string(value_->to_long()));
    case ValueClass::Real: return writer.append(real_text(value_->to_real()));
    default: return has_room(*this) && writer.append_quoted(text_value(*this));
  }
}

bool SubscriptNode::write_sql(SqlWriter& /*writer*/) const noexcept { return false; }
bool SliceNode::write_sql(SqlWriter& /*writer*/) const noexcept { return false; }

bool UnaryNode::write_sql(SqlWriter& writer) const noexcept {
  if (op_ == Operator::Not)
    return writer.append("NOT ") && writer.append_operand_condition(*operand_);
  return writer.append("-") && writer.append_operand(*operand_);
}

bool BinaryNode::write_sql(SqlWriter& writer) const noexcept {
  if (op_ == Operator::And || op_ == Operator::Or) {
    return writer.append_operand_condition(*left_) && writer.append(sql_operator(op_)) &&
           writer.append_operand_condition(*right_);
  }
  if (class_of_operator(op_) == ValueClass::Condition)
    return writer.append_comparison(op_, *left_, *right_);
  const char* text = sql_operator(op_);
  if (text == nullptr) return false;
  return writer.append_operand(*left_) && writer.append(text) && writer.append_operand(*right_);
}

bool CallNode::write_sql(SqlWriter& writer) const noexcept {
  // UPPER and LOWER have the same meaning in SQL; other built-ins have no form there.
  if ((function_ != Builtin::Upper && function_ != Builtin::Lower) || arguments_.size() != 1)
    return false;
  return writer.append(function_ == Builtin::Upper ? "UPPER(" : "LOWER(") &&
         arguments_[0]->write_sql(writer) && writer.append(")");
}

bool SqlTextNode::write_sql(SqlWriter& writer) const noexcept { return writer.append(text_); }

}  // namespace kes::data

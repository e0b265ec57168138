// The nodes of a parsed expression: constants, variables, operators, built-in and bound
// procedure calls, subscripts and slices. Each node yields an integer, a real, a text on the
// string stack or a truth value, converting its own result to what is asked.
//
// State: none; a tree owns its nodes and the clones of its variables' descriptors, so it
// outlives the scope it was parsed in.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "data/evaluate/bound_value.h"

namespace kes::data {

// The class of a node's own result.
enum class ValueClass : std::uint8_t {
  Condition = 0,
  Integer = 1,
  Real = 2,
  Picture = 3,
  String = 4,
};

// Operator codes shared by the parser, the evaluator and the SQL printer.
enum class Operator : std::uint8_t {
  Subscript = 0,
  Slice = 1,
  Power = 2,
  Multiply = 3,
  Divide = 4,
  Modulo = 5,
  Negate = 6,
  Add = 7,
  Subtract = 8,
  Concat = 9,
  Equal = 10,
  NotEqual = 11,
  Less = 12,
  Greater = 13,
  LessEqual = 14,
  GreaterEqual = 15,
  Not = 16,
  And = 17,
  Or = 18,
  Xor = 19,
  Comma = 20,
  Colon = 21,
};

enum class NodeCategory : std::uint8_t { Constant, Variable, Unary, Binary, Function, Slice };

// The built-in functions, in the order of their table (builtin_functions.h). Procedure marks a
// bound procedure.
enum class Builtin : std::uint8_t {
  Procedure,
  Abs,
  Acos,
  Age,
  All,
  Asin,
  Atan,
  Band,
  Bor,
  Bshift,
  Bxor,
  Center,
  Choose,
  Chr,
  Clip,
  Clock,
  Cos,
  Date,
  Day,
  Deformat,
  Format,
  Getini,
  Inlist,
  Inrange,
  Instring,
  Int,
  Left,
  Len,
  Log10,
  Loge,
  Lower,
  Match,
  Memory,
  Month,
  Null,
  Numeric,
  Random,
  Right,
  Round,
  Sin,
  Sql,
  Sqrt,
  Sub,
  Tan,
  Today,
  Upper,
  Val,
  Year,
};

// Asked of a variable's descriptor by the levels pass: a number such as the position in a join
// of the file that holds the field.
using LevelProcedure = std::int32_t (*)(void* descriptor);

// Answers of a condition at a level.
inline constexpr int kDecidedTrue = 0;
inline constexpr int kDecidedFalse = 1;
inline constexpr int kUndecided = 2;

class SqlWriter;

class Node {
 public:
  Node(NodeCategory category, ValueClass value_class) noexcept
      : category_(category), value_class_(value_class) {}
  Node(const Node&) = delete;
  Node& operator=(const Node&) = delete;
  virtual ~Node() = default;

  NodeCategory category() const noexcept { return category_; }
  ValueClass value_class() const noexcept { return value_class_; }
  // Longest path to a leaf (a leaf is 1) and the most string-stack entries its evaluation holds
  // at once; both are set by measure() once the children are in place.
  int height() const noexcept { return height_; }
  int stack_need() const noexcept { return stack_need_; }
  int level() const noexcept { return level_; }

  // Each node computes its own class natively and converts for the other requests: a real to
  // an integer by the tolerant truncation of REAL assignments, a text to a number by the
  // string stack's pops, a number to a text by PushLong and PushReal, a condition to '1' or ''.
  virtual std::int32_t integer() noexcept;
  virtual double real() noexcept;
  virtual void push() noexcept;
  // A text is true when it holds a non-blank byte, a number when it is not zero.
  virtual bool truth() noexcept;

  // The answer at `level`: kUndecided when the node depends on a variable above it, otherwise
  // kDecidedTrue or kDecidedFalse.
  virtual int decide(int level) noexcept;
  // Gives every variable its level through `procedure` and every other node the largest level
  // among its operands; returns the node's level.
  int annotate(LevelProcedure procedure) noexcept;

  virtual int child_count() const noexcept { return 0; }
  virtual Node* child(int /*index*/) const noexcept { return nullptr; }

  // Writes the expression as text that parses back into the same tree (every operator in
  // parentheses).
  virtual void write_text(std::string& out) const = 0;
  // A compact form of the tree for tests and diagnostics: add(var A,num 2).
  virtual void write_dump(std::string& out) const = 0;
  // Writes the node as SQL; false abandons the whole text.
  virtual bool write_sql(SqlWriter& writer) const noexcept = 0;

  // Sets height and stack need from the children.
  void measure() noexcept;
  // Computes an operator whose operands are all numeric constants (or computed so) once, so
  // that evaluation reads the result. The tree keeps its shape for printing.
  virtual void fold() noexcept;
  bool folded() const noexcept { return folded_; }

 protected:
  // True when the node holds one child's result on the string stack while it evaluates the
  // next, so that its need adds up over its children.
  virtual bool stacks_children() const noexcept { return false; }
  // Entries the node pushes itself, apart from its children's.
  virtual int own_need() const noexcept { return 1; }
  virtual int own_level(LevelProcedure /*procedure*/) noexcept { return 0; }
  void set_value_class(ValueClass value_class) noexcept { value_class_ = value_class; }

  bool folded_ = false;
  double folded_value_ = 0.0;  // the result of a folded node (a condition as 1 or 0)

 private:
  NodeCategory category_;
  ValueClass value_class_;
  int height_ = 1;
  int stack_need_ = 1;
  int level_ = 0;
};

using NodePtr = std::unique_ptr<Node>;

// ---- Constants.

class IntegerConstant final : public Node {
 public:
  explicit IntegerConstant(std::int32_t value) noexcept
      : Node(NodeCategory::Constant, ValueClass::Integer), value_(value) {}
  std::int32_t value() const noexcept { return value_; }
  std::int32_t integer() noexcept override { return value_; }
  double real() noexcept override { return value_; }
  void write_text(std::string& out) const override;
  void write_dump(std::string& out) const override;
  bool write_sql(SqlWriter& writer) const noexcept override;

 private:
  std::int32_t value_;
};

class RealConstant final : public Node {
 public:
  explicit RealConstant(double value) noexcept
      : Node(NodeCategory::Constant, ValueClass::Real), value_(value) {}
  double value() const noexcept { return value_; }
  double real() noexcept override { return value_; }
  void write_text(std::string& out) const override;
  void write_dump(std::string& out) const override;
  bool write_sql(SqlWriter& writer) const noexcept override;

 private:
  double value_;
};

// A quoted text, or a picture written with "@" (class Picture).
class TextConstant final : public Node {
 public:
  TextConstant(std::string text, bool picture)
      : Node(NodeCategory::Constant, picture ? ValueClass::Picture : ValueClass::String),
        text_(std::move(text)) {}
  const std::string& text() const noexcept { return text_; }
  void push() noexcept override;
  void write_text(std::string& out) const override;
  void write_dump(std::string& out) const override;
  bool write_sql(SqlWriter& writer) const noexcept override;

 private:
  std::string text_;
};

// ---- Variables.

// The class of a variable of `type_code`: up to 6 integer, 7 to 17 real, 18 and above string.
ValueClass class_of_type(std::uint8_t type_code) noexcept;

class VariableNode final : public Node {
 public:
  VariableNode(std::string name, std::unique_ptr<BoundValue> value) noexcept;
  const std::string& name() const noexcept { return name_; }
  const BoundValue& value() const noexcept { return *value_; }
  std::int32_t integer() noexcept override;
  double real() noexcept override;
  void push() noexcept override;
  bool truth() noexcept override;
  void write_text(std::string& out) const override;
  void write_dump(std::string& out) const override;
  bool write_sql(SqlWriter& writer) const noexcept override;

 protected:
  int own_level(LevelProcedure procedure) noexcept override;

 private:
  std::string name_;
  std::unique_ptr<BoundValue> value_;
};

// name[index, ...]: elements of a dimensioned variable; on a variable that is not dimensioned
// the last index selects one character. An index outside the elements reads as empty and zero.
class SubscriptNode final : public Node {
 public:
  SubscriptNode(std::unique_ptr<VariableNode> base, std::vector<NodePtr> indexes) noexcept;
  std::int32_t integer() noexcept override;
  double real() noexcept override;
  void push() noexcept override;
  bool truth() noexcept override;
  int child_count() const noexcept override { return static_cast<int>(indexes_.size()) + 1; }
  Node* child(int index) const noexcept override;
  void write_text(std::string& out) const override;
  void write_dump(std::string& out) const override;
  bool write_sql(SqlWriter& writer) const noexcept override;
  // The text up to the last subscript, without the closing bracket.
  void write_open_text(std::string& out) const;
  // False when subscripts follow a character pick (more subscripts than dimensions plus one).
  bool well_formed() const noexcept;

 protected:
  bool stacks_children() const noexcept override { return true; }

 private:
  // The selected element, or null; `character` is the position picked by the last subscript
  // when the dimensions end before it, else 0.
  std::unique_ptr<BoundValue> select(std::int32_t& character) noexcept;
  std::unique_ptr<VariableNode> base_;
  std::vector<NodePtr> indexes_;
  std::size_t pick_at_;  // the subscript that picks a character; indexes_.size() for none
};

// base[start : end]: the bytes from position start to position end of the base's text.
class SliceNode final : public Node {
 public:
  SliceNode(NodePtr base, NodePtr start, NodePtr end) noexcept;
  void push() noexcept override;
  int child_count() const noexcept override { return 3; }
  Node* child(int index) const noexcept override;
  void write_text(std::string& out) const override;
  void write_dump(std::string& out) const override;
  bool write_sql(SqlWriter& writer) const noexcept override;

 protected:
  bool stacks_children() const noexcept override { return true; }

 private:
  NodePtr base_;
  NodePtr start_;
  NodePtr end_;
};

// ---- Operators.

// Unary minus (real) and NOT (condition).
class UnaryNode final : public Node {
 public:
  UnaryNode(Operator op, NodePtr operand) noexcept;
  Operator op() const noexcept { return op_; }
  double real() noexcept override;
  bool truth() noexcept override;
  int decide(int level) noexcept override;
  int child_count() const noexcept override { return 1; }
  Node* child(int /*index*/) const noexcept override { return operand_.get(); }
  void write_text(std::string& out) const override;
  void write_dump(std::string& out) const override;
  bool write_sql(SqlWriter& writer) const noexcept override;

 private:
  Operator op_;
  NodePtr operand_;
};

// The class of a binary operator's result: comparisons and AND, OR, XOR are conditions, "&" a
// string, the arithmetic operators real.
ValueClass class_of_operator(Operator op) noexcept;

class BinaryNode final : public Node {
 public:
  BinaryNode(Operator op, NodePtr left, NodePtr right) noexcept;
  Operator op() const noexcept { return op_; }
  Node& left() const noexcept { return *left_; }
  Node& right() const noexcept { return *right_; }
  double real() noexcept override;
  void push() noexcept override;
  bool truth() noexcept override;
  int decide(int level) noexcept override;
  int child_count() const noexcept override { return 2; }
  Node* child(int index) const noexcept override { return index == 0 ? left_.get() : right_.get(); }
  void write_text(std::string& out) const override;
  void write_dump(std::string& out) const override;
  bool write_sql(SqlWriter& writer) const noexcept override;

 protected:
  bool stacks_children() const noexcept override;

 private:
  Operator op_;
  NodePtr left_;
  NodePtr right_;
};

// Compares two nodes as the comparison operators do: as integers when both are conditions or
// integers, as reals (with the REAL tolerance) when either is not a string, else as texts by
// the collation order. Negative, 0 or positive.
int compare_nodes(Node& left, Node& right) noexcept;

// ---- Calls.

// A built-in function, or a procedure the program bound (Builtin::Procedure), with the
// arguments given (at most its limit; omitted ones at the end).
class CallNode final : public Node {
 public:
  // `name` as written; `procedure` is the bound procedure's address (null for built-ins).
  CallNode(std::string name, Builtin function, ValueClass value_class, void (*procedure)(),
           int argument_limit, std::vector<NodePtr> arguments) noexcept;
  Builtin function() const noexcept { return function_; }
  const std::string& name() const noexcept { return name_; }
  int argument_count() const noexcept { return static_cast<int>(arguments_.size()); }
  Node& argument(int index) const noexcept { return *arguments_[static_cast<std::size_t>(index)]; }
  std::int32_t integer() noexcept override;
  double real() noexcept override;
  void push() noexcept override;
  bool truth() noexcept override;
  // Pure built-ins of known arguments are computed once, when parsed.
  void fold() noexcept override;
  int child_count() const noexcept override { return argument_count(); }
  Node* child(int index) const noexcept override { return &argument(index); }
  void write_text(std::string& out) const override;
  void write_dump(std::string& out) const override;
  bool write_sql(SqlWriter& writer) const noexcept override;

 protected:
  bool stacks_children() const noexcept override { return true; }
  int own_need() const noexcept override;

 private:
  // What a call gives before conversion: a whole number, a real, or a text on the stack.
  struct Result {
    enum Kind : std::uint8_t { Whole, Fraction, Pushed } kind;
    std::int32_t whole;
    double fraction;
  };
  Result call() noexcept;
  Result call_procedure() noexcept;

  std::string name_;
  Builtin function_;
  int argument_limit_;
  void (*procedure_)();
  std::vector<NodePtr> arguments_;
  std::string folded_text_;  // the result of a folded call of class string
};

// SQL(text): the text up to the matching closing parenthesis, kept as written. Its value is
// that text; the SQL printer writes it as it stands.
class SqlTextNode final : public Node {
 public:
  explicit SqlTextNode(std::string text)
      : Node(NodeCategory::Function, ValueClass::String), text_(std::move(text)) {}
  const std::string& text() const noexcept { return text_; }
  void push() noexcept override;
  void write_text(std::string& out) const override;
  void write_dump(std::string& out) const override;
  bool write_sql(SqlWriter& writer) const noexcept override;

 private:
  std::string text_;
};

// Writes a real so that the scanner reads it back as the same real constant: digits, a point
// and digits, and an exponent when needed ("12.5", "1.0e20", "2.5e-7").
void append_real_literal(std::string& out, double value);

}  // namespace kes::data

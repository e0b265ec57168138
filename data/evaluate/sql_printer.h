// Printing a condition or an ordering term as SQL text for drivers that filter and sort on a
// server. What SQL has no form for (XOR, "^", "%", "&", subscripts, slices, pictures, most
// built-ins) abandons the whole text, and the caller filters by evaluating the tree itself.
//
// State: the text buffer (32,000 bytes) is process-wide by design: the printed text stays there
// for the driver until the next print, and printing runs under the runtime lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include <kestrel/evaluate.h>

#include "data/evaluate/expression_node.h"

namespace kes::data {

inline constexpr std::size_t kSqlBufferCapacity = 32000;

class SqlWriter {
 public:
  SqlWriter(char* buffer, std::size_t capacity, const KesSqlCallback& callback) noexcept
      : buffer_(buffer), capacity_(capacity), callback_(callback) {}

  // Each returns false when the text no longer fits the buffer or the driver gave up.
  bool append(std::string_view text) noexcept;
  // A text constant: quoted, quotes doubled.
  bool append_quoted(std::string_view text) noexcept;
  // A text compared with a string column: the driver's rule, or quoted with its trailing
  // spaces cut.
  bool append_string_operand(std::string_view text) noexcept;
  bool append_date(std::int32_t serial) noexcept;
  bool append_time(std::int32_t time) noexcept;
  // The column name of a variable; false when it is not a column (nothing is written then).
  bool append_column(const BoundValue& value) noexcept;
  bool is_column(const BoundValue& value) noexcept;
  // A node as an operand: in parentheses when it is an operator.
  bool append_operand(const Node& node) noexcept;
  // A node as a condition: a condition as it is, a text t as t <> '', a number n as n <> 0.
  bool append_condition(const Node& node) noexcept;
  // A condition as an operand of NOT, AND or OR: in parentheses when it is an operator or
  // needed converting.
  bool append_operand_condition(const Node& node) noexcept;
  // left op right, with the special forms of LIKE, IS NULL and typed column comparisons.
  bool append_comparison(Operator op, const Node& left, const Node& right) noexcept;

  std::size_t length() const noexcept { return length_; }

 private:
  using Formatter = std::int32_t (*)(void*, std::int32_t, char*, std::uint32_t);
  bool append_formatted(Formatter formatter, std::int32_t value) noexcept;
  bool append_like(const Node& left, Operator op, const Node& right) noexcept;

  char* buffer_;
  std::size_t capacity_;
  std::size_t length_ = 0;
  const KesSqlCallback& callback_;
};

// The tree as an SQL condition (`order` false) or ordering term, in the process-wide buffer and
// terminated; a trailing blank is removed. Null when SQL has no form for it or it does not fit.
const char* print_sql(const Node& tree, const KesSqlCallback& callback, bool order) noexcept;

}  // namespace kes::data

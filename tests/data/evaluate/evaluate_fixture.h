// Test support for the expression engine: variables held by the test (a stand-in for the
// program's value descriptors) and a fixture that starts each test with fresh scopes and empty
// stacks.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <kestrel/evaluate.h>

#include <gtest/gtest.h>

#include "data/evaluate/bind_scopes.h"
#include "data/evaluate/bound_value.h"
#include "files/errors/error_state.h"
#include "runtime/stack/string_stack.h"
#include "tests/support/stack_helpers.h"

namespace kes::test {

// A variable's storage: a number or a text by its type code, or elements when dimensioned;
// written as designated initializers: Cell{.whole = 3}, Cell{.type = 18, .text = "x"}.
struct Cell {
  std::uint8_t type = 6;  // LONG
  std::int32_t whole = 0;
  double real = 0.0;
  std::string text{};
  std::vector<Cell> elements{};
};

inline bool is_text_type(std::uint8_t type) { return type >= 18; }

class CellValue final : public data::BoundValue {
 public:
  explicit CellValue(Cell* cell) : cell_(cell) {}
  std::uint8_t type_code() const noexcept override { return cell_->type; }
  void push() const noexcept override {
    if (is_text_type(cell_->type)) {
      runtime::push_reference(cell_->text);  // by reference, as string variables are pushed
    } else if (cell_->type <= 6) {
      runtime::push_long(cell_->whole);
    } else {
      runtime::push_real(cell_->real);
    }
  }
  std::int32_t to_long() const noexcept override {
    if (!is_text_type(cell_->type))
      return cell_->type <= 6 ? cell_->whole : static_cast<std::int32_t>(cell_->real);
    push();
    return runtime::pop_long();
  }
  double to_real() const noexcept override {
    if (!is_text_type(cell_->type)) return cell_->type <= 6 ? cell_->whole : cell_->real;
    push();
    return runtime::pop_real();
  }
  bool is_null() const noexcept override {
    if (is_text_type(cell_->type)) return cell_->text.find_first_not_of(' ') == std::string::npos;
    return to_real() == 0.0;
  }
  const void* address() const noexcept override { return cell_; }
  void* descriptor() const noexcept override { return cell_; }
  std::unique_ptr<BoundValue> clone() const override { return std::make_unique<CellValue>(cell_); }
  std::unique_ptr<BoundValue> element(std::uint32_t index) const override {
    if (index < 1 || index > cell_->elements.size()) return nullptr;
    return std::make_unique<CellValue>(&cell_->elements[index - 1]);
  }

 private:
  Cell* cell_;
};

inline void bind(const std::string& name, Cell& cell) {
  data::bind_variable(data::bind_scopes(), name, std::make_unique<CellValue>(&cell));
}

// EVALUATE(text) as compiled code calls it; returns the pushed text.
inline std::string evaluate(const std::string& text) {
  runtime::push_reference(text);
  Kes$Evaluate();
  return pop_top_text();
}

class EvaluateTest : public ::testing::Test {
 protected:
  void SetUp() override { reset(); }
  void TearDown() override {
    EXPECT_EQ(runtime::string_stack_depth(), 0);  // every operation leaves the stack balanced
    reset();
  }
  static void reset() {
    data::restore_bind_scopes(nullptr);
    drain_string_stack();
    files::clear_error();
  }
};

}  // namespace kes::test

// The variable behind a bound name, as the expression engine sees it: a small interface over
// the program's value descriptor, so that the engine reads variables without knowing their
// storage.
#pragma once

#include <cstdint>
#include <memory>

namespace kes::data {

class BoundValue {
 public:
  BoundValue() = default;
  BoundValue(const BoundValue&) = delete;
  BoundValue& operator=(const BoundValue&) = delete;
  virtual ~BoundValue() = default;

  // The declared type code (1 BYTE ... 29 PICTURE, 42 BSTR ...).
  virtual std::uint8_t type_code() const noexcept = 0;
  // Pushes the value's text on the string stack.
  virtual void push() const noexcept = 0;
  virtual std::int32_t to_long() const noexcept = 0;
  virtual double to_real() const noexcept = 0;
  // True when the value is blank or zero.
  virtual bool is_null() const noexcept = 0;
  // The storage's address: drivers know their columns by it.
  virtual const void* address() const noexcept = 0;
  // The program's own descriptor, as the level procedure and EvaluateVariable hand it out.
  virtual void* descriptor() const noexcept = 0;
  // A copy that refers to the same storage; the expression tree owns it.
  virtual std::unique_ptr<BoundValue> clone() const = 0;
  // Element `index` of a dimensioned variable, counted from 1; null when the variable is not
  // dimensioned or the index lies outside its elements.
  virtual std::unique_ptr<BoundValue> element(std::uint32_t index) const = 0;
};

}  // namespace kes::data

// Decimal value helpers shared by the tests: a working value from text and back.
//
// State: none.
#pragma once

#include <string>
#include <string_view>

#include "numeric/decimal/decimal_convert.h"
#include "numeric/decimal/decimal_stack.h"

namespace kes::test {

inline numeric::DecimalEntry parse_decimal(std::string_view text) {
  numeric::DecimalEntry value;
  numeric::decimal_from_text(value, text);
  return value;
}

inline std::string decimal_text(const numeric::DecimalEntry& value) {
  char buffer[numeric::kDecimalTextCapacity];
  return std::string(buffer, numeric::decimal_to_text(value, buffer));
}

}  // namespace kes::test

// A plain reference for the decimal engine's row arithmetic, for differential tests: each
// operation reads the digits low..high of its operands as one big integer (Boost cpp_int), works
// out the result the way the engine documents it, in the most direct form, and writes it back.
// It shares no code with the engine, so a fault in the engine's word arithmetic cannot hide in
// both.
//
// State: none; every function works only on the values it is given.
#pragma once

#include "numeric/decimal/decimal_stack.h"

namespace kes::test::decimal_reference {

void decimal_set_digit(numeric::DecimalEntry& value, int digit);
void decimal_normalise(numeric::DecimalEntry& value);
void decimal_add(numeric::DecimalEntry& left, const numeric::DecimalEntry& right);
void decimal_subtract(numeric::DecimalEntry& left, const numeric::DecimalEntry& right);
void decimal_multiply(numeric::DecimalEntry& left, const numeric::DecimalEntry& right);
void decimal_divide(numeric::DecimalEntry& left, const numeric::DecimalEntry& right);
int decimal_compare(const numeric::DecimalEntry& left, const numeric::DecimalEntry& right);
void decimal_round(numeric::DecimalEntry& value, int places);

}  // namespace kes::test::decimal_reference

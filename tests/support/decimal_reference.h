// A second, independent copy of the decimal engine's row arithmetic (add, subtract, multiply,
// divide, compare, round, normalise), frozen as a reference for differential tests: the engine
// must give the same value (sign, low, high and the digits between them) for every operand pair.
//
// State: none; every function works only on the values it is given.
#pragma once

#include <cstdint>

#include "numeric/decimal_stack.h"

namespace kes::test::decimal_reference {

void decimal_set_zero(numeric::DecimalEntry& value) noexcept;
void decimal_set_digit(numeric::DecimalEntry& value, int digit) noexcept;
bool decimal_is_zero(const numeric::DecimalEntry& value) noexcept;
void decimal_normalise(numeric::DecimalEntry& value) noexcept;
void decimal_add(numeric::DecimalEntry& left, const numeric::DecimalEntry& right) noexcept;
void decimal_subtract(numeric::DecimalEntry& left, const numeric::DecimalEntry& right) noexcept;
void decimal_multiply(numeric::DecimalEntry& left, const numeric::DecimalEntry& right) noexcept;
void decimal_divide(numeric::DecimalEntry& left, const numeric::DecimalEntry& right) noexcept;
int decimal_compare(const numeric::DecimalEntry& left, const numeric::DecimalEntry& right) noexcept;
void decimal_round(numeric::DecimalEntry& value, int places) noexcept;
void decimal_truncate(numeric::DecimalEntry& value) noexcept;
void decimal_round_to_increment(numeric::DecimalEntry& value,
                                const numeric::DecimalEntry& increment) noexcept;
void decimal_power(numeric::DecimalEntry& value, std::uint32_t exponent) noexcept;
void decimal_power_signed(numeric::DecimalEntry& value, std::int32_t exponent) noexcept;

}  // namespace kes::test::decimal_reference

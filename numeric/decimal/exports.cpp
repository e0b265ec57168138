// The decimal stack's exported entry points: thin wrappers over the stack operations.
#include <cstring>

#include <kestrel/decimal.h>

#include "numeric/decimal/decimal_stack.h"
#include "numeric/decimal/decimal_stack_ops.h"

namespace num = kes::numeric;

namespace {
const std::uint8_t* bytes_of(const void* address) noexcept {
  return static_cast<const std::uint8_t*>(address);
}
std::uint8_t* bytes_of(void* address) noexcept { return static_cast<std::uint8_t*>(address); }
}  // namespace

extern "C" void Kes$DPushDec(const void* address, uint8_t size, uint8_t places) noexcept {
  num::decimal_push_packed(bytes_of(address), num::PackedKind::Decimal, size, places);
}

extern "C" void Kes$DPushPdec(const void* address, uint8_t size, uint8_t places) noexcept {
  num::decimal_push_packed(bytes_of(address), num::PackedKind::Pdecimal, size, places);
}

extern "C" void Kes$DPopDec(void* address, uint8_t size, uint8_t places) noexcept {
  num::decimal_pop_packed(bytes_of(address), num::PackedKind::Decimal, size, places);
}

extern "C" void Kes$DPopPdec(void* address, uint8_t size, uint8_t places) noexcept {
  num::decimal_pop_packed(bytes_of(address), num::PackedKind::Pdecimal, size, places);
}

extern "C" void Kes$DPushLong(int32_t value) noexcept { num::decimal_push_long(value); }

extern "C" void Kes$DPushULong(uint32_t value) noexcept { num::decimal_push_ulong(value); }

extern "C" void Kes$DPushReal(double value) noexcept { num::decimal_push_real(value); }

extern "C" void Kes$DPushCString(const char* text) noexcept {
  num::decimal_push_text(text == nullptr ? std::string_view() : std::string_view(text));
}

extern "C" void Kes$DPushConstant(const uint8_t* digits, uint8_t count, uint8_t places,
                                  uint8_t sign) noexcept {
  num::decimal_push_constant(digits, count, places, sign);
}

extern "C" int32_t Kes$DPopLong(void) noexcept { return num::decimal_pop_long(); }

extern "C" uint32_t Kes$DPopUlong(void) noexcept { return num::decimal_pop_ulong(); }

extern "C" double Kes$DPopReal(void) noexcept { return num::decimal_pop_real(); }

extern "C" void Kes$DecAdd(void) noexcept { num::decimal_stack_add(); }

extern "C" void Kes$DecSub(void) noexcept { num::decimal_stack_subtract(); }

extern "C" void Kes$DecSubR(void) noexcept { num::decimal_stack_subtract_reversed(); }

extern "C" void Kes$DecMul(void) noexcept { num::decimal_stack_multiply(); }

extern "C" void Kes$DecDivide(void) noexcept { num::decimal_stack_divide(); }

extern "C" void Kes$DecDivideR(void) noexcept { num::decimal_stack_divide_reversed(); }

extern "C" void Kes$Dulongpower(uint32_t exponent) noexcept { num::decimal_stack_power(exponent); }

extern "C" void Kes$Dlongpower(int32_t exponent) noexcept {
  num::decimal_stack_power_signed(exponent);
}

extern "C" void Kes$DInt(void) noexcept { num::decimal_stack_truncate(); }

extern "C" void Kes$DAbs(void) noexcept { num::decimal_stack_abs(); }

extern "C" void Kes$DNegate(void) noexcept { num::decimal_stack_negate(); }

extern "C" void Kes$DRound(void) noexcept { num::decimal_stack_round(); }

extern "C" void Kes$DSwap(void) noexcept { num::decimal_stack_swap(); }

extern "C" int32_t Kes$DecCompareN(void) noexcept { return num::decimal_stack_nonzero() ? 1 : 0; }

extern "C" int32_t Kes$DecDistinct(void) noexcept { return num::decimal_stack_distinct(); }

extern "C" int32_t Kes$DecDistinctR(void) noexcept {
  return num::decimal_stack_distinct_reversed();
}

extern "C" void Kes$ClearDec(void* address, uint32_t size, uint8_t type_code,
                             int8_t fill) noexcept {
  num::decimal_clear_packed(bytes_of(address), size, type_code, fill);
}

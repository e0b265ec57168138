// The decimal stack: exact arithmetic on DECIMAL and PDECIMAL values as compiled code runs it.
//
// Operands are pushed, operations pop two entries and push one, and results are popped into
// storage. The stack holds ten entries; a push onto a full stack or a pop from an empty one ends
// the program with the run-time error "Stack overflow". Nothing here reports other errors:
// division by zero gives 0, and digits beyond the working positions (31 integer and 32 fraction
// digits) are lost silently.
//
// Packed storage: a DECIMAL of S bytes with P places holds 2S - 1 digits, the last P of them the
// fraction; the sign is the high nibble of byte 0 (0 positive, any other value negative), then
// the digits, two per byte, most significant first. A PDECIMAL holds the digits first and the
// sign last (low nibble of byte S - 1: 0xD negative, anything else positive).
#pragma once

#include <kestrel/abi.h>

// Type codes of the packed decimal variables, as Kes$ClearDec takes them.
#define KES_TYPE_DECIMAL 10
#define KES_TYPE_PDECIMAL 11

// Push a DECIMAL (PDECIMAL) variable of `size` bytes with `places` fraction digits.
KES_API void Kes$DPushDec(const void* address, uint8_t size, uint8_t places) KES_NOEXCEPT;
KES_API void Kes$DPushPdec(const void* address, uint8_t size, uint8_t places) KES_NOEXCEPT;
// Pop, round half away from zero to `places` and store as DECIMAL (PDECIMAL); digits above the
// variable's top are lost.
KES_API void Kes$DPopDec(void* address, uint8_t size, uint8_t places) KES_NOEXCEPT;
KES_API void Kes$DPopPdec(void* address, uint8_t size, uint8_t places) KES_NOEXCEPT;

KES_API void Kes$DPushLong(int32_t value) KES_NOEXCEPT;
KES_API void Kes$DPushULong(uint32_t value) KES_NOEXCEPT;
// Pushes the REAL's 15 most significant digits; NaN and infinities push 0.
KES_API void Kes$DPushReal(double value) KES_NOEXCEPT;
// Parses numeric text ("  -12.50", "1,5", "1.5e2") and pushes its value; null pushes 0.
KES_API void Kes$DPushCString(const char* text) KES_NOEXCEPT;
// Pushes a compiled literal: `count` digit bytes (0 to 9), least significant first, the lowest
// `places` of them the fraction; sign 0 positive, 1 negative.
KES_API void Kes$DPushConstant(const uint8_t* digits, uint8_t count, uint8_t places,
                               uint8_t sign) KES_NOEXCEPT;

// Pop as a whole number: truncated toward zero, reduced modulo 2^32 (DPopUlong drops the sign).
KES_API int32_t Kes$DPopLong(void) KES_NOEXCEPT;
KES_API uint32_t Kes$DPopUlong(void) KES_NOEXCEPT;
KES_API double Kes$DPopReal(void) KES_NOEXCEPT;

// next + top, next - top, top - next, next x top, next / top, top / next. Quotients are rounded
// half away from zero to 31 places.
KES_API void Kes$DecAdd(void) KES_NOEXCEPT;
KES_API void Kes$DecSub(void) KES_NOEXCEPT;
KES_API void Kes$DecSubR(void) KES_NOEXCEPT;
KES_API void Kes$DecMul(void) KES_NOEXCEPT;
KES_API void Kes$DecDivide(void) KES_NOEXCEPT;
KES_API void Kes$DecDivideR(void) KES_NOEXCEPT;

// Replace the top x by x^n; a negative n gives 1 / x^-n.
KES_API void Kes$Dulongpower(uint32_t exponent) KES_NOEXCEPT;
KES_API void Kes$Dlongpower(int32_t exponent) KES_NOEXCEPT;

KES_API void Kes$DInt(void) KES_NOEXCEPT;     // truncate the top toward zero
KES_API void Kes$DAbs(void) KES_NOEXCEPT;     // make the top positive
KES_API void Kes$DNegate(void) KES_NOEXCEPT;  // flip the top's sign
// Pop the increment r and round next to r's leading decimal position (ROUND(x, 0.01)).
KES_API void Kes$DRound(void) KES_NOEXCEPT;
KES_API void Kes$DSwap(void) KES_NOEXCEPT;

// Pop: 1 when the value is non-zero, else 0.
KES_API int32_t Kes$DecCompareN(void) KES_NOEXCEPT;
// Pop both: the sign (-1, 0, +1) of top - next, and of next - top.
KES_API int32_t Kes$DecDistinct(void) KES_NOEXCEPT;
KES_API int32_t Kes$DecDistinctR(void) KES_NOEXCEPT;

// CLEAR of a packed variable of `size` bytes; `type_code` KES_TYPE_DECIMAL or KES_TYPE_PDECIMAL
// (any other writes nothing); fill 0 zero, positive the highest value, negative the lowest.
KES_API void Kes$ClearDec(void* address, uint32_t size, uint8_t type_code,
                          int8_t fill) KES_NOEXCEPT;

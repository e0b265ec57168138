// The string built-ins on the string stack. Text operands are pushed by compiled code (a
// built-in's first text argument on top; a binary operator's right operand on top), numeric
// operands are arguments; a built-in pops its text operands and pushes its text result in their
// place, or returns its number. Kes$StackLen and Kes$StackLen2 are declared with the stack
// itself, Kes$StackAGE with the dates.
#pragma once

#include <kestrel/abi.h>

// SUB(text, start, length): start counts from 1 (negative: from the end; 0 reads as 1), a
// negative length takes the rest.
KES_API void Kes$StackSUB(int32_t start, int32_t length) KES_NOEXCEPT;
// INSTRING(sought, searched, step, start): sought text on top, searched text below it. Returns
// the match number (the step-sized slot, the position for step 1 or a negative step), 0 if none.
KES_API int32_t Kes$StackINSTRING(int32_t step, int32_t start) KES_NOEXCEPT;
// CLIP: the top loses its trailing spaces, without copying.
KES_API void Kes$StackCLIP(void) KES_NOEXCEPT;
// Cuts the trailing spaces of a zero-terminated text in place; returns its new length (0 for
// null).
KES_API uint32_t Kes$clipstr(char* text) KES_NOEXCEPT;
// LEFT, RIGHT and CENTER in `width` bytes; -1 is the text's own length.
KES_API void Kes$StackLEFT(int32_t width) KES_NOEXCEPT;
KES_API void Kes$StackRIGHT(int32_t width) KES_NOEXCEPT;
KES_API void Kes$StackCENTER(int32_t width) KES_NOEXCEPT;
// ALL: the pattern on top repeated to `length` bytes (an empty pattern counts as a space).
KES_API void Kes$StackALL(int32_t length) KES_NOEXCEPT;
// UPPER and LOWER by the current character set's case tables.
KES_API void Kes$StackUPPER(void) KES_NOEXCEPT;
KES_API void Kes$StackLOWER(void) KES_NOEXCEPT;
// VAL: the code of the first byte (32 for an empty text); pops.
KES_API int32_t Kes$StackVAL(void) KES_NOEXCEPT;
// NUMERIC: 1 when the text is a number, else 0; pops.
KES_API int32_t Kes$StackNUMERIC(void) KES_NOEXCEPT;
// INLIST: the value on top and `count` items below it (the low byte counts; item 1 directly
// below the value). Returns the number of the first item equal by collation, 0 if none; pops
// them all.
KES_API int32_t Kes$StackINLIST(uint32_t count) KES_NOEXCEPT;
// A (below) and B (top) replaced by A & B, or by B & A for the reversed form.
KES_API void Kes$StackConcat(void) KES_NOEXCEPT;
KES_API void Kes$StackConcatR(void) KES_NOEXCEPT;
// Ordering of A (below) and B (top) by collation, negative, 0 or positive. Compare pops both,
// Compare1 only B; the R forms return the negated result.
KES_API int32_t Kes$StackCompare(void) KES_NOEXCEPT;
KES_API int32_t Kes$StackCompare1(void) KES_NOEXCEPT;
KES_API int32_t Kes$StackCompareR(void) KES_NOEXCEPT;
KES_API int32_t Kes$StackCompareR1(void) KES_NOEXCEPT;
// 1 when A and B differ byte for byte (trailing spaces ignored), else 0. NEQ pops both, NEQ1
// only B.
KES_API int32_t Kes$StackCompareNEQ(void) KES_NOEXCEPT;
KES_API int32_t Kes$StackCompareNEQ1(void) KES_NOEXCEPT;
// 1 when the top holds a byte other than a space, else 0; pops.
KES_API int32_t Kes$StackCompareN(void) KES_NOEXCEPT;
// FORMAT and DEFORMAT by a zero-terminated picture, or with the picture below the operand.
KES_API void Kes$StackFORMAT(const char* picture) KES_NOEXCEPT;
KES_API void Kes$StackFORMAT2(void) KES_NOEXCEPT;
KES_API void Kes$StackDEFORMAT(const char* picture) KES_NOEXCEPT;
KES_API void Kes$StackDEFORMAT2(void) KES_NOEXCEPT;
// PRESS: hands the text to the window layer's keystroke queue; pops.
KES_API void Kes$StackPRESS(void) KES_NOEXCEPT;
// ERRORFILE(), FILEERRORCODE() and FILEERROR(): push the error state's texts without trailing
// blanks.
KES_API void Kes$ERRORFILE(void) KES_NOEXCEPT;
KES_API void Kes$FILEERRORCODE(void) KES_NOEXCEPT;
KES_API void Kes$FILEERRORMSG(void) KES_NOEXCEPT;
// ERROR(): pushes the 80-byte text.
KES_API void Kes$StackErrstr(void) KES_NOEXCEPT;

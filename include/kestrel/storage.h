// Number storage formats: BFLOAT4 and BFLOAT8, and heap texts of numbers.
#pragma once

#include <kestrel/abi.h>

// The heap text pair of the string stack's interface: a platform heap buffer (null when empty,
// not terminated) and its length in bytes. The pair owns its buffer.
typedef struct KesTextPair KesTextPair;

// BFLOAT8 (8 bytes) and BFLOAT4 (4 bytes) at any alignment. Zero, negative zero and values too
// small for the format store as zero bytes; values too large clamp the exponent at 255. A null
// address stores nothing and reads 0.0.
KES_API void Kes$bstorefloat(void* destination, double value) KES_NOEXCEPT;
KES_API double Kes$bloadfloat(const void* source) KES_NOEXCEPT;
KES_API void Kes$bstorefloat4(void* destination, double value) KES_NOEXCEPT;
KES_API double Kes$bloadfloat4(const void* source) KES_NOEXCEPT;

// Sets the pair to a new heap copy of the REAL's text (at most 14 significant digits, general
// notation) or the LONG's decimal text. Whatever the pair held before is not freed. A failed
// allocation leaves the pair empty; a null pair is ignored.
KES_API void Kes$realtostr(KesTextPair* pair, double value) KES_NOEXCEPT;
KES_API void Kes$longtostr(KesTextPair* pair, int32_t value) KES_NOEXCEPT;
// Frees the pair's buffer, if any, and sets both fields to zero.
KES_API void Kes$freestr(KesTextPair* pair) KES_NOEXCEPT;

// Number storage formats: BFLOAT4 and BFLOAT8, DECIMAL and PDECIMAL through REAL, picture
// formatted text, and heap texts of numbers.
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

// A REAL stored into, and read from, a DECIMAL or PDECIMAL of size bytes with places fraction
// digits: the REAL's 15 most significant digits rounded half away from zero to the places, digits
// above the field dropped; NaN and infinities store zero. A null address stores nothing and
// reads 0.0.
KES_API void Kes$storedec(void* destination, uint8_t size, uint8_t places,
                          double value) KES_NOEXCEPT;
KES_API void Kes$pstoredec(void* destination, uint8_t size, uint8_t places,
                           double value) KES_NOEXCEPT;
KES_API double Kes$loaddec(const void* source, uint8_t size, uint8_t places) KES_NOEXCEPT;
KES_API double Kes$ploaddec(const void* source, uint8_t size, uint8_t places) KES_NOEXCEPT;

// A REAL or LONG formatted through a picture (zero-terminated) into a fixed-length destination
// (a null destination takes nothing).
KES_API void Kes$pictstorereal(char* destination, uint32_t length, const char* picture,
                               double value) KES_NOEXCEPT;
KES_API void Kes$pictstorelong(char* destination, uint32_t length, const char* picture,
                               int32_t value) KES_NOEXCEPT;
// Text deformatted through a picture (null: "@S" and the length, so the text passes unchanged)
// and read as a REAL or a LONG; no number reads as 0.
KES_API double Kes$pictloadreal(const char* text, uint32_t length,
                                const char* picture) KES_NOEXCEPT;
KES_API int32_t Kes$pictloadlong(const char* text, uint32_t length,
                                 const char* picture) KES_NOEXCEPT;

// Sets the pair to a new heap copy of the REAL's text (at most 14 significant digits, general
// notation) or the LONG's decimal text. Whatever the pair held before is not freed. A failed
// allocation leaves the pair empty; a null pair is ignored.
KES_API void Kes$realtostr(KesTextPair* pair, double value) KES_NOEXCEPT;
KES_API void Kes$longtostr(KesTextPair* pair, int32_t value) KES_NOEXCEPT;
// Frees the pair's buffer, if any, and sets both fields to zero.
KES_API void Kes$freestr(KesTextPair* pair) KES_NOEXCEPT;

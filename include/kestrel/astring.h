// ASTRING values and TIE: interned texts, compared by address, with (key, value) pairs tied to
// them. An AString is the address of the text's first byte (its 16-bit length is stored just
// before it), or null for the empty text.
#pragma once

#include <stdint.h>

#include <kestrel/abi.h>

// Pops the string stack's top as an AString (null for the empty text or when memory runs out).
// Popping an empty stack is a fatal run-time error.
KES_API const char* Kes$PopAString(void) KES_NOEXCEPT;
// Stores into *destination the AString of the text with trailing spaces removed (null when
// nothing remains, or when memory runs out). Texts longer than 65,535 bytes are cut to that.
KES_API void Kes$MakeAString(const char** destination, const char* text,
                             uint32_t length) KES_NOEXCEPT;
// The same for a zero-terminated text (null gives null).
KES_API const char* Kes$CString2AString(const char* text) KES_NOEXCEPT;
// The AString's length in bytes (0 for null).
KES_API uint32_t Kes$AStringLen(const char* astring) KES_NOEXCEPT;
// The AString of the upper-case text by the current case table (null for null).
KES_API const char* Kes$AStringUPPER(const char* astring) KES_NOEXCEPT;

// TIE: attaches value under key (0: the next automatic key, -101 downwards) and returns the key;
// -1 cannot be tied and is returned as it is; 0 is returned when memory runs out.
KES_API int32_t Kes$TIE(const char* astring, int32_t key, int32_t value) KES_NOEXCEPT;
// TIED: the value under key, or 0.
KES_API int32_t Kes$TIED(const char* astring, int32_t key) KES_NOEXCEPT;
// UNTIE: removes the key's pair (key -1: every pair); with a nonzero all flag from every
// AString of the table.
KES_API void Kes$UNTIE(const char* astring, int32_t key, int32_t all) KES_NOEXCEPT;

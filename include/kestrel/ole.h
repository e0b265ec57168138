// OLE automation values as the library passes them: BSTR strings and 16-byte VARIANTs.
#pragma once

#include <stddef.h>

#include <kestrel/abi.h>

// One UTF-16 code unit of a BSTR.
typedef uint16_t KesOleChar;

// A BSTR points at its first UTF-16 unit; the byte length (32-bit) is stored just before it and
// a zero unit follows the text. Null is the empty BSTR.
typedef KesOleChar* KesBStr;

// Variant type codes the library produces and reads.
enum KesVariantType {
  KesVariantEmpty = 0,
  KesVariantNull = 1,
  KesVariantLong = 3,  // signed 32-bit
  KesVariantReal = 5,  // double
  KesVariantBStr = 8,  // a BSTR the variant owns
};

// A 16-byte VARIANT: the type code, three reserved words, then the value (a signed 32-bit number
// or a double or a BSTR pointer, little-endian) in the last 8 bytes. Its fields are bytes so
// that a VARIANT may sit at any 2-byte boundary, as it does inside a string-stack entry.
typedef struct KesVariant {
  uint16_t type;
  uint16_t reserved1;
  uint16_t reserved2;
  uint16_t reserved3;
  unsigned char value[8];
} KesVariant;

#ifdef __cplusplus
static_assert(sizeof(KesVariant) == 16, "a VARIANT is 16 bytes");
static_assert(offsetof(KesVariant, type) == 0, "type code first");
static_assert(offsetof(KesVariant, value) == 8, "value in the last 8 bytes");
#endif

// Frees the BSTR held in `*variable` and sets the variable to null. A null pointer is ignored.
KES_API void Kes$ClearBString(KesBStr* variable) KES_NOEXCEPT;
// Releases what the VARIANT holds and makes it empty. A null pointer is ignored.
KES_API void Kes$ClearVariant(KesVariant* variant) KES_NOEXCEPT;
// Clears the VARIANT, then makes it hold the whole number or the double.
KES_API void Kes$AssignLong2Variant(KesVariant* variant, int32_t value) KES_NOEXCEPT;
KES_API void Kes$AssignReal2Variant(KesVariant* variant, double value) KES_NOEXCEPT;

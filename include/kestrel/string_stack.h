// The string stack's exports: pushes, pops into storage, housekeeping and the text stores.
#pragma once

#include <stddef.h>

#include <kestrel/abi.h>
#include <kestrel/ole.h>

// A text handed between compiled code and the library: a pointer and a byte length (8 bytes
// with 32-bit pointers; the pointer takes the native width on 64-bit hosts).
typedef struct KesTextPair {
  char* pointer;
  uint32_t length;
} KesTextPair;

#ifdef __cplusplus
static_assert(offsetof(KesTextPair, pointer) == 0, "pointer first");
static_assert(offsetof(KesTextPair, length) == sizeof(void*), "length after the pointer");
static_assert(sizeof(KesTextPair) == 2 * sizeof(void*), "no trailing fields");
#endif

// Pushes. A push onto a full stack (32 entries) does nothing; Kes$PushTemp and
// Kes$PushBStringTmp then free what they were given.
KES_API void Kes$PushString(const char* text, uint32_t length) KES_NOEXCEPT;
KES_API void Kes$PushTemp(char* heap_block, uint32_t length) KES_NOEXCEPT;
KES_API void Kes$PushNull(void) KES_NOEXCEPT;
KES_API void Kes$PushCString(const char* text) KES_NOEXCEPT;
KES_API void Kes$PushLong(int32_t value) KES_NOEXCEPT;
KES_API void Kes$PushReal(double value) KES_NOEXCEPT;
KES_API void Kes$PushBool(int32_t value) KES_NOEXCEPT;
KES_API void Kes$PushAString(const char* astring) KES_NOEXCEPT;
KES_API void Kes$PushBString(KesBStr bstr) KES_NOEXCEPT;
KES_API void Kes$PushBStringTmp(KesBStr bstr) KES_NOEXCEPT;
KES_API void Kes$PushVariant(KesVariant* variant) KES_NOEXCEPT;
KES_API void Kes$PushVariantLong(int32_t value) KES_NOEXCEPT;
KES_API void Kes$PushVariantReal(double value) KES_NOEXCEPT;

// Pops into storage. Popping an empty stack is a fatal run-time error.
KES_API void Kes$PopString(char* destination, uint32_t size) KES_NOEXCEPT;
KES_API void Kes$PopCString(char* destination, uint32_t size) KES_NOEXCEPT;
KES_API void Kes$PopPString(char* destination, uint32_t size) KES_NOEXCEPT;
KES_API void Kes$PopTemp(KesTextPair* pair) KES_NOEXCEPT;
KES_API int32_t Kes$PopLong(void) KES_NOEXCEPT;
KES_API double Kes$PopReal(void) KES_NOEXCEPT;
KES_API void Kes$Stack2DStack(void) KES_NOEXCEPT;
KES_API void Kes$DStack2Stack(void) KES_NOEXCEPT;
KES_API KesBStr Kes$PopBStringTmp(void) KES_NOEXCEPT;
KES_API void Kes$Stack2BString(KesBStr* variable) KES_NOEXCEPT;
KES_API void Kes$Stack2BStringTmp(KesBStr* variable) KES_NOEXCEPT;
KES_API void Kes$Stack2Variant(KesVariant* variant) KES_NOEXCEPT;
KES_API KesVariant* Kes$Stack2VariantTmp(void) KES_NOEXCEPT;

// Housekeeping.
KES_API void Kes$STACKpop(void) KES_NOEXCEPT;
KES_API uint32_t Kes$StackLen2(void) KES_NOEXCEPT;
KES_API uint32_t Kes$StackLen(void) KES_NOEXCEPT;
KES_API void Kes$StackRotate(uint32_t n) KES_NOEXCEPT;
KES_API void Kes$StackHeap(void) KES_NOEXCEPT;
// Parameter number, parameter count, then one flag word per parameter (1 omitted, 0 given).
KES_API int32_t Kes$Omitted(int32_t number, int32_t count, ...) KES_NOEXCEPT;
KES_API void Kes$String2Ref(int32_t* first, int32_t* second, int32_t* third) KES_NOEXCEPT;
KES_API void Kes$StashBP(void** frame) KES_NOEXCEPT;

// Text stores: destination, size, source, length; a null source makes the length a signed
// fill code (0 blanks, negative low values, positive high values).
KES_API void Kes$storestr(char* destination, uint32_t size, const char* source,
                          uint32_t length) KES_NOEXCEPT;
KES_API void Kes$storecstr(char* destination, uint32_t size, const char* source,
                           uint32_t length) KES_NOEXCEPT;
KES_API void Kes$storepstr(char* destination, uint32_t size, const char* source,
                           uint32_t length) KES_NOEXCEPT;
KES_API void Kes$clearstr(char* destination, uint32_t length) KES_NOEXCEPT;
KES_API void Kes$duplicate(void* destination, uint32_t unit_size, uint32_t count) KES_NOEXCEPT;
KES_API uint32_t Kes$FastClip(uint32_t length, const char* text) KES_NOEXCEPT;
KES_API void Kes$loadstr(KesTextPair* pair, const char* source, uint32_t length) KES_NOEXCEPT;

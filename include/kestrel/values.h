// Value descriptors' exports: the factories, the generic operations that call a descriptor's
// slots, and the WHO, WHAT and WHERE built-ins on groups.
#pragma once

#include <kestrel/abi.h>
#include <kestrel/ufo.h>

// Factories. Each returns a new descriptor the caller destroys with Kes$FreeUfo, or null when
// memory runs out.
// A descriptor of the type's class over `address`. `size` is the byte size for the string
// types and the group-less types that need one; for DECIMAL and PDECIMAL its low byte is the
// size in bytes and its second byte the number of places. With `clone` nonzero the
// descriptor owns a copy of the value. A type code without a class is run-time error 501
// "String Stack Error".
KES_API Ufo* Kes$Mem2Ufo(void* address, uint32_t type_code, uint32_t size,
                         uint32_t clone) KES_NOEXCEPT;
// A GroupUfo over the group at `address` described by the type descriptor.
KES_API Ufo* Kes$Group2Ufo(void* address, const unsigned char* type_descriptor) KES_NOEXCEPT;
// An ArrayUfo of `count` elements; takes the element descriptor over (destroyed on failure).
KES_API Ufo* Kes$ArrayOfUfo(Ufo* element, uint32_t count) KES_NOEXCEPT;
// A picture descriptor with its own storage (the picture's width, blank) / over `address`.
// Null for an invalid picture.
KES_API Ufo* Kes$PictureUfo(const char* picture) KES_NOEXCEPT;
KES_API Ufo* Kes$Picture2Ufo(const char* picture, void* address) KES_NOEXCEPT;
// Free-standing values.
KES_API Ufo* Kes$Long2Ufo(int32_t value) KES_NOEXCEPT;
KES_API Ufo* Kes$Real2Ufo(double value) KES_NOEXCEPT;
// Pops the string stack (decimal stack) into a new ValueUfo.
KES_API Ufo* Kes$Stack2Ufo(void) KES_NOEXCEPT;
KES_API Ufo* Kes$DStack2Ufo(void) KES_NOEXCEPT;
// Mode 1: a new ValueUfo with the same value; 2: AClone with a copy of the storage; any other:
// AClone over the same storage. Null for a null descriptor.
KES_API Ufo* Kes$CloneUfo(const Ufo* ufo, int32_t mode) KES_NOEXCEPT;

// Generic operations: each calls the named slot. Where "or null" is said, a null descriptor
// gives the stated result; elsewhere a null descriptor does nothing (or gives 0 or null).
KES_API void Kes$AssignUfo(Ufo* destination, const Ufo* source) KES_NOEXCEPT;
KES_API void Kes$AssignLong2Ufo(Ufo* ufo, int32_t value) KES_NOEXCEPT;
// Pop: the top of the string stack into the descriptor.
KES_API void Kes$Stack2UfoC(Ufo* ufo) KES_NOEXCEPT;
// Push; null pushes the empty string.
KES_API void Kes$PushUfo(const Ufo* ufo) KES_NOEXCEPT;
// Long, Real, Size, Address; 0, 0.0, 0, null for null.
KES_API int32_t Kes$Ufo2Long(const Ufo* ufo) KES_NOEXCEPT;
KES_API double Kes$Ufo2Real(const Ufo* ufo) KES_NOEXCEPT;
KES_API uint32_t Kes$SizeUfo(const Ufo* ufo) KES_NOEXCEPT;
KES_API void* Kes$AddressUfo(const Ufo* ufo) KES_NOEXCEPT;
// Select of element n, Select of bytes start to end, Designate of field n.
KES_API Ufo* Kes$SelectUfo(const Ufo* ufo, uint32_t element) KES_NOEXCEPT;
KES_API Ufo* Kes$SelectUfo2(const Ufo* ufo, uint32_t start, uint32_t end) KES_NOEXCEPT;
KES_API Ufo* Kes$DesignateUfo(const Ufo* ufo, uint32_t field) KES_NOEXCEPT;
KES_API void Kes$BindG(Ufo* ufo) KES_NOEXCEPT;
// 1 when the value is not blank or zero; 0 when it is, and for null.
KES_API int32_t Kes$UfoCompareN(const Ufo* ufo) KES_NOEXCEPT;
// a's Distincts with b: negative, 0, positive. A null a gives the negated Kes$UfoCompareN of b.
KES_API int32_t Kes$Ufodistinct(const Ufo* a, const Ufo* b) KES_NOEXCEPT;
// Two string values compare without regard to case (the shorter one taken as blank-padded);
// otherwise as Kes$Ufodistinct.
KES_API int32_t Kes$Ufodistincti(const Ufo* a, const Ufo* b) KES_NOEXCEPT;
// The descriptor's value against d; for null, -1 when d >= 0, else 1.
KES_API int32_t Kes$UfoRealDiff(const Ufo* ufo, double d) KES_NOEXCEPT;
// 1 when the descriptor's type is string-like (18-20, 27-29, 42-44), else 0.
KES_API int32_t Kes$IsUfoString(const Ufo* ufo) KES_NOEXCEPT;
// Free, then the descriptor itself (null does nothing) / Free only.
KES_API void Kes$FreeUfo(Ufo* ufo) KES_NOEXCEPT;
KES_API void Kes$FreeUpUfo(Ufo* ufo) KES_NOEXCEPT;
KES_API void Kes$CONVERTOEMTOANSI(Ufo* ufo) KES_NOEXCEPT;
KES_API void Kes$CONVERTANSITOOEM(Ufo* ufo) KES_NOEXCEPT;
// WHO, WHAT and WHERE on a group given as its address, size and type descriptor.
// Pushes the name of field n (its second name when it has one) as an owned copy; the empty
// string beyond the fields.
KES_API void Kes$WHO(void* address, uint32_t size, const unsigned char* type_descriptor,
                     uint32_t field) KES_NOEXCEPT;
// A new descriptor over field n that the caller destroys; null beyond the fields.
KES_API Ufo* Kes$WHAT(void* address, uint32_t size, const unsigned char* type_descriptor,
                      uint32_t field) KES_NOEXCEPT;
// The number of the field the descriptor designates, or 0 (also for null).
KES_API int32_t Kes$WHERE(void* address, uint32_t size, const unsigned char* type_descriptor,
                          const Ufo* ufo) KES_NOEXCEPT;

// NEW, DISPOSE, CLEAR, deep assignment and assignment to ANY references.
#pragma once

#include <kestrel/abi.h>
#include <kestrel/ufo.h>

// A destructor of a class instance, called with the instance.
typedef void (*KesDestructor)(void* object);

// Allocate `size` bytes from the runtime heap: every field of the group cleared with code 0
// (Kes$NewMemT), filled with spaces (Kes$NewMemB), filled with zero bytes (Kes$NewMemZ). Null,
// with nothing cleared, when the heap is exhausted.
KES_API void* Kes$NewMemT(uint32_t size, const unsigned char* type_descriptor) KES_NOEXCEPT;
KES_API void* Kes$NewMemB(uint32_t size) KES_NOEXCEPT;
KES_API void* Kes$NewMemZ(uint32_t size) KES_NOEXCEPT;
// DISPOSE of an instance: the destructor runs with the object, then its memory (from NEW) is
// freed. A null object does nothing. Kes$DISPOSEvref takes the destructor from the object's own
// table of virtual operations at `slot` (the object's first word points at the table).
KES_API void Kes$DISPOSEref(KesDestructor destructor, void* object) KES_NOEXCEPT;
KES_API void Kes$DISPOSEvref(uint32_t slot, void* object) KES_NOEXCEPT;

// CLEAR: every field of the group at `address` (Kes$CLEAR), one descriptor's value
// (Kes$ClearUfo), one variable of a fixed-size type (Kes$ClearType), with a fill code: 0 blank
// or zero, negative the lowest value, positive the highest.
KES_API void Kes$CLEAR(void* address, const unsigned char* type_descriptor,
                       int8_t fill) KES_NOEXCEPT;
KES_API void Kes$ClearUfo(Ufo* ufo, int8_t fill) KES_NOEXCEPT;
KES_API void Kes$ClearType(void* address, uint32_t type_code, int8_t fill) KES_NOEXCEPT;

// Deep assignment: assigns field by field as the compiler's field-pair list says. The list: a
// width byte (1: 32-bit numbers, 0: 8-bit), the pair count, then (destination field, source
// field) pairs; with 32-bit numbers the count sits at offset 4 and the pairs from offset 8.
// Field 0 stands for the group itself.
KES_API void Kes$DeepAssign(Ufo* destination, Ufo* source,
                            const unsigned char* pair_list) KES_NOEXCEPT;

// ANY references: variables that hold a pointer to a value descriptor (null: nothing).
// Makes the reference refer to the source: a descriptor over the same storage for a variable,
// the source itself for a free-standing value or null. The old descriptor is destroyed.
KES_API void Kes$RefAssignAny(Ufo** reference, Ufo* source) KES_NOEXCEPT;
// Assigns the source's value (the empty string for null) to what the reference refers to; a
// null reference first receives a new ValueUfo.
KES_API void Kes$AssignRefUfo(Ufo** reference, const Ufo* source) KES_NOEXCEPT;
KES_API void Kes$AssignLong2RefUfo(Ufo** reference, int32_t value) KES_NOEXCEPT;
KES_API void Kes$AssignReal2RefUfo(Ufo** reference, double value) KES_NOEXCEPT;

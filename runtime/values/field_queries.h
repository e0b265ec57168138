// WHO, WHAT and WHERE over a structure's storage and its class descriptor: the groups'
// built-ins call these, and so do the queues' on their record buffers.
//
// State: none (class descriptors come from the process-wide cache of runtime/types).
#pragma once

#include <cstdint>

#include <kestrel/types.h>
#include <kestrel/ufo.h>

namespace kes::runtime {

// Pushes FIELDNAME of field `field` (0 the structure) as an owned copy; the empty string beyond
// the fields or for a null descriptor.
void push_field_name(class_descriptor* descriptor, unsigned field) noexcept;

// A new descriptor over field `field` of the structure at `base` (`size` bytes); null beyond the
// fields, for a field reaching past `size` bytes, for a null descriptor, or when memory runs
// out.
Ufo* field_value(class_descriptor* descriptor, void* base, std::uint32_t size,
                 unsigned field) noexcept;

// The number of the first field at the descriptor's address whose type code (a GROUP counting
// as STRING) and whole size (element size times the product of the dimensions) match and that
// the descriptor confirms it designates (VarUfo slot 35); 0 when none, for a null descriptor or
// a free-standing value.
unsigned field_of(class_descriptor* descriptor, const void* base, const Ufo* ufo) noexcept;

}  // namespace kes::runtime

// CLEAR's fill table, for one value and for a whole structure walked field by field.
//
// State: none.
#pragma once

#include <cstdint>

#include <kestrel/types.h>

namespace kes::runtime {

// Clears one value at `address` with the fill code (0 blank or zero, negative the lowest value,
// positive the highest); `size` and `places` serve the string and packed decimal types. False,
// with nothing written, for a type without a fill rule (references, OLE values, groups, MEMO
// and the codes without a class).
bool clear_value(void* address, std::uint32_t type_code, std::uint32_t size, std::uint32_t places,
                 int fill) noexcept;

// Clears every field of the structure at `base` (`size` bytes) as each field's own Clear would:
// dimensioned fields element by element, groups through their own fields, reference and OLE
// fields through their value descriptors. A field reaching past `size` bytes is left alone.
void clear_structure(const class_descriptor& descriptor, char* base, std::uint32_t size,
                     int fill) noexcept;

}  // namespace kes::runtime

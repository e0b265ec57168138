// CLEAR of groups and deep assignment, field by field through the class descriptor's walk.
//
// State: none.
#pragma once

#include <cstdint>

#include <kestrel/types.h>
#include <kestrel/ufo.h>

namespace kes::runtime {

// Clears every field of the structure at `base` with the fill code, as each field's value
// descriptor's Clear would: arrays element by element, groups through their own fields. A
// field that reaches past the structure's size is left alone.
void clear_structure(const class_descriptor& descriptor, void* base, int fill) noexcept;

// Clears one value of a fixed-size or packed type at `address`: `size` and `places` are used by
// the string and decimal types. False for a type code without a clear rule.
bool clear_value(void* address, std::uint32_t type_code, std::uint32_t size,
                 std::uint32_t places, int fill) noexcept;

// Runs a deep-assignment field-pair list: for each pair the destination field (Designate of d,
// or the destination itself for 0) is assigned the source field. A pair naming a field beyond
// either group is skipped.
void deep_assign(Ufo& destination, Ufo& source, const unsigned char* pair_list) noexcept;

}  // namespace kes::runtime

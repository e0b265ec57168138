// Deep assignment, field by field as the compiler's field-pair list says.
//
// State: none.
#pragma once

#include <cstdint>

#include <kestrel/types.h>
#include <kestrel/ufo.h>

namespace kes::runtime {

// Runs a deep-assignment field-pair list: for each pair the destination field (Designate of d,
// or the destination itself for 0) is assigned the source field. A pair naming a field beyond
// either group is skipped.
void deep_assign(Ufo& destination, Ufo& source, const unsigned char* pair_list) noexcept;

}  // namespace kes::runtime

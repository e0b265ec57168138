// Exports of the type-code table.
#include <kestrel/types.h>

#include "runtime/types/type_codes.h"

extern "C" KES_EXPORT uint32_t Kes$TypeSize(uint32_t type_code) noexcept {
  return kes::runtime::type_size(type_code);
}

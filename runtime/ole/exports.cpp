// The exported OLE helpers compiled code calls to release and assign BSTR and VARIANT values.
#include <kestrel/ole.h>

#include "runtime/ole/bstr.h"
#include "runtime/ole/variant.h"

namespace rt = kes::runtime;

extern "C" void Kes$ClearBString(KesBStr* variable) noexcept {
  if (variable == nullptr) return;
  rt::bstr_free(*variable);
  *variable = nullptr;
}

extern "C" void Kes$ClearVariant(KesVariant* variant) noexcept {
  if (variant != nullptr) rt::variant_clear(*variant);
}

extern "C" void Kes$AssignLong2Variant(KesVariant* variant, int32_t value) noexcept {
  if (variant != nullptr) rt::variant_assign_long(*variant, value);
}

extern "C" void Kes$AssignReal2Variant(KesVariant* variant, double value) noexcept {
  if (variant != nullptr) rt::variant_assign_real(*variant, value);
}

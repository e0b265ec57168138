// The exported REAL conversions to and from DECIMAL and PDECIMAL variables.
#include <cstdint>

#include <kestrel/storage.h>

#include "numeric/storage/storage_decimal.h"

namespace nm = kes::numeric;

extern "C" void Kes$storedec(void* destination, uint8_t size, uint8_t places,
                             double value) noexcept {
  nm::store_real_as_decimal(static_cast<std::uint8_t*>(destination), size, places, value, false);
}
extern "C" void Kes$pstoredec(void* destination, uint8_t size, uint8_t places,
                              double value) noexcept {
  nm::store_real_as_decimal(static_cast<std::uint8_t*>(destination), size, places, value, true);
}
extern "C" double Kes$loaddec(const void* source, uint8_t size, uint8_t places) noexcept {
  return nm::load_real_from_decimal(static_cast<const std::uint8_t*>(source), size, places, false);
}
extern "C" double Kes$ploaddec(const void* source, uint8_t size, uint8_t places) noexcept {
  return nm::load_real_from_decimal(static_cast<const std::uint8_t*>(source), size, places, true);
}

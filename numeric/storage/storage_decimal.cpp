// REAL to and from packed decimals, through one working decimal value.
#include "numeric/storage/storage_decimal.h"

#include <cstdint>

#include "numeric/decimal/decimal_convert.h"
#include "numeric/decimal/decimal_stack.h"

namespace kes::numeric {

void store_real_as_decimal(std::uint8_t* bytes, std::uint8_t size, std::uint8_t places,
                           double value, bool pdecimal) noexcept {
  DecimalEntry entry;
  decimal_from_real(entry, value);
  decimal_store_packed(entry, bytes, pdecimal ? PackedKind::Pdecimal : PackedKind::Decimal, size,
                       places);
}

double load_real_from_decimal(const std::uint8_t* bytes, std::uint8_t size, std::uint8_t places,
                              bool pdecimal) noexcept {
  DecimalEntry entry;
  decimal_load_packed(entry, bytes, pdecimal ? PackedKind::Pdecimal : PackedKind::Decimal, size,
                      places);
  return decimal_to_real(entry);
}

}  // namespace kes::numeric

// VARIANT values: empty, null, 32-bit integer, double and BSTR, with the type changes the
// string stack needs.
//
// State: none.
#pragma once

#include <cstdint>
#include <optional>

#include <kestrel/ole.h>

namespace kes::runtime {

// Makes `variant` empty without releasing anything (for fresh storage).
void variant_init(KesVariant& variant) noexcept;
// Releases what `variant` holds (its BSTR) and makes it empty.
void variant_clear(KesVariant& variant) noexcept;
// Clears, then stores the value. variant_assign_bstr takes the BSTR over.
void variant_assign_long(KesVariant& variant, std::int32_t value) noexcept;
void variant_assign_real(KesVariant& variant, double value) noexcept;
void variant_assign_bstr(KesVariant& variant, KesBStr bstr) noexcept;

// The value fields as stored (meaningful only for the matching type).
std::int32_t variant_long(const KesVariant& variant) noexcept;
double variant_real(const KesVariant& variant) noexcept;
KesBStr variant_bstr(const KesVariant& variant) noexcept;

// Makes `target` (cleared first) a deep copy of `source`; false when a BSTR copy fails, `target`
// then being empty.
bool variant_copy(KesVariant& target, const KesVariant& source) noexcept;

// The value changed to a string: a new BSTR the caller owns. Empty and null give an empty BSTR,
// whole numbers their decimal text, doubles up to 15 significant digits. nullopt on allocation
// failure or an unknown type.
std::optional<KesBStr> variant_to_bstr(const KesVariant& variant) noexcept;
// The value changed to a whole number: doubles round half to even, texts are read as numbers;
// nullopt when the value does not fit 32 bits or is not a number.
std::optional<std::int32_t> variant_to_long(const KesVariant& variant) noexcept;
// The value changed to a double; nullopt when a text is not a number.
std::optional<double> variant_to_real(const KesVariant& variant) noexcept;

}  // namespace kes::runtime

// VARIANT values held in the 16-byte layout compiled code uses.
#include "runtime/ole/variant.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "runtime/ole/bstr.h"

namespace kes::runtime {
namespace {
template <typename T>
T read_value(const KesVariant& variant) noexcept {
  T value{};
  std::memcpy(&value, variant.value, sizeof(T));
  return value;
}

template <typename T>
void write_value(KesVariant& variant, KesVariantType type, T value) noexcept {
  variant_init(variant);
  variant.type = static_cast<std::uint16_t>(type);
  std::memcpy(variant.value, &value, sizeof(T));
}

// The BSTR's text as ANSI bytes read as a double (leading and trailing blanks allowed).
std::optional<double> parse_bstr(KesBStr bstr) noexcept {
  char text[64];
  const std::uint32_t units = bstr_units(bstr);
  if (units >= sizeof(text)) return std::nullopt;
  for (std::uint32_t index = 0; index < units; ++index)
    text[index] = ansi_from_unit(bstr[index]);
  const char* first = text;
  const char* last = text + units;
  while (first < last && *first == ' ')
    ++first;
  while (last > first && last[-1] == ' ')
    --last;
  if (first < last && *first == '+') ++first;
  double value = 0;
  const auto [end, error] = std::from_chars(first, last, value);
  if (error != std::errc{} || end != last) return std::nullopt;
  return value;
}

std::optional<std::int32_t> long_from_real(double value) noexcept {
  if (!std::isfinite(value)) return std::nullopt;
  const double rounded = std::nearbyint(value);  // half to even in the default rounding mode
  if (rounded < -2147483648.0 || rounded > 2147483647.0) return std::nullopt;
  return static_cast<std::int32_t>(rounded);
}
}  // namespace

void variant_init(KesVariant& variant) noexcept { std::memset(&variant, 0, sizeof(variant)); }

void variant_clear(KesVariant& variant) noexcept {
  if (variant.type == KesVariantBStr) bstr_free(variant_bstr(variant));
  variant_init(variant);
}

void variant_assign_long(KesVariant& variant, std::int32_t value) noexcept {
  variant_clear(variant);
  write_value(variant, KesVariantLong, value);
}

void variant_assign_real(KesVariant& variant, double value) noexcept {
  variant_clear(variant);
  write_value(variant, KesVariantReal, value);
}

void variant_assign_bstr(KesVariant& variant, KesBStr bstr) noexcept {
  variant_clear(variant);
  write_value(variant, KesVariantBStr, bstr);
}

std::int32_t variant_long(const KesVariant& variant) noexcept {
  return read_value<std::int32_t>(variant);
}
double variant_real(const KesVariant& variant) noexcept { return read_value<double>(variant); }
KesBStr variant_bstr(const KesVariant& variant) noexcept { return read_value<KesBStr>(variant); }

bool variant_copy(KesVariant& target, const KesVariant& source) noexcept {
  if (&target == &source) return true;
  variant_clear(target);
  if (source.type != KesVariantBStr) {
    std::memcpy(&target, &source, sizeof(target));
    return true;
  }
  KesBStr original = variant_bstr(source);
  KesBStr copy = bstr_copy(original);
  if (copy == nullptr && original != nullptr) return false;
  write_value(target, KesVariantBStr, copy);
  return true;
}

std::optional<KesBStr> variant_to_bstr(const KesVariant& variant) noexcept {
  char text[32];
  std::size_t length = 0;
  switch (variant.type) {
    case KesVariantEmpty:
    case KesVariantNull: break;
    case KesVariantLong: {
      const auto result = std::to_chars(text, text + sizeof(text), variant_long(variant));
      length = static_cast<std::size_t>(result.ptr - text);
      break;
    }
    case KesVariantReal: {
      const auto result = std::to_chars(text, text + sizeof(text), variant_real(variant),
                                        std::chars_format::general, 15);
      length = static_cast<std::size_t>(result.ptr - text);
      break;
    }
    case KesVariantBStr: {
      KesBStr original = variant_bstr(variant);
      KesBStr copy = original == nullptr ? bstr_allocate(nullptr, 0) : bstr_copy(original);
      if (copy == nullptr) return std::nullopt;
      return copy;
    }
    default: return std::nullopt;
  }
  KesBStr result = bstr_from_ansi({text, length});
  if (result == nullptr) return std::nullopt;
  return result;
}

std::optional<std::int32_t> variant_to_long(const KesVariant& variant) noexcept {
  switch (variant.type) {
    case KesVariantEmpty: return 0;
    case KesVariantLong: return variant_long(variant);
    case KesVariantReal: return long_from_real(variant_real(variant));
    case KesVariantBStr: {
      const std::optional<double> value = parse_bstr(variant_bstr(variant));
      if (!value) return std::nullopt;
      return long_from_real(*value);
    }
    default: return std::nullopt;
  }
}

std::optional<double> variant_to_real(const KesVariant& variant) noexcept {
  switch (variant.type) {
    case KesVariantEmpty: return 0.0;
    case KesVariantLong: return static_cast<double>(variant_long(variant));
    case KesVariantReal: return variant_real(variant);
    case KesVariantBStr: return parse_bstr(variant_bstr(variant));
    default: return std::nullopt;
  }
}

}  // namespace kes::runtime

// The table of type codes: sizes and printed names.
#include "runtime/types/type_codes.h"

#include <array>

namespace kes::runtime {
namespace {

// Codes 0 to 31 in order; 17 has no name of its own.
constexpr std::array<std::string_view, 32> kNames = {
    "END",      "BYTE",    "SHORT",   "USHORT",
    "DATE",     "TIME",    "LONG",    "ULONG",
    "SREAL",    "REAL",    "DECIMAL", "PDECIMAL",
    "DUM1",     "BFLOAT4", "BFLOAT8", "ANY",
    "TEMPUFO",  "(17)",    "STRING",  "CSTRING",
    "PSTRING",  "MEMO",    "GROUP",   "CLASS",
    "ARRAY",    "FIELD",   "QUEUE",   "BLOB",
    "STACKSTR", "PICTURE", "STDNUM",  "string reference"};

constexpr std::array<std::uint8_t, 32> kSizes = {0, 1, 2, 2, 4, 4, 4, 4, 4, 8, 0, 0, 0, 4, 8, 4,
                                                 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4};

}  // namespace

std::uint32_t type_size(std::uint32_t type_code) noexcept {
  if (type_code < kSizes.size()) return kSizes[type_code];
  if (type_code == 45) return 16;                    // VARIANT
  if (type_code == 41 || type_code >= 48) return 0;  // no fixed size
  return 4;                                          // 32 to 40, 42 to 44, 46, 47
}

std::string_view type_name(std::uint32_t type_code) noexcept {
  if (type_code < kNames.size()) return kNames[type_code];
  switch (type_code) {
    case 42: return "BSTR string";
    case 43: return "AString";
    case 45: return "VARIANT";
    default: return "UNKNOWN";
  }
}

}  // namespace kes::runtime

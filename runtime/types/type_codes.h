// The table of type codes: storage sizes, the names the library prints, string-like codes.
//
// State: constant tables only.
#pragma once

#include <cstdint>
#include <string_view>

namespace kes::runtime {

// The fixed storage size of a type code in bytes; 0 where the declaration decides (and for
// codes outside the table). Codes 32 to 40, 42 to 44, 46 and 47 are 4 bytes, 45 (VARIANT) 16.
std::uint32_t type_size(std::uint32_t type_code) noexcept;

// The name printed for a type code: "BYTE" to "STDNUM", "(17)" for code 17, "ANY" for 31,
// "BSTRING", "ASTRING", "VARIANT" for 42, 43, 45, "UNKNOWN" for every other code.
std::string_view type_name(std::uint32_t type_code) noexcept;

// True for the types whose variable holds a pointer (ANY, string reference, BSTR, AString):
// their storage is a pointer of this build (4 bytes on the 32-bit target the compiler lays out).
constexpr bool is_pointer_type(std::uint32_t type_code) noexcept {
  return type_code == 15 || type_code == 31 || type_code == 42 || type_code == 43;
}

// True for the string-like codes: 18 to 20, 27 to 29 and 42 to 44.
constexpr bool is_string_type(std::uint32_t type_code) noexcept {
  return (type_code >= 18 && type_code <= 20) || (type_code >= 27 && type_code <= 29) ||
         (type_code >= 42 && type_code <= 44);
}

}  // namespace kes::runtime

// Sound-alike codes for MATCH: a letter and three digits, so that names spelt differently but
// said alike (Smith, Smyth) get the same code.
#pragma once

#include <array>
#include <string_view>

namespace kes::numeric {

// The four-character code of `text`. Non-letters before the first letter are skipped; the
// first letter, in upper case, comes first; each further letter A to Z (after upper-casing)
// gives a digit, of which 0 and the first letter's own digit are left out, until three are
// present; "0" fills the rest. A text without letters gives "!000". Letters are the characters
// the case tables class as upper or lower case.
std::array<char, 4> soundex_code(std::string_view text) noexcept;

}  // namespace kes::numeric

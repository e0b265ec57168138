// Wildcard matching for MATCH: "*" stands for any run of characters (none too), "?" for any one
// character, every other character for itself; the whole text must match.
#pragma once

#include <string_view>

namespace kes::numeric {

// Whether all of `text` matches `pattern`. With `no_case` characters compare after conversion
// to upper case through the case tables. Takes time proportional to the product of the lengths
// at worst, and no memory.
bool wildcard_match(std::string_view pattern, std::string_view text, bool no_case) noexcept;

}  // namespace kes::numeric

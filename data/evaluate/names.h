// The rule for names of bound variables and procedures, and their comparison without regard to
// case.
#pragma once

#include <cstddef>
#include <string_view>

namespace kes::data {

// Longest name; BIND cuts longer ones.
inline constexpr std::size_t kMaxNameLength = 99;

// The length of the name at the start of `text`: a letter (as the locale's character classes
// say), "?" or "_" first, then letters, digits, "_" and ":", then at most one of "#", "$" and
// the double quote, which belongs to the name. 0 when `text` does not start with a name.
std::size_t name_length(std::string_view text) noexcept;

// Orders names byte by byte through the locale's upper-case table: negative, 0, positive.
int compare_names(std::string_view a, std::string_view b) noexcept;

}  // namespace kes::data

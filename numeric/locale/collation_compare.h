// Comparison, case conversion and sort forms by the process-wide collation tables.
//
// State: none of its own; every call reads collation_tables() afresh.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace kes::numeric {

// Which weight and digraph tables a comparison or conversion follows.
enum class CodePage : std::uint8_t { Ansi, Oem };

// Orders two texts of their own lengths, the shorter read as padded with spaces: the
// difference weight(a) - weight(b) at the first position whose weights differ (any value in
// [-255, 255]), 0 when none do. With digraphs, both sides are compared as expanded.
int compare_padded(std::string_view a, std::string_view b) noexcept;

// Orders `count` characters of a and b: the weight difference at the first position whose
// weights differ, else 0. With digraphs the expanded texts are compared; when one runs out
// first the result is -1 (a ran out) or 1 (b ran out). With `ignore_case`, lower-case letters
// (class 2) compare as their upper-case partners.
int compare_counted(const char* a, const char* b, std::size_t count, CodePage page,
                    bool ignore_case) noexcept;

// Upper-case and lower-case conversion of a text in place through the case table.
void to_upper(std::span<char> text) noexcept;
void to_lower(std::span<char> text) noexcept;

// Class tests: upper-case (class 1), lower-case (class 2), alphabetic (has a case partner),
// alphanumeric (has a case partner or is a digit).
bool is_upper(std::uint8_t c) noexcept;
bool is_lower(std::uint8_t c) noexcept;
bool is_alpha(std::uint8_t c) noexcept;
bool is_alnum(std::uint8_t c) noexcept;

// Replaces a text in place by its sort form: each character by its weight, a digraph character
// by the weights of its two characters, so that byte order of sort forms follows the
// collation. The text keeps its length: a sort form made longer by digraphs is cut to it.
// Returns the full length of the sort form. With `ignore_case` lower-case letters take the
// weights of their partners.
std::size_t to_sort_form(std::span<char> text, CodePage page, bool ignore_case) noexcept;

// The weights of up to four characters (digraphs expanded, the first four weights kept), the
// first in the highest used byte: "AB" with byte-order weights gives 65 * 256 + 66.
std::uint32_t collation_value(std::string_view text) noexcept;
// The characters whose weights are the bytes of `value`, lowest byte first, until the rest is
// 0 (at most four); for a weight no character has, the character of that code. Returns the
// count written to `out`.
std::size_t collation_chars(std::uint32_t value, std::span<char, 4> out) noexcept;

}  // namespace kes::numeric

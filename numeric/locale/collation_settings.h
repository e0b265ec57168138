// Building the collation, case and digraph tables from setting values.
//
// State: every function here changes the process-wide tables of collation_tables().
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "numeric/locale/collation_tables.h"

namespace kes::numeric {

// Gives the characters of `list` weights in one table, starting from byte order:
// - duplicates are dropped (the first occurrence stays);
// - a list of exactly 222 characters without duplicates: its first 95 characters take the
//   weights 32 to 126 in order and the other 127 the weights 128 to 254;
// - any other list: its characters take, in list order, the weights that equal their own codes
//   taken in ascending order, so the list only reorders the characters it names.
// Characters outside the list keep their code as weight.
void apply_collating_list(std::string_view list, std::array<std::uint8_t, 256>& weights) noexcept;

// KESCOLSEQ: an empty list makes both tables byte order; otherwise the table of `list_is_oem`'s
// code page is built from the list and the other from the list converted to its code page.
void set_collating_sequence(std::string_view list, bool list_is_oem) noexcept;
// KESCOLSEQ "WINDOWS": the characters 1 to 254 put in the platform's language order (ties keep
// code order) and applied as an ANSI list.
void set_platform_collating_sequence() noexcept;
// The list set_platform_collating_sequence() applies.
std::array<std::uint8_t, 254> platform_collating_list() noexcept;

// KESCASE with two items: upper-case letters and their lower-case partners by position. Items
// of equal length are used as they are; items of different lengths or an empty first item take
// the platform's letters instead (see set_platform_case_tables).
void set_case_pairs(std::string_view uppers, std::string_view lowers) noexcept;
// KESCASE "WINDOWS": the ANSI characters the platform calls upper-case letters, in code order,
// each paired with the platform's lower-case form.
void set_platform_case_tables() noexcept;

// KESDIGRAPH: items of three characters (a character and the two it collates as), several per
// item separated by ","; pieces of another length are skipped; at most 16 are kept. The table
// is replaced; its OEM copy is the same entries converted to the OEM code page.
void clear_digraphs() noexcept;
// Adds the three-character groups of one item; false once the table is full.
bool add_digraph_item(std::string_view item) noexcept;

}  // namespace kes::numeric

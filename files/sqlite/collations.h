// The orders the driver's indexes keep, registered on every connection it opens:
//   KESTREL          texts by the program's collation sequence, the shorter padded with blanks;
//   KESTREL_NOCASE   the same without regard to case;
//   KESTREL_DECIMAL  decimal numbers written as texts ("-12.50"), by their values.
// An index built under one collation sequence must be built again (BUILD) after the program
// changes the sequence.
#pragma once

#include <sqlite3.h>
#include <string_view>

namespace kes::sqlite {

inline constexpr const char* kCollation = "KESTREL";
inline constexpr const char* kCollationNoCase = "KESTREL_NOCASE";
inline constexpr const char* kCollationDecimal = "KESTREL_DECIMAL";

// Registers the three collations on `db`; the SQLite result code.
int register_collations(sqlite3* db);

// The orders themselves: negative, 0 or positive.
int compare_text(std::string_view a, std::string_view b);
int compare_text_nocase(std::string_view a, std::string_view b);
int compare_decimal(std::string_view a, std::string_view b);

}  // namespace kes::sqlite

// A case pair outside ASCII for the matching tests.
// State: changes the process-wide collation tables until the caller puts them back.
#pragma once

#include "numeric/locale/collation_tables.h"

namespace kes::numeric {

// Makes E9h the lower-case partner of C9h, as a Latin-1 locale does; gives the tables as they were.
inline CollationTables with_e_acute_pair() {
  CollationTables& tables = collation_tables();
  const CollationTables saved = tables;
  tables.char_class[0xE9] = kClassLower;
  tables.char_class[0xC9] = kClassUpper;
  tables.case_partner[0xE9] = 0xC9;
  tables.case_partner[0xC9] = 0xE9;
  return saved;
}

}  // namespace kes::numeric

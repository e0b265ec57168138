// Resets of the process-wide collation tables to their start-up defaults.
#pragma once

#include "numeric/locale/collation_tables.h"

namespace kes::numeric {

namespace detail {
// The object collation_tables() returns, named for the comparison loops that read it on every
// call (process-wide by nature, like every setting).
extern CollationTables g_collation_tables;
}  // namespace detail

// Case partners "A"-"Z" <-> "a"-"z", classes 1 and 2 for them, 4 for "0"-"9", nothing else.
void reset_case_tables(CollationTables& tables) noexcept;
// Both weight tables back to plain byte order.
void reset_collation_weights(CollationTables& tables) noexcept;
// Every table (weights, case, class, both digraph tables) back to the start-up defaults.
void reset_all_tables() noexcept;

}  // namespace kes::numeric

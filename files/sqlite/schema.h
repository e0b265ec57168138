// The SQL texts of a FILE's table: its declaration, one index per KEY, and the statements the
// driver prepares. Names are quoted; values are never part of a text, always bound parameters.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <kestrel/driver.h>

#include "files/sqlite/record_layout.h"

namespace kes::sqlite {

// The column that keeps each record's position (POINTER()): an alias of SQLite's row id, never
// reused, so a position names one record for good.
inline constexpr const char* kPositionColumn = "\"$position\"";

// One component of an index: a column, its order and the collation it compares by.
struct KeyTerm {
  std::uint32_t column;
  bool descending;
  const char* collation;  // null: the column's own order (numbers)
};

// What a KEY becomes.
struct KeyPlan {
  std::string name;   // the index's name: "<table>$<key label>"
  std::string index;  // the name quoted
  std::vector<KeyTerm> terms;
  bool unique = false;
  std::string only;  // an OPT key's condition (records it holds), empty for the others
};

// "name" with inner quotes doubled.
std::string quote(std::string_view name);

// The plan of `key` over `layout`; 0, or 47 "Invalid Record Declaration" for a component that
// names no stored field (a group, an array's element, a MEMO) or a key without components.
std::int32_t plan_key(const Drv_KCB& key, std::size_t number, std::string_view table,
                      const RecordLayout& layout, KeyPlan& plan);

std::string create_table_sql(std::string_view table, const RecordLayout& layout);
std::string create_index_sql(std::string_view table, const RecordLayout& layout,
                             const KeyPlan& plan);

// "$position" and every column, in layout order: the result columns of every read.
std::string select_list(const RecordLayout& layout);
std::string insert_sql(std::string_view table, const RecordLayout& layout);
std::string update_sql(std::string_view table, const RecordLayout& layout);  // position last

// Where a sequential read starts.
enum class ScanStart : std::uint8_t {
  Ends,            // at the first record in the direction of reading
  Values,          // at the key values (?1..?n), inclusive
  ValuesPosition,  // at the key values and position (?n+1), inclusive
  After,           // after the key values and position, exclusive
};

// A read of up to ?(n+2) records in key order (file order when `plan` is null), forward or
// backward, from `start`; the key values are parameters 1 to n, the position n + 1.
std::string scan_sql(std::string_view table, const RecordLayout& layout, const KeyPlan* plan,
                     bool backward, ScanStart start);
// The first record whose key equals the values (1 to n), in key order.
std::string get_by_key_sql(std::string_view table, const RecordLayout& layout, const KeyPlan& plan);
// The number of records in a key (all records when `plan` is null).
std::string count_sql(std::string_view table, const KeyPlan* plan);
// A record other than position ?(n+1) with the key's values: duplicates of a unique key.
std::string duplicate_sql(std::string_view table, const RecordLayout& layout, const KeyPlan& plan);

}  // namespace kes::sqlite

// The operations on whole files (file_operations.cpp) and on records and sequences
// (record_operations.cpp), and what they share: the open-file state and error posting.
#pragma once

#include <cstdint>
#include <string>

#include <kestrel/driver.h>

#include "files/sqlite/open_file.h"

namespace kes::sqlite {

// Carries out `operation` once the state protocol allowed it; false when the driver does not
// support the operation (nothing was done). `result` receives the statement's result.
bool run_file_operation(std::int32_t operation, Drv_FCB* file, const Drv_Args& arguments,
                        std::int32_t& result);
bool run_record_operation(std::int32_t operation, Drv_FCB* file, const Drv_Args& arguments,
                          std::int32_t& result);

// Releases an open file for good, posting nothing (DESTROY).
void destroy_file(Drv_FCB* file);

// The file's open state; null, with 37 "File Not Open" posted, when it is not open.
OpenFile* open_state(Drv_FCB* file);

// The library's error number for an SQLite result code, as `operation_kind` sees it: a busy
// database is 43 "Record Is Already Held" for a HOLD, 32 "File Is Already Locked" otherwise.
enum class Busy { Locked, Held };
std::int32_t error_number(int result, Busy busy = Busy::Locked);

// Posts `number` (the mapped number when 0) with SQLite's code and message of `db` as
// FILEERRORCODE() and FILEERROR().
void post_sqlite(Drv_FCB* file, sqlite3* db, int result, std::int32_t number = 0,
                 Busy busy = Busy::Locked);
void post(Drv_FCB* file, std::int32_t number);

// The file's name without trailing blanks, as the host names it.
std::string file_name(const Drv_FCB* file);
// A name in its Windows form as the host names it: a backslash reads as '/' outside Windows.
std::string native_name(std::string name);

}  // namespace kes::sqlite

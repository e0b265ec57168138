// The SQLite file driver (k55sqlite): its entry function, which a FILE declared with
// DRIVER('SQLite') calls for every statement, and the numbers of its own properties.
//
// The driver lives in its own shared library (libk55sqlite.so, k55sqlite.dll) and reaches the
// run-time library only through driver.h, like any other driver.
//
// A FILE is a table of a database file: the database is the file's name (its NAME attribute,
// else its label), the table the FILE's label, or the name given by /TABLE=name in the driver
// string. Several FILEs may share one database. The driver string also takes
// /BUSYTIMEOUT=milliseconds, /JOURNAL=mode and /SYNCHRONOUS=level.
#pragma once

#include <kestrel/driver.h>

#if defined(_WIN32)
#if defined(K55SQLITE_BUILDING)
#define K55SQLITE_API extern "C" __declspec(dllexport)
#else
#define K55SQLITE_API extern "C" __declspec(dllimport)
#endif
#else
#define K55SQLITE_API extern "C" __attribute__((visibility("default")))
#endif

// The driver's entry function (Drv_Entry).
K55SQLITE_API int32_t SQLite$Driver(int32_t operation, Drv_FCB* file,
                                    const Drv_Args* arguments) noexcept;

// The driver's own properties (SET_PROPERTY, GET_PROPERTY; the value as text on the string
// stack). They act on the connection to the file's database, shared by every FILE of this
// program that names the same database.
enum {
  // Milliseconds a statement waits for another program's lock before it fails with 32 "File Is
  // Already Locked" (HOLD: 43 "Record Is Already Held"). 5000 by default.
  K55SQLITE_PROP_BUSY_TIMEOUT = 0x7380,
  // The journal mode: WAL (the default), DELETE, TRUNCATE, PERSIST, MEMORY or OFF. Reading it
  // answers the mode in force, in upper case.
  K55SQLITE_PROP_JOURNAL_MODE = 0x7381,
  // How often the database is synchronised with the disk: OFF, NORMAL (the default: a crash of
  // the program loses nothing committed; a power loss may lose the last transactions), FULL or
  // EXTRA.
  K55SQLITE_PROP_SYNCHRONOUS = 0x7382,
  // Read only: "ok", or the problems the database's integrity check finds, one per line.
  K55SQLITE_PROP_INTEGRITY = 0x7383,
};

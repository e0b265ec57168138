// The command line, paths and directory lists: COMMAND, SETCOMMAND, SETPATH, SHORTPATH and
// LONGPATH, and the records that DIRECTORY and LFNDIRECTORY append to a queue.
//
// Text operands come from the string stack with their trailing blanks removed; results are
// pushed. Only SETPATH posts to the error state.
#pragma once

#include <stddef.h>

#include <kestrel/abi.h>
#include <kestrel/queues.h>

// One file listed by DIRECTORY (26 bytes, no gaps). Times are local; dates are serial dates and
// times serial times, as DATE and CLOCK count them.
#pragma pack(push, 1)
typedef struct KesDirectoryRecord {
  char name[13];       // short (8.3) name, else the long name cut to 12 bytes; blank-padded
  int32_t date;        // date of the last write
  int32_t time;        // time of the last write, to the even second below
  int32_t size;        // low 32 bits of the size in bytes
  uint8_t attributes;  // read-only 01h, hidden 02h, system 04h, directory 10h, archive 20h
} KesDirectoryRecord;

// One file listed by LFNDIRECTORY (282 bytes, no gaps).
typedef struct KesLongDirectoryRecord {
  char name[256];       // long name, blank-padded
  char short_name[13];  // short (8.3) name, else the long name cut to 13 bytes; blank-padded
  int32_t date;         // date of the last write
  int32_t time;         // time of the last write, to the second
  int32_t size;         // low 32 bits of the size in bytes
  uint8_t attributes;   // as in KesDirectoryRecord
} KesLongDirectoryRecord;
#pragma pack(pop)

#ifdef __cplusplus
static_assert(sizeof(KesDirectoryRecord) == 26, "26-byte records");
static_assert(offsetof(KesDirectoryRecord, date) == 13, "name, then the date");
static_assert(offsetof(KesDirectoryRecord, time) == 17, "then the time");
static_assert(offsetof(KesDirectoryRecord, size) == 21, "then the size");
static_assert(offsetof(KesDirectoryRecord, attributes) == 25, "then the attributes");
static_assert(sizeof(KesLongDirectoryRecord) == 282, "282-byte records");
static_assert(offsetof(KesLongDirectoryRecord, short_name) == 256, "long name, then short");
static_assert(offsetof(KesLongDirectoryRecord, date) == 269, "then the date");
static_assert(offsetof(KesLongDirectoryRecord, time) == 273, "then the time");
static_assert(offsetof(KesLongDirectoryRecord, size) == 277, "then the size");
static_assert(offsetof(KesLongDirectoryRecord, attributes) == 281, "then the attributes");
#endif

// COMMAND(flag): pushes the whole command tail for an empty flag, the program's own path for
// "0", the token at a position for a number, or the value of a named token (NAME=value or
// /NAME); the empty text when there is none.
KES_API void Kes$COMMAND(void) KES_NOEXCEPT;
// SETCOMMAND(text): the text becomes the command tail that COMMAND reads.
KES_API void Kes$SETCOMMAND(void) KES_NOEXCEPT;
// SETPATH(path): changes the current drive and directory; posts 3 "Path Not Found" when it
// cannot, else clears the error state.
KES_API void Kes$SETPATH(void) KES_NOEXCEPT;
// SHORTPATH(path) and LONGPATH(path): push the short form, and the absolute form with each part
// spelt as on the disk (an empty path: the current directory; the empty text when the path
// cannot be converted). Both clear the error state.
KES_API void Kes$SHORTPATH(void) KES_NOEXCEPT;
KES_API void Kes$LONGPATH(void) KES_NOEXCEPT;

// DIRECTORY(queue, pattern, attributes) and LFNDIRECTORY: the pattern (a directory and a name
// with "*" and "?") comes from the string stack; each matching file's record (KesDirectoryRecord
// or KesLongDirectoryRecord, cut to the queue's record size) is put in the record buffer and
// appended as ADD appends it; the error state is then the last ADD's, and a failed ADD (7 for a
// null queue, 8 when memory runs out) ends the list. The queue is not emptied first; a pattern
// that matches nothing leaves it and the error state as they were. Attributes: 0 lists ordinary
// files only; hidden 02h, system 04h and directory 10h add those files (DIRECTORY leaves out a
// file with any of these bits not asked for).
KES_API void Kes$DIRECTORY(KesQueueDescriptor* queue, uint8_t attributes) KES_NOEXCEPT;
KES_API void Kes$LFNDIRECTORY(KesQueueDescriptor* queue, uint8_t attributes) KES_NOEXCEPT;

// The file driver contract: everything a driver needs to carry out the FILE, KEY, BLOB and VIEW
// statements of a Kestrel program, and nothing more. A driver is written against this header
// (and the public headers it includes) alone.
//
// ---- How a statement reaches a driver
//
// Each statement form has one export (files.h): Kes$FILE_NEXT(file), Kes$FILE_SETkk(key, key),
// and so on. The export clears the error state, lets the file's callbacks watch or veto the
// operation, and calls the driver's entry function, which the compiler stored in the file's
// control block (Drv_FCB.driver):
//
//   int32_t entry(int32_t operation, Drv_FCB* file, const Drv_Args* arguments);
//
// `operation` is one of the DRV_ numbers below, `file` the control block of the file (for a key
// form the key's file, for a view the view's own block, for a THREAD file the calling thread's
// instance), `arguments` the statement's further arguments (never null). What the entry returns
// is the statement's result (RECORDS(), POINTER(), BYTES(), the truth of EOF(), BOF(), NULL()
// and DUPLICATE(), the handle of GETSTATE); statements without a result ignore it.
//
// Texts travel on the string stack (string_stack.h): a driver pops a statement's text arguments
// (property values, new names, RESET and REGET positions, SEND messages, key component lists) and
// pushes its text results (NAME(), POSITION(), property values, SEND's answer, GETNULLS).
//
// ---- Errors
//
// The library clears the error state before each statement, so a driver posts failures only
// and never clears: Kes$seterror(number) with a number of the message table (errors.h), for a
// back end's own error first Kes$setfileerror(code, message) for FILEERRORCODE() and
// FILEERROR(), and Kes$SetErrorFile(drv_name_record(file)) for ERRORFILE() (the library sets it
// when a driver leaves it out). drv_post_error() below does the three in order. An operation
// the driver does not carry out posts 80 "Unsupported File Driver Function". The library reads
// the error number after each call it makes itself (OPEN's retry, the transaction frame): an
// operation has failed exactly when it has posted an error.
//
// ---- Life of an open file
//
// OPEN and SHARE (DRV_OPEN, arguments->values[0] the access mode) and CREATE: on success the
// driver sets file->state to its own open-file state, calls Kes$activate_drv with what it
// supports of the transaction frame, and records the access mode in the state word
// (DRV_STATE_WRITE, DRV_STATE_EXCLUSIVE). CLOSE: Kes$deactivate_drv, file->state back to null.
// DESTROY (104, values[0] 0) reaches every file still activated when the program ends (after the
// active transaction, if any, is committed): release everything, post nothing.
//
// Transactions: LOGOUT reaches each file with DRV_LOGOUT (values[0] the timeout in seconds),
// preceded by DRV_LOCKFILESEC when the driver asked for a lock before LOGOUT; COMMIT and
// ROLLBACK reach the files in the transaction with DRV_COMMIT or DRV_ROLLBACK, followed by
// DRV_UNLOCK when the driver asked to be unlocked after the transaction.
//
// ---- The state protocol
//
// _drv_check_state before an operation and _drv_update_state after it keep the state word of a
// file (or of a view, through the _any_ forms) and answer the errors a statement out of order
// deserves (37 "File Not Open", 33 "Record Not Available", ...): a driver calls them around each
// operation instead of tracking the order of statements itself.
//
// ---- The record and its type descriptor
//
// file->record is the record buffer (file->record_size bytes) that statements read and write;
// file->record_type is the record's type descriptor, a byte stream the compiler emits:
//   - a byte is unsigned; a 32-bit number is four bytes little-endian; a string runs up to and
//     including a zero byte (names at most 99 characters); a compact number is a first byte b
//     and (b >> 5) & 3 further bytes: the value starts as b & 1Fh and takes each further byte as
//     value * 256 + byte; bit 7 of b makes it negative (05h is 5, 21h 2Ch is 300, 85h is -5).
//   - each field is one record: its type code (a byte, DRV_TYPE_ below); a flags byte (01h a
//     second name follows, 02h a name, 04h a picture (string types only), 08h an offset, 10h
//     dimensions); size information by type: type 31 one size byte, DECIMAL and PDECIMAL a size
//     byte and a places byte, STRING, CSTRING, PSTRING and MEMO a compact size (then, with 04h,
//     the picture string), GROUP three 32-bit numbers (its size, the number of fields that belong
//     to it, a value kept with the record), every other type nothing (its fixed size); then the
//     name (02h), the second name (01h), the offset as a compact number (08h; 0 without it,
//     relative to the enclosing group), and the dimensions (10h): a count byte and one compact
//     number of elements per dimension.
//   - the first record is the record itself, a GROUP whose field count is the number of fields;
//     the fields follow in declaration order as fields 1, 2, ..., a GROUP's own fields directly
//     after it and counted in its field count. Key components and view descriptors name fields by
//     these numbers. A field's name is its second name when that is not empty, else its name.
//
// Layouts below are those of the 32-bit target (offsets in the comments); on other hosts every
// pointer takes its native width and the offsets follow from it.
#pragma once

#include <stddef.h>

#include <kestrel/abi.h>
#include <kestrel/errors.h>
#include <kestrel/string_stack.h>

#ifdef __cplusplus
extern "C" {
#endif

// ---- Operation numbers. The trace writes the names after DRV_; numbers 0, 35 and 39 are not
// used, 87, 91, 94, 100 and 101 are the library's own.
enum {
  DRV_ADD = 1,
  DRV_BOF = 2,
  DRV_BUILDFILE = 3,
  DRV_APPEND = 4,
  DRV_BUILDDYN = 5,
  DRV_BUILDKEY = 6,
  DRV_CLOSE = 7,
  DRV_COMMIT = 8,
  DRV_COPY = 9,
  DRV_CREATE = 10,
  DRV_DELETE = 11,
  DRV_DUPLICATE = 12,
  DRV_EMPTY = 13,
  DRV_EOF = 14,
  DRV_GETFILEKEY = 15,
  DRV_GETFILEPTR = 16,
  DRV_GETKEYPTR = 17,
  DRV_HOLDFILE = 18,
  DRV_HOLDFILESEC = 19,
  DRV_LOCKFILE = 20,
  DRV_LOCKFILESEC = 21,
  DRV_LOGOUT = 22,
  DRV_NAME = 23,
  DRV_NEXT = 24,
  DRV_OPEN = 25,
  DRV_PACK = 26,
  DRV_POINTERFILE = 27,
  DRV_POINTERKEY = 28,
  DRV_FLUSH = 29,
  DRV_PUT = 30,
  DRV_PREVIOUS = 31,
  DRV_RECORDSFILE = 32,
  DRV_RECORDSKEY = 33,
  DRV_BUILDDYNFILTER = 34,
  DRV_RELEASE = 36,
  DRV_REMOVE = 37,
  DRV_RENAME = 38,
  DRV_ROLLBACK = 40,
  DRV_SETFILE = 41,
  DRV_SETFILEKEY = 42,
  DRV_SETFILEPTR = 43,
  DRV_SETKEY = 44,
  DRV_SETKEYKEY = 45,
  DRV_SETKEYPTR = 46,
  DRV_SETKEYKEYPTR = 47,
  DRV_SHARE = 48,
  DRV_SKIP = 49,
  DRV_UNLOCK = 50,
  DRV_ADDFILELEN = 51,
  DRV_BYTES = 52,
  DRV_GETFILEPTRLEN = 53,
  DRV_PUTFILEPTR = 54,
  DRV_PUTFILEPTRLEN = 55,
  DRV_STREAM = 56,
  DRV_DUPLICATEKEY = 57,
  DRV_WATCH = 58,
  DRV_APPENDLEN = 59,
  DRV_SEND = 60,
  DRV_POSITIONFILE = 61,
  DRV_POSITIONKEY = 62,
  DRV_RESETFILE = 63,
  DRV_RESETKEY = 64,
  DRV_NOMEMO = 65,
  DRV_REGETFILE = 66,
  DRV_REGETKEY = 67,
  DRV_NULL = 68,
  DRV_SETNULL = 69,
  DRV_SETNONULL = 70,
  DRV_SET_PROPERTY = 71,
  DRV_GET_PROPERTY = 72,
  DRV_QUERY_KEY = 73,
  DRV_QUERY_VIEW = 74,
  DRV_BLOB_YIELD = 75,
  DRV_BLOB_TAKE = 76,
  DRV_BLOB_SIZE = 77,
  DRV_BLOB_SET_PROP = 78,
  DRV_BLOB_GET_PROP = 79,
  DRV_BUFFER = 80,
  DRV_SETVIEW = 81,
  DRV_CLEAR = 82,
  DRV_RESETVIEWFILE = 83,
  DRV_BUILDEVENT = 84,
  DRV_SETPROPERTYKEY = 85,
  DRV_GETPROPERTYKEY = 86,
  DRV_INTERNAL87 = 87,
  DRV_DO_PROPERTY = 88,
  DRV_DOPROPERTYKEY = 89,
  DRV_DOPROPERTYBLOB = 90,
  DRV_INTERNAL91 = 91,
  DRV_INVIEW = 92,
  DRV_ENDVIEW = 93,
  DRV_INTERNAL94 = 94,
  DRV_COUNTRECORDS = 95,
  DRV_GETNULLS = 96,
  DRV_SETNULLS = 97,
  DRV_GETSTATE = 98,
  DRV_RESTORESTATE = 99,
  DRV_INTERNAL100 = 100,
  DRV_INTERNAL101 = 101,
  DRV_FREESTATE = 102,
  DRV_SQLCALLBACK = 103,
  DRV_DESTROY = 104,
  DRV_LAST_OPERATION = 104,
};

// ---- Bits of a file's state word (Drv_FCB.state_word). DRV_STATE_KEY_BUILT lives in a key's
// own flag word when the key has one. The driver sets DRV_STATE_WRITE and DRV_STATE_EXCLUSIVE
// from the access mode at OPEN and DRV_STATE_BUILDING around BUILD; _drv_update_state keeps the
// others.
enum {
  DRV_STATE_OPEN = 0x0001,
  DRV_STATE_CURRENT = 0x0002,          // a current record
  DRV_STATE_LOGOUT = 0x0004,           // in a LOGOUT transaction
  DRV_STATE_STREAM = 0x0008,           // STREAM in effect
  DRV_STATE_LOCKED = 0x0010,           // LOCKed
  DRV_STATE_SEQUENCE = 0x0020,         // a sequence SET
  DRV_STATE_WRITE = 0x0040,            // opened for writing
  DRV_STATE_EXCLUSIVE = 0x0080,        // opened exclusively
  DRV_STATE_KEY_BUILT = 0x0100,        // the key is built
  DRV_STATE_WATCH_PENDING = 0x0200,    // WATCH asked for
  DRV_STATE_WATCHED = 0x0400,          // the record was read under WATCH
  DRV_STATE_HOLD_PENDING = 0x0800,     // HOLD asked for
  DRV_STATE_HELD = 0x1000,             // the record is held
  DRV_STATE_SEQUENCE_UNREAD = 0x2000,  // a sequence SET and not yet read
  DRV_STATE_BUILDING = 0x4000,         // BUILD in progress
};

// ---- Access modes of OPEN and SHARE (values[0]): one access and one sharing value ORed. OPEN
// without a mode passes 22h, SHARE without one 42h.
enum {
  DRV_ACCESS_READ = 0x00,
  DRV_ACCESS_WRITE = 0x01,
  DRV_ACCESS_READWRITE = 0x02,
  DRV_DENY_ALL = 0x10,
  DRV_DENY_WRITE = 0x20,
  DRV_DENY_READ = 0x30,
  DRV_DENY_NONE = 0x40,
};

// ---- Type codes of the record's fields (the value-descriptor type codes).
enum {
  DRV_TYPE_END = 0,
  DRV_TYPE_BYTE = 1,
  DRV_TYPE_SHORT = 2,
  DRV_TYPE_USHORT = 3,
  DRV_TYPE_DATE = 4,  // LONG serial day: 4 is 1 January 1801, 0 no date
  DRV_TYPE_TIME = 5,  // LONG hundredths of a second since midnight plus one, 0 no time
  DRV_TYPE_LONG = 6,
  DRV_TYPE_ULONG = 7,
  DRV_TYPE_SREAL = 8,
  DRV_TYPE_REAL = 9,
  DRV_TYPE_DECIMAL = 10,
  DRV_TYPE_PDECIMAL = 11,
  DRV_TYPE_BFLOAT4 = 13,
  DRV_TYPE_BFLOAT8 = 14,
  DRV_TYPE_STRING = 18,   // blank-padded
  DRV_TYPE_CSTRING = 19,  // zero-terminated
  DRV_TYPE_PSTRING = 20,  // length byte first
  DRV_TYPE_MEMO = 21,
  DRV_TYPE_GROUP = 22,
  DRV_TYPE_BLOB = 27,
};

typedef struct Drv_FCB Drv_FCB;
typedef struct Drv_KCB Drv_KCB;

// A statement's arguments beyond its file. Each operation reads the fields its statement form
// passes and leaves the others (null or 0):
//   key      the key of the key forms (BUILDKEY, BUILDDYN, BUILDDYNFILTER, DUPLICATEKEY,
//            GETKEYPTR, POINTERKEY, POSITIONKEY, RECORDSKEY, RESETKEY, REGETKEY, SETKEY,
//            SETKEYPTR, QUERY_KEY, the key properties), the key argument of GETFILEKEY and
//            SETFILEKEY, and the first key (the order) of SETKEYKEY and SETKEYKEYPTR;
//   key2     the second key (whose values give the start) of SETKEYKEY and SETKEYKEYPTR;
//   pointer  the field's address for NULL, SETNULL and SETNONULL; the file for RESETVIEWFILE;
//            the object for SQLCALLBACK;
//   values   numbers in statement order: the record pointer (GETFILEPTR, GETFILEPTRLEN,
//            GETKEYPTR, PUTFILEPTR, PUTFILEPTRLEN, SETFILEPTR, SETKEYPTR, SETKEYKEYPTR) then the
//            length (ADDFILELEN, APPENDLEN, GETFILEPTRLEN, PUTFILEPTRLEN); the access mode (OPEN,
//            SHARE); seconds (HOLDFILESEC, LOCKFILESEC, LOGOUT); the count (SKIP); the ORDER
//            count (SETVIEW); page size, behind, ahead and timeout (BUFFER); the property number
//            and index (SET_PROPERTY, GET_PROPERTY, DO_PROPERTY and their key forms); the blob
//            number (the BLOB_ operations, DOPROPERTYBLOB) followed by the property number and
//            index; the state handle (RESTORESTATE, FREESTATE); the flag (SQLCALLBACK); 0
//            (DESTROY).
// Texts (new names of COPY and RENAME, positions of RESETFILE, RESETKEY, REGETFILE and REGETKEY,
// the component list and filter of BUILDDYN and BUILDDYNFILTER, SEND's message, property values
// of the SET forms, SETNULLS' text) are on the string stack.
typedef struct Drv_Args {
  Drv_KCB* key;       // 0
  Drv_KCB* key2;      // 4
  void* pointer;      // 8
  int32_t values[4];  // 12
} Drv_Args;

// A driver's entry function.
typedef int32_t (*Drv_Entry)(int32_t operation, Drv_FCB* file, const Drv_Args* arguments);

// Attribute bits of a file (Drv_FCB.attributes).
enum {
  DRV_ATTR_CREATE = 0x01,
  DRV_ATTR_RECLAIM = 0x02,
  DRV_ATTR_ENCRYPT = 0x04,
  DRV_ATTR_OEM = 0x08,
  DRV_ATTR_THREAD = 0x10,  // one instance per thread
  DRV_ATTR_VIEW = 0x80,    // the block is the head of a view's control block
};

// One key component: a field of the record (numbered as in the type descriptor) and its order.
typedef struct Drv_KeyComponent {
  uint16_t field;    // 0: field number, from 1
  uint8_t flags;     // 2: DRV_COMPONENT_ bits
  uint8_t reserved;  // 3
} Drv_KeyComponent;

enum { DRV_COMPONENT_DESCENDING = 0x01 };

// Flag bits of a key (Drv_KCB.flags).
enum {
  DRV_KEY_DUP = 0x01,        // duplicates allowed
  DRV_KEY_OPT = 0x02,        // records whose components are all blank or zero are left out
  DRV_KEY_NOCASE = 0x04,     // strings compare without regard to case
  DRV_KEY_PRIMARY = 0x08,    // the primary key
  DRV_KEY_INDEX = 0x10,      // an INDEX: built on demand by BUILD
  DRV_KEY_DYNAMIC = 0x20,    // a dynamic INDEX: its components come with BUILD
  DRV_KEY_OWN_FLAGS = 0x40,  // key_flags holds the key's own DRV_STATE_KEY_BUILT
};

// A key's control block, laid out by the compiler for each KEY and INDEX.
struct Drv_KCB {
  Drv_FCB* file;                       // 0: the file the key belongs to
  const char* label;                   // 4: the key's label, terminated
  const char* name;                    // 8: its NAME() attribute, or null
  uint8_t flags;                       // 12: DRV_KEY_ bits
  uint8_t component_count;             // 13
  uint16_t reserved;                   // 14
  uint32_t key_flags;                  // 16: own flag word (with DRV_KEY_OWN_FLAGS)
  const Drv_KeyComponent* components;  // 20: component_count entries, in key order
  void* driver_data;                   // 24: the driver's own, null until it sets it
};

// Flag bits of a MEMO or BLOB (Drv_MCB.flags).
enum {
  DRV_MEMO_BINARY = 0x01,
  DRV_MEMO_BLOB = 0x02,  // a BLOB: no buffer in the record, read and written by the BLOB_ ops
};

// A MEMO's or BLOB's control block; blob numbers count these from 1 in declaration order.
typedef struct Drv_MCB {
  const char* label;  // 0
  const char* name;   // 4: NAME() or null
  void* buffer;       // 8: a MEMO's buffer of `size` bytes, null for a BLOB
  uint32_t size;      // 12: MEMO(size), 0 for a BLOB
  uint8_t flags;      // 16: DRV_MEMO_ bits
  uint8_t reserved[3];
  void* driver_data;  // 20
} Drv_MCB;

// A file's control block, laid out by the compiler for each FILE. Its first three fields are the
// file's name record (errors.h), which ERRORFILE() reads: drv_name_record(file).
struct Drv_FCB {
  Drv_Entry driver;            // 0: the driver's entry function (the DRIVER attribute)
  const char* name;            // 4: the file's name: the NAME attribute, else the label
  int32_t name_length;         // 8: its length, -1 when it is terminated
  uint8_t attributes;          // 12: DRV_ATTR_ bits
  uint8_t key_count;           // 13
  uint8_t memo_count;          // 14: MEMOs and BLOBs
  uint8_t library_flags;       // 15: kept by the library (0 from the compiler); drivers leave it
  void* state;                 // 16: the driver's open-file state, null while not open
  uint32_t state_word;         // 20: DRV_STATE_ bits
  uint32_t activity_word;      // 24: kept by the state protocol
  const char* label;           // 28: the FILE's label, terminated
  const char* driver_name;     // 32: DRIVER('name')
  const char* driver_string;   // 36: DRIVER(, 'string'), or null
  const char* owner;           // 40: OWNER('password'), or null
  void* record;                // 44: the record buffer
  uint32_t record_size;        // 48
  const uint8_t* record_type;  // 52: the record's type descriptor
  Drv_KCB* const* keys;        // 56: key_count keys, in declaration order
  Drv_MCB* memos;              // 60: memo_count MEMOs and BLOBs, in declaration order
};

// A VIEW's control block, which the view engine hands to the drivers of its files. Its head is a
// file block (attributes DRV_ATTR_VIEW) through which the VIEW statements reach the view engine
// like a file.
typedef struct Kes_VCBBLK_struct {
  Drv_FCB file;               // 0
  const uint8_t* descriptor;  // 64: the view descriptor (views.h)
  Drv_FCB* const* files;      // 68: the view's files, in the descriptor's level order
  uint16_t file_count;        // 72
  uint8_t flags;              // 74: DRV_KEY_OWN_FLAGS when key_flags is the view's own
  uint8_t reserved;           // 75
  uint32_t key_flags;         // 76
  void* engine_data;          // 80: the view engine's own
} Kes_VCBBLK_struct;

#ifdef __cplusplus
static_assert(offsetof(Drv_Args, values) == 3 * sizeof(void*));
static_assert(offsetof(Drv_FCB, name) == offsetof(KesFileNameRecord, name));
static_assert(offsetof(Drv_FCB, name_length) == offsetof(KesFileNameRecord, length));
static_assert(offsetof(Drv_FCB, attributes) == 2 * sizeof(void*) + 4);
static_assert(offsetof(Drv_FCB, state) == 2 * sizeof(void*) + 8);
static_assert(offsetof(Drv_FCB, label) == 3 * sizeof(void*) + 16);
static_assert(offsetof(Drv_FCB, record_size) == 8 * sizeof(void*) + 16);
static_assert(offsetof(Drv_KCB, key_flags) == 3 * sizeof(void*) + 4);
static_assert(offsetof(Drv_MCB, flags) == 3 * sizeof(void*) + 4);
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(Drv_Args) == 28);
static_assert(sizeof(Drv_FCB) == 64);
static_assert(offsetof(Drv_FCB, memos) == 60);
static_assert(sizeof(Drv_KCB) == 28);
static_assert(sizeof(Drv_MCB) == 24);
static_assert(offsetof(Kes_VCBBLK_struct, descriptor) == 64);
static_assert(offsetof(Kes_VCBBLK_struct, key_flags) == 76);
static_assert(sizeof(Kes_VCBBLK_struct) == 84);
#endif
#endif

// ---- Hook variables of the separately loaded remote-file layer; null unless it sets them.
// When _FindRemoteDriver is set and OPEN, SHARE or CREATE fails with 90, the library sets the
// file's property 7346h to "AXS" and calls the driver once more.
KES_EXPORT extern void* _CallRemoteFile;
KES_EXPORT extern void* _FindRemoteDriver;
KES_EXPORT extern void* _FindRemoteFile;
KES_EXPORT extern void* _DestroyRemoteFile;

#ifdef __cplusplus
}
#endif

// ---- The driver registry, behind STATUS() and the transaction frame.

// Called by the driver when a file opens: records the file (for a THREAD file, for the calling
// thread) with its STATUS() value and what the driver supports of the transaction frame (each
// flag nonzero for yes). A file already recorded keeps its record; only a nonzero status replaces
// the one recorded. Out of memory posts 8.
KES_API void Kes$activate_drv(Drv_FCB* file, int32_t status, int32_t supports_logout,
                              int32_t supports_rollback, int32_t supports_commit,
                              int32_t lock_before_logout, int32_t unlock_after) KES_NOEXCEPT;
// Called by the driver when a file closes: removes its record.
KES_API void Kes$deactivate_drv(Drv_FCB* file) KES_NOEXCEPT;

// ---- The state protocol.

// Before an operation: 0 when the file's state allows it, else the error to post (-1 for a state
// without a better number): 80 for an operation outside 1 to 104, 38 for a key of `arguments`
// that belongs to another file, 37 "File Not Open", 46 a key not built, 33 no current record or
// sequence, 63 exclusive access needed, 5 write access needed, 52 already open, 56 in a LOGOUT,
// 92 a BUILD in progress, 35 a blank RESET or REGET position (`position` and its length; null
// when there is none). Sets the activity word to 0. `arguments` may be null.
KES_API int32_t _drv_check_state(Drv_FCB* file, int32_t operation, const Drv_Args* arguments,
                                 const char* position, int32_t position_length) KES_NOEXCEPT;
// After an operation with the error it posted (0 for success): sets and clears the state bits the
// operation changes (DRV_STATE_KEY_BUILT in the key's own flag word when it has one).
KES_API void _drv_update_state(Drv_FCB* file, int32_t operation, const Drv_Args* arguments,
                               int32_t error) KES_NOEXCEPT;
// The same on any object's words (a view's): its state word, activity word and own flag word
// (null when it has none).
KES_API int32_t _drv_check_any_state(uint32_t* state_word, uint32_t* activity_word,
                                     uint32_t* own_flags, int32_t operation, const char* position,
                                     int32_t position_length) KES_NOEXCEPT;
KES_API void _drv_update_any_state(uint32_t* state_word, uint32_t* activity_word,
                                   uint32_t* own_flags, int32_t operation,
                                   int32_t error) KES_NOEXCEPT;

// ---- Tracing. A trace entry is written in two calls: before the operation with mark 0, which
// writes the operation's name and the file's declaration (a view's when `file` heads a view's
// control block) and returns a mark; after it with that mark, which writes the record's field
// values, the error posted and the time taken. The mark is 0, and nothing is written, when
// tracing is off: the system profile's section [KXVIEW] turns it on with Profile=1 for views, and
// TraceIntoFiles=1 for the files under them; TraceFile names the log (VIEW.LOG by default).
KES_API uint32_t _drv_TraceOp(int32_t operation, Drv_FCB* file, const Drv_Args* arguments,
                              uint32_t mark) KES_NOEXCEPT;

// ---- Names and texts.

// The longest file name the helpers take, terminator included.
#define DRV_MAX_PATH 261

// The type name of a type code ("LONG", "CSTRING", ...; "UNKNOWN" for a code without one).
KES_API const char* _drv_GetTypeName(int32_t type_code) KES_NOEXCEPT;
// Whether a file name can name a file: 0 when it can, 45 "Invalid Filename" when it is empty (or
// blank), longer than DRV_MAX_PATH - 1, or holds a control character, one of < > " | ? *, or a
// ':' anywhere but after a leading drive letter. Trailing blanks are ignored.
KES_API int32_t _drv_ChkName(const char* name) KES_NOEXCEPT;
// Splits a file name into its directory (through the last '\', '/' or the drive's ':'), its base
// name and its extension (from the last '.' of the base, the '.' included). Each output takes
// DRV_MAX_PATH bytes and may be null. 0, or 45 for a name _drv_ChkName refuses.
KES_API int32_t _drv_Split(const char* name, char* directory, char* base,
                           char* extension) KES_NOEXCEPT;
// Reads the next option of a driver string ("/NAME=value /FLAG", options separated by blanks
// or '/', a value in double quotes may hold both): copies it into `item` (cut to size - 1,
// terminated), moves *cursor past it and returns 1; 0 at the end.
KES_API int32_t _drv_NextDrvStr(const char** cursor, char* item, uint32_t size) KES_NOEXCEPT;
// 1 when the word (compared without regard to case) is a reserved word of the language or of
// SQL, which a driver must quote or rename when it uses a field name in a back end's statements.
KES_API int32_t _drv_IsReservedWord(const char* word) KES_NOEXCEPT;
// Turns the text into upper case in place (the program's case rules) and returns it.
KES_API char* _drv_Strup(char* text) KES_NOEXCEPT;
// Copies a field's text into `destination` as a terminated text without its trailing blanks, cut
// to size - 1 bytes: `length` bytes of `source`, or up to its terminator when length is -1.
// Returns destination.
KES_API char* _drv_MakeCSTRING(char* destination, uint32_t size, const char* source,
                               int32_t length) KES_NOEXCEPT;

// ---- Files by name (0 for success, else 2 "File Not Found", 3 "Path Not Found", 45 "Invalid
// Filename" or 5 "Access Denied" for every other failure, the error not posted).

// Renames (nonzero `rename`) or copies a file. A destination ending in '\', '/' or ':', or naming
// an existing directory, receives the source's file name. A copy never changes its source: one
// onto the same file fails, and one that fails half-way (a full disk) leaves no partial
// destination.
KES_API int32_t _drv_CopyOrRenameFile(const char* source, const char* destination,
                                      int32_t rename) KES_NOEXCEPT;
// The same for a file and its companions: for each extension of `extensions` (separated by ';'
// or ',', e.g. "DAT;IDX;MEM"; null or empty for the file alone) the names with the source's and
// the destination's extension replaced. Stops at the first failure.
KES_API int32_t _drv_CopyOrRenameFiles(const char* source, const char* destination,
                                       const char* extensions, int32_t rename) KES_NOEXCEPT;
// Copies a file onto exactly the destination name.
KES_API int32_t _drv_CopyFile(const char* source, const char* destination) KES_NOEXCEPT;
// 1 when the name is an existing directory.
KES_API int32_t _drv_PathIsDirectory(const char* path) KES_NOEXCEPT;

// ---- Posting an error, as the library expects it: the back end's code and message (either may
// be null; both null leaves FILEERRORCODE() and FILEERROR() as they are), the number, the file.
#ifdef __cplusplus
inline KesFileNameRecord* drv_name_record(Drv_FCB* file) noexcept {
  return reinterpret_cast<KesFileNameRecord*>(file);
}
#else
static inline KesFileNameRecord* drv_name_record(Drv_FCB* file) { return (KesFileNameRecord*)file; }
#endif

static inline void drv_post_error(Drv_FCB* file, int32_t number, const char* code,
                                  const char* message) KES_NOEXCEPT {
  if (code != NULL || message != NULL) Kes$setfileerror(code, message);
  Kes$seterror(number);
  Kes$SetErrorFile(drv_name_record(file));
}

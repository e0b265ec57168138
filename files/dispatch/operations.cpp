// The operation table: trace names and state masks of the 104 driver operations.
#include "files/dispatch/operations.h"

#include <array>

namespace kes::files {
namespace {

constexpr std::array<std::string_view, kLastOperation + 1> kNames = {
    "(0)",
    "ADD",
    "BOF",
    "BUILDfile",
    "APPEND",
    "BUILDdyn",
    "BUILDkey",
    "CLOSE",
    "COMMIT",
    "COPY",
    "CREATE",
    "DELETE",
    "DUPLICATE",
    "EMPTY",
    "EOF",
    "GETfilekey",
    "GETfileptr",
    "GETkeyptr",
    "HOLDfile",
    "HOLDfilesec",
    "LOCKfile",
    "LOCKfilesec",
    "LOGOUT",
    "NAME",
    "NEXT",
    "OPEN",
    "PACK",
    "POINTERfile",
    "POINTERkey",
    "FLUSH",
    "PUT",
    "PREVIOUS",
    "RECORDSfile",
    "RECORDSkey",
    "BUILDdynfilter",
    "(35)",
    "RELEASE",
    "REMOVE",
    "RENAME",
    "(39)",
    "ROLLBACK",
    "SETfile",
    "SETfilekey",
    "SETfileptr",
    "SETkey",
    "SETkeykey",
    "SETkeyptr",
    "SETkeykeyptr",
    "SHARE",
    "SKIP",
    "UNLOCK",
    "ADDfilelen",
    "BYTES",
    "GETfileptrlen",
    "PUTfileptr",
    "PUTfileptrlen",
    "STREAM",
    "DUPLICATEkey",
    "WATCH",
    "APPENDlen",
    "SEND",
    "POSITIONfile",
    "POSITIONkey",
    "RESETfile",
    "RESETkey",
    "NOMEMO",
    "REGETfile",
    "REGETkey",
    "NULL",
    "SETNULL",
    "SETNONULL",
    "SET_PROPERTY",
    "GET_PROPERTY",
    "QUERY_KEY",
    "QUERY_VIEW",
    "BLOB_YIELD",
    "BLOB_TAKE",
    "BLOB_SIZE",
    "BLOB_SET_PROP",
    "BLOB_GET_PROP",
    "BUFFER",
    "SETview",
    "CLEAR",
    "RESETviewfile",
    "BUILDevent",
    "SETPROPERTYkey",
    "GETPROPERTYkey",
    "Internal87",
    "DO_PROPERTY",
    "DOPROPERTYkey",
    "DOPROPERTYblob",
    "Internal91",
    "INVIEW",
    "ENDVIEW",
    "Internal94",
    "COUNTRECORDS",
    "GETNULLS",
    "SETNULLS",
    "GETSTATE",
    "RESTORESTATE",
    "Internal100",
    "Internal101",
    "FREESTATE",
    "SQLCALLBACK",
    "DESTROY",
};

struct Row {
  std::int32_t operation;
  StateMasks masks;
};

// Operations that share their masks are listed once each; every number not listed has all six
// masks 0 (NAME, GET_PROPERTY, the key's GET form, QUERY_VIEW, the internal ones, the saved
// states, SQLCALLBACK and DESTROY).
constexpr Row kRows[] = {
    {1, {0x11, 0x41, 0, 0x2, 0x1400, 0}},       // ADD
    {2, {0, 0x21, 0, 0, 0, 0}},                 // BOF
    {3, {0x1, 0xC0, 0x4, 0, 0, 0x2022}},        // BUILDfile
    {4, {0x11, 0x41, 0, 0, 0, 0}},              // APPEND
    {5, {0x1, 0x1, 0x4, 0x100, 0, 0}},          // BUILDdyn
    {6, {0x1, 0xC0, 0x4, 0, 0, 0}},             // BUILDkey
    {7, {0x1, 0x1, 0x4, 0, 0x101, 0}},          // CLOSE
    {8, {0x1, 0x5, 0, 0, 0x4, 0}},              // COMMIT
    {9, {0x1, 0, 0x1, 0, 0, 0}},                // COPY
    {10, {0x1, 0, 0x1, 0, 0, 0}},               // CREATE
    {11, {0x1, 0x43, 0, 0, 0x2, 0}},            // DELETE
    {12, {0x1, 0x41, 0, 0, 0, 0}},              // DUPLICATE
    {13, {0x1, 0xC1, 0x4, 0, 0, 0}},            // EMPTY
    {14, {0, 0x21, 0, 0, 0, 0}},                // EOF
    {15, {0x11, 0x101, 0, 0x2, 0xA00, 0x2}},    // GETfilekey
    {16, {0x11, 0x1, 0, 0x2, 0xA00, 0x2}},      // GETfileptr
    {17, {0x11, 0x101, 0, 0x2, 0xA00, 0x2}},    // GETkeyptr
    {18, {0x1, 0x1, 0, 0x800, 0, 0}},           // HOLDfile
    {19, {0x1, 0x1, 0, 0x800, 0, 0}},           // HOLDfilesec
    {20, {0x1, 0x1, 0x10, 0x90, 0, 0}},         // LOCKfile
    {21, {0x1, 0x1, 0x10, 0x90, 0, 0}},         // LOCKfilesec
    {22, {0x1, 0x1, 0x4, 0x4, 0, 0}},           // LOGOUT
    {24, {0x15, 0x21, 0, 0x2, 0xA00, 0x2022}},  // NEXT
    {25, {0x1, 0, 0x1, 0x1, 0, 0}},             // OPEN
    {26, {0x1, 0xC0, 0x4, 0, 0x22, 0x2022}},    // PACK
    {27, {0, 0x3, 0, 0, 0, 0}},                 // POINTERfile
    {28, {0, 0x103, 0, 0, 0, 0}},               // POINTERkey
    {29, {0x1, 0x1, 0, 0, 0x8, 0}},             // FLUSH
    {30, {0x11, 0x43, 0, 0, 0x1400, 0}},        // PUT
    {31, {0x15, 0x21, 0, 0x2, 0xA00, 0x2022}},  // PREVIOUS
    {32, {0, 0x1, 0, 0, 0, 0}},                 // RECORDSfile
    {33, {0, 0x101, 0, 0, 0, 0}},               // RECORDSkey
    {34, {0x1, 0x1, 0x4, 0x100, 0, 0}},         // BUILDdynfilter
    {36, {0x1, 0x1, 0, 0, 0x1000, 0}},          // RELEASE
    {37, {0x1, 0, 0x1, 0, 0, 0}},               // REMOVE
    {38, {0x1, 0, 0x1, 0, 0, 0}},               // RENAME
    {40, {0x1, 0x5, 0, 0, 0x4, 0}},             // ROLLBACK
    {41, {0x25, 0x1, 0, 0x2020, 0, 0x2020}},    // SETfile
    {42, {0x25, 0x101, 0, 0x2020, 0, 0x2020}},  // SETfilekey
    {43, {0x25, 0x1, 0, 0x2020, 0, 0x2020}},    // SETfileptr
    {44, {0x25, 0x101, 0, 0x2020, 0, 0x2020}},  // SETkey
    {45, {0x25, 0x101, 0, 0x2020, 0, 0x2020}},  // SETkeykey
    {46, {0x25, 0x101, 0, 0x2020, 0, 0x2020}},  // SETkeyptr
    {47, {0x25, 0x101, 0, 0x2020, 0, 0x2020}},  // SETkeykeyptr
    {48, {0x1, 0, 0x1, 0x1, 0, 0}},             // SHARE
    {49, {0x15, 0x21, 0, 0, 0x2, 0x2022}},      // SKIP
    {50, {0x1, 0x11, 0x4, 0, 0x10, 0}},         // UNLOCK
    {51, {0x11, 0x1, 0, 0, 0x1400, 0}},         // ADDfilelen
    {52, {0x1, 0x1, 0, 0, 0, 0}},               // BYTES
    {53, {0x11, 0x1, 0, 0x2, 0xA00, 0x2}},      // GETfileptrlen
    {54, {0x11, 0x41, 0, 0, 0x1400, 0x2}},      // PUTfileptr
    {55, {0x11, 0x41, 0, 0, 0x1400, 0x2}},      // PUTfileptrlen
    {56, {0x1, 0x1, 0x8, 0x8, 0, 0}},           // STREAM
    {57, {0x1, 0x101, 0, 0, 0, 0}},             // DUPLICATEkey
    {58, {0x1, 0x1, 0, 0x200, 0, 0}},           // WATCH
    {59, {0x1, 0x41, 0, 0, 0x1400, 0}},         // APPENDlen
    {60, {0x1, 0, 0, 0, 0, 0}},                 // SEND
    {61, {0x1, 0x3, 0, 0, 0, 0}},               // POSITIONfile
    {62, {0x1, 0x103, 0, 0, 0, 0}},             // POSITIONkey
    {63, {0x25, 0x1, 0, 0x2020, 0, 0x2020}},    // RESETfile
    {64, {0x25, 0x101, 0, 0x2020, 0, 0x2020}},  // RESETkey
    {65, {0, 0x1, 0, 0, 0, 0}},                 // NOMEMO
    {66, {0x11, 0x1, 0, 0x2, 0xA00, 0}},        // REGETfile
    {67, {0x11, 0x101, 0, 0x2, 0xA00, 0}},      // REGETkey
    {68, {0x1, 0x1, 0, 0, 0, 0}},               // NULL
    {69, {0x1, 0x1, 0, 0, 0, 0}},               // SETNULL
    {70, {0x1, 0x1, 0, 0, 0, 0}},               // SETNONULL
    {71, {0x1, 0, 0, 0, 0, 0}},                 // SET_PROPERTY
    {73, {0, 0x101, 0, 0, 0, 0}},               // QUERY_KEY
    {75, {0x1, 0x1, 0, 0, 0, 0}},               // BLOB_YIELD
    {76, {0x1, 0x1, 0, 0, 0, 0}},               // BLOB_TAKE
    {77, {0, 0x3, 0, 0, 0, 0}},                 // BLOB_SIZE
    {78, {0x1, 0x1, 0, 0, 0, 0}},               // BLOB_SET_PROP
    {79, {0x1, 0x1, 0, 0, 0, 0}},               // BLOB_GET_PROP
    {80, {0x1, 0x1, 0, 0, 0, 0}},               // BUFFER
    {81, {0x5, 0x1, 0, 0x20, 0, 0x20}},         // SETview
    {82, {0, 0x1, 0, 0, 0, 0}},                 // CLEAR
    {83, {0x5, 0x1, 0, 0x2020, 0, 0x2020}},     // RESETviewfile
    {84, {0x1, 0xC0, 0x4, 0, 0, 0x2022}},       // BUILDevent
    {85, {0x1, 0, 0, 0, 0, 0}},                 // SETPROPERTYkey
    {88, {0x1, 0, 0, 0, 0, 0}},                 // DO_PROPERTY
    {89, {0x1, 0, 0, 0, 0, 0}},                 // DOPROPERTYkey
    {90, {0x1, 0, 0, 0, 0, 0}},                 // DOPROPERTYblob
    {92, {0x1, 0x1, 0x100, 0x100, 0, 0}},       // INVIEW
    {93, {0x1, 0x1, 0, 0, 0x100, 0}},           // ENDVIEW
    {94, {0x1, 0, 0x1, 0, 0, 0}},               // Internal94
    {95, {0, 0x1, 0, 0, 0, 0}},                 // COUNTRECORDS
    {96, {0x1, 0x3, 0, 0, 0, 0}},               // GETNULLS
    {97, {0x1, 0x1, 0, 0, 0, 0}},               // SETNULLS
};

constexpr std::array<StateMasks, kLastOperation + 1> make_table() {
  std::array<StateMasks, kLastOperation + 1> table{};
  for (const Row& row : kRows)
    table[static_cast<std::size_t>(row.operation)] = row.masks;
  return table;
}

constexpr std::array<StateMasks, kLastOperation + 1> kTable = make_table();

}  // namespace

const StateMasks* state_masks(std::int32_t operation) noexcept {
  if (operation < 1 || operation > kLastOperation) return nullptr;
  return &kTable[static_cast<std::size_t>(operation)];
}

std::string_view operation_name(std::int32_t operation) noexcept {
  if (operation < 0 || operation > kLastOperation) return {};
  return kNames[static_cast<std::size_t>(operation)];
}

}  // namespace kes::files

// The columns of a FILE's table: which fields of the record (read from its type descriptor) and
// which MEMOs and BLOBs are stored, how each is converted, and where its bytes lie in the
// record image.
//
// A record image is the record buffer's bytes followed by each MEMO's buffer in declaration
// order; BLOBs have no place in it (their contents are kept beside the image).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <kestrel/driver.h>

namespace kes::sqlite {

// How a column's value is taken from the image and put back.
enum class Codec : std::uint8_t {
  Byte,        // INTEGER, 1 byte unsigned
  Short,       // INTEGER, 2 bytes signed
  Ushort,      // INTEGER, 2 bytes unsigned
  Long,        // INTEGER, 4 bytes signed (LONG, DATE, TIME)
  Ulong,       // INTEGER, 4 bytes unsigned
  Sreal,       // REAL, 4-byte float
  Real,        // REAL, 8-byte double
  Bfloat4,     // REAL, 4-byte BASIC float
  Bfloat8,     // REAL, 8-byte BASIC float
  Decimal,     // TEXT holding the exact decimal number, ordered as a number
  Pdecimal,    // the same from a PDECIMAL
  String,      // TEXT, trailing blanks removed, restored as blanks
  Cstring,     // TEXT up to the terminator
  Pstring,     // TEXT of the length byte's count
  Raw,         // BLOB of the bytes as they are (dimensioned fields and groups)
  Memo,        // BLOB of a MEMO's text, trailing blanks removed
  MemoBinary,  // BLOB of a BINARY MEMO's bytes, trailing zero bytes removed
  Blob,        // BLOB of a BLOB's contents
};

struct Column {
  std::string name;  // unique without regard to case
  Codec codec;
  std::uint32_t offset;  // in the image; for a BLOB its number from 0
  std::uint32_t size;    // bytes in the image (0 for a BLOB)
  std::uint8_t places;   // DECIMAL and PDECIMAL
  bool restores;         // false for a field declared OVER another: kept for keys only
};

// The kinds of values a column holds, for the table's declaration.
const char* column_type(Codec codec) noexcept;
bool is_text(Codec codec) noexcept;

struct RecordLayout {
  std::vector<Column> columns;             // the record's fields, then the MEMOs and BLOBs
  std::vector<std::int32_t> field_column;  // field number -> column index, -1 for none
  std::uint32_t record_size = 0;
  std::uint32_t image_size = 0;  // record size plus the MEMOs' sizes
  std::uint32_t blob_count = 0;
};

// Largest number of columns a table takes (SQLite's own limit is 2,000).
inline constexpr std::size_t kMaxColumns = 1000;

// Reads the layout of a record: `descriptor` (at most `length` bytes) its type descriptor,
// `record_size` the buffer's size, `memos` the file's MEMOs and BLOBs. Returns 0, or the error:
// 75 "Invalid Field Type Descriptor" for a descriptor that cannot be read, 79 "Unsupported Data
// Type In File" for a field of a type a table cannot hold, 47 "Invalid Record Declaration" for
// a field outside the record, or more than kMaxColumns columns.
std::int32_t read_layout(const std::uint8_t* descriptor, std::size_t length,
                         std::uint32_t record_size, const Drv_MCB* memos, std::size_t memo_count,
                         RecordLayout& layout);

}  // namespace kes::sqlite

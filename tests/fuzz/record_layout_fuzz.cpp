// The SQLite driver's reading of a record's type descriptor: whatever the bytes, the reader stays
// inside them, and every column it accepts lies inside the record image, with a unique name, and
// every key field it maps names one of those columns.
#include <cctype>
#include <set>
#include <string>
#include <vector>

// The driver is a library of its own; its reader is built into the target directly.
#include "files/sqlite/record_layout.cpp"
#include "tests/fuzz/support/fuzz_check.h"

using kes::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2 || size > 4096) return 0;
  // The first two bytes give the record's size; a MEMO of 8 bytes and a BLOB follow it.
  const std::uint32_t record_size = data[0] | (std::uint32_t{data[1]} << 8);
  std::vector<std::uint8_t> bytes(data + 2, data + size);  // exactly the input: overreads trap
  char memo_buffer[8];
  const Drv_MCB memos[2] = {{"Notes", nullptr, memo_buffer, 8, 0, {}, nullptr},
                            {"Picture", nullptr, nullptr, 0, DRV_MEMO_BLOB, {}, nullptr}};
  kes::sqlite::RecordLayout layout;
  const std::int32_t error =
      kes::sqlite::read_layout(bytes.data(), bytes.size(), record_size, memos, 2, layout);
  check(error == 0 || error == 47 || error == 75 || error == 79);
  if (error != 0) return 0;
  check(layout.image_size == record_size + 8 && layout.blob_count == 1);
  std::set<std::string> names;
  for (const kes::sqlite::Column& column : layout.columns) {
    std::string lower;
    for (char c : column.name)
      lower.push_back(static_cast<char>(std::tolower(c)));
    check(names.insert(lower).second && lower != "$position");
    if (column.codec != kes::sqlite::Codec::Blob)
      check(std::uint64_t{column.offset} + column.size <= layout.image_size);
  }
  for (std::int32_t column : layout.field_column)
    check(column < static_cast<std::int32_t>(layout.columns.size()));
  return 0;
}

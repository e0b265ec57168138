// What a queue needs to know about its record: the fields (offset, size, type, places, element
// count), their names for key texts, and the CSTRING and PSTRING fields whose unused tails are
// normalised before a large record is stored.
//
// State: the layout reader hook is process-wide by design (the type-descriptor layer installs it
// once at start-up).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kes::data {

struct FieldInfo {
  std::uint32_t offset;    // from the start of the record
  std::uint32_t size;      // of one element
  std::uint8_t type;       // type code
  std::uint8_t places;     // DECIMAL and PDECIMAL
  std::uint32_t elements;  // product of the dimensions, 1 for a plain field
};

enum class TailKind : std::uint8_t { CString, PString };

struct StringTail {
  std::uint32_t offset;
  std::uint32_t size;
  TailKind kind;
};

struct RecordLayout {
  std::uint32_t record_size = 0;   // element size times the product of the dimensions
  std::vector<FieldInfo> fields;   // field n is fields[n - 1]
  std::vector<std::string> names;  // the field names, in field order (may be empty)
  std::vector<StringTail> tails;   // CSTRING and PSTRING fields not overlaid by another field

  std::uint32_t field_count() const noexcept { return static_cast<std::uint32_t>(fields.size()); }
  // The number of the first field whose name equals `name` without regard to case; 0 for none.
  std::uint32_t field_number(std::string_view name) const noexcept;
};

// Fills `layout` from a compiled type descriptor; false when the descriptor cannot be read.
using LayoutReader = bool (*)(const void* type_descriptor, std::uint32_t record_size,
                              RecordLayout& layout);

// Installs the reader used when a queue is first used (null: queues know no fields, so every key
// field number and name is refused).
void set_layout_reader(LayoutReader reader) noexcept;
LayoutReader layout_reader() noexcept;

}  // namespace kes::data

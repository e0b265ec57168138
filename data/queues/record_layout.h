// What a queue needs to know about its record, read once from the record's type descriptor: the
// fields (offset, size, type, places, element count) and the CSTRING and PSTRING fields whose
// unused tails are normalised before a large record is stored.
//
// State: none; layouts are read through the process-wide class-descriptor cache.
#pragma once

#include <cstdint>
#include <vector>

namespace kes::data {

struct FieldInfo {
  std::uint32_t offset;    // from the start of the record (element 1 of enclosing arrays)
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
  std::uint32_t record_size = 0;  // element size times the product of the dimensions
  std::vector<FieldInfo> fields;  // field n is fields[n - 1]
  std::vector<StringTail> tails;  // every element of the CSTRING and PSTRING fields no other
                                  // field shares bytes with

  std::uint32_t field_count() const noexcept { return static_cast<std::uint32_t>(fields.size()); }
};

enum class LayoutResult : std::uint8_t { Read, Damaged, NoMemory };

// Reads the layout of the record described by the compiled type descriptor `type`. Damaged when
// the descriptor cannot be read. A string field that shares bytes with a field other than its
// enclosing groups (declared OVER it, or over which it is declared) gets no tail: normalising
// it would change the other field.
LayoutResult read_record_layout(const unsigned char* type, RecordLayout& layout) noexcept;

}  // namespace kes::data

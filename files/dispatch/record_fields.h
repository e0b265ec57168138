// The fields of a record as its type descriptor lists them, for the trace: type, name, place in
// the record and size. Only what the trace prints; group members are walked through, arrays
// counted.
//
// State: none.
#pragma once

#include <cstdint>
#include <string_view>

namespace kes::files {

struct RecordField {
  std::uint16_t number;    // the field's number, from 1
  std::uint8_t type;       // type code
  std::string_view name;   // the second name when it is not empty, else the name
  std::uint32_t offset;    // from the start of the record
  std::uint32_t size;      // of one element
  std::uint32_t elements;  // the product of the dimensions, 1 without
};

// Calls `visit` for each field of the descriptor (GROUP records included, their members after
// them), in declaration order. Stops at a record it cannot read (an unknown size) and after the
// record's field count. Returns the number of fields visited.
using FieldVisitor = void (*)(const RecordField& field, void* context);
std::uint32_t walk_record_fields(const std::uint8_t* descriptor, FieldVisitor visit,
                                 void* context) noexcept;

// The size of a type without size information in the descriptor (0 for one that has it).
std::uint32_t fixed_type_size(std::uint8_t type) noexcept;

}  // namespace kes::files

// Reading a record's type descriptor into the columns of its table.
#include "files/sqlite/record_layout.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace kes::sqlite {
namespace {

constexpr std::int32_t kInvalidDescriptor = 75;
constexpr std::int32_t kUnsupportedType = 79;
constexpr std::int32_t kInvalidDeclaration = 47;

// Bounded byte reader; every read past the end fails.
class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t length) : data_(data), length_(length) {}
  bool byte(std::uint8_t& value) {
    if (position_ >= length_) return false;
    value = data_[position_++];
    return true;
  }
  bool u32(std::uint32_t& value) {
    value = 0;
    for (int shift = 0; shift < 32; shift += 8) {
      std::uint8_t b = 0;
      if (!byte(b)) return false;
      value |= static_cast<std::uint32_t>(b) << shift;
    }
    return true;
  }
  // A compact number: b & 1Fh and (b >> 5) & 3 further bytes, big-endian; bit 7 the sign.
  bool compact(std::int64_t& value) {
    std::uint8_t first = 0;
    if (!byte(first)) return false;
    value = first & 0x1F;
    for (int more = (first >> 5) & 3; more > 0; --more) {
      std::uint8_t b = 0;
      if (!byte(b)) return false;
      value = value * 256 + b;
    }
    if ((first & 0x80) != 0) value = -value;
    return true;
  }
  // A terminated string of at most 99 characters.
  bool text(std::string& value) {
    value.clear();
    for (;;) {
      std::uint8_t b = 0;
      if (!byte(b)) return false;
      if (b == 0) return true;
      if (value.size() == 99) return false;
      value.push_back(static_cast<char>(b));
    }
  }

 private:
  const std::uint8_t* data_;
  std::size_t length_;
  std::size_t position_ = 0;
};

struct Field {
  std::uint8_t type = 0;
  std::uint32_t size = 0;  // one element
  std::uint8_t places = 0;
  std::uint32_t group_records = 0;
  std::uint32_t offset = 0;    // relative to the enclosing group
  std::uint64_t elements = 1;  // product of the dimensions
  bool dimensioned = false;
  std::string name;
};

// Fixed sizes of the types a column can hold; 0 for the others.
std::uint32_t fixed_size(std::uint8_t type) {
  switch (type) {
    case DRV_TYPE_BYTE: return 1;
    case DRV_TYPE_SHORT:
    case DRV_TYPE_USHORT: return 2;
    case DRV_TYPE_DATE:
    case DRV_TYPE_TIME:
    case DRV_TYPE_LONG:
    case DRV_TYPE_ULONG:
    case DRV_TYPE_SREAL:
    case DRV_TYPE_BFLOAT4: return 4;
    case DRV_TYPE_REAL:
    case DRV_TYPE_BFLOAT8: return 8;
    default: return 0;
  }
}

bool read_field(Reader& in, Field& field) {
  std::uint8_t flags = 0;
  if (!in.byte(field.type) || !in.byte(flags)) return false;
  switch (field.type) {
    case 31: {
      std::uint8_t size = 0;
      if (!in.byte(size)) return false;
      field.size = size;
      break;
    }
    case DRV_TYPE_DECIMAL:
    case DRV_TYPE_PDECIMAL: {
      std::uint8_t size = 0;
      if (!in.byte(size) || !in.byte(field.places)) return false;
      field.size = size;
      break;
    }
    case DRV_TYPE_STRING:
    case DRV_TYPE_CSTRING:
    case DRV_TYPE_PSTRING:
    case DRV_TYPE_MEMO: {
      std::int64_t size = 0;
      if (!in.compact(size) || size < 0) return false;
      field.size = static_cast<std::uint32_t>(size);
      std::string picture;
      if ((flags & 0x04) != 0 && !in.text(picture)) return false;
      break;
    }
    case DRV_TYPE_GROUP: {
      std::uint32_t extra = 0;
      if (!in.u32(field.size) || !in.u32(field.group_records) || !in.u32(extra)) return false;
      break;
    }
    default: field.size = fixed_size(field.type);
  }
  std::string second;
  if ((flags & 0x02) != 0 && !in.text(field.name)) return false;
  if ((flags & 0x01) != 0 && !in.text(second)) return false;
  if (!second.empty()) field.name = second;
  if ((flags & 0x08) != 0) {
    std::int64_t offset = 0;
    if (!in.compact(offset) || offset < 0) return false;
    field.offset = static_cast<std::uint32_t>(offset);
  }
  if ((flags & 0x10) != 0) {
    std::uint8_t count = 0;
    if (!in.byte(count)) return false;
    field.dimensioned = count > 0;
    for (std::uint8_t d = 0; d < count; ++d) {
      std::int64_t elements = 0;
      if (!in.compact(elements) || elements < 1) return false;
      field.elements *= static_cast<std::uint64_t>(elements);
      if (field.elements > 0xFFFFFFFFu) return false;
    }
  }
  return true;
}

// The codec of a field that is stored as a column of its own, or false for a type a table
// cannot hold.
bool codec_of(const Field& field, Codec& codec) {
  switch (field.type) {
    case DRV_TYPE_BYTE: codec = Codec::Byte; return true;
    case DRV_TYPE_SHORT: codec = Codec::Short; return true;
    case DRV_TYPE_USHORT: codec = Codec::Ushort; return true;
    case DRV_TYPE_DATE:
    case DRV_TYPE_TIME:
    case DRV_TYPE_LONG: codec = Codec::Long; return true;
    case DRV_TYPE_ULONG: codec = Codec::Ulong; return true;
    case DRV_TYPE_SREAL: codec = Codec::Sreal; return true;
    case DRV_TYPE_REAL: codec = Codec::Real; return true;
    case DRV_TYPE_BFLOAT4: codec = Codec::Bfloat4; return true;
    case DRV_TYPE_BFLOAT8: codec = Codec::Bfloat8; return true;
    case DRV_TYPE_DECIMAL: codec = Codec::Decimal; return field.size >= 1 && field.size <= 16;
    case DRV_TYPE_PDECIMAL: codec = Codec::Pdecimal; return field.size >= 1 && field.size <= 16;
    case DRV_TYPE_STRING: codec = Codec::String; return field.size > 0;
    case DRV_TYPE_CSTRING: codec = Codec::Cstring; return field.size > 0;
    case DRV_TYPE_PSTRING: codec = Codec::Pstring; return field.size > 0;
    default: return false;
  }
}

std::string lower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// Gives each column a name no earlier column has (without regard to case), and none that is the
// table's own position column.
void name_columns(std::vector<Column>& columns) {
  std::vector<std::string> taken{"$position"};
  for (std::size_t i = 0; i < columns.size(); ++i) {
    std::string base = columns[i].name.empty() ? "F" + std::to_string(i + 1) : columns[i].name;
    std::string name = base;
    for (int n = 2; std::find(taken.begin(), taken.end(), lower(name)) != taken.end(); ++n)
      name = base + "$" + std::to_string(n);
    taken.push_back(lower(name));
    columns[i].name = name;
  }
}

struct Group {
  std::uint32_t last_record;  // the last record that belongs to it
  std::uint32_t offset;       // from the start of the record
  bool in_array;              // it or an enclosing group is dimensioned
};

}  // namespace

const char* column_type(Codec codec) noexcept {
  switch (codec) {
    case Codec::Byte:
    case Codec::Short:
    case Codec::Ushort:
    case Codec::Long:
    case Codec::Ulong: return "INTEGER";
    case Codec::Sreal:
    case Codec::Real:
    case Codec::Bfloat4:
    case Codec::Bfloat8: return "REAL";
    case Codec::Decimal:
    case Codec::Pdecimal:
    case Codec::String:
    case Codec::Cstring:
    case Codec::Pstring: return "TEXT";
    default: return "BLOB";
  }
}

bool is_text(Codec codec) noexcept {
  return codec == Codec::String || codec == Codec::Cstring || codec == Codec::Pstring;
}

std::int32_t read_layout(const std::uint8_t* descriptor, std::size_t length,
                         std::uint32_t record_size, const Drv_MCB* memos, std::size_t memo_count,
                         RecordLayout& layout) {
  layout = RecordLayout{};
  layout.record_size = record_size;
  Reader in(descriptor, descriptor == nullptr ? 0 : length);
  Field record;
  if (!read_field(in, record) || record.type != DRV_TYPE_GROUP) return kInvalidDescriptor;
  const std::uint32_t field_count = record.group_records;
  if (field_count > 0xFFFF) return kInvalidDescriptor;  // key components number fields in 16 bits
  layout.field_column.assign(static_cast<std::size_t>(field_count) + 1, -1);
  std::vector<Group> groups{{field_count, 0, false}};
  for (std::uint32_t number = 1; number <= field_count; ++number) {
    Field field;
    if (!read_field(in, field)) return kInvalidDescriptor;
    while (groups.back().last_record < number)
      groups.pop_back();
    const Group parent = groups.back();  // a copy: the pushes below move the stack
    const std::uint64_t offset = std::uint64_t{parent.offset} + field.offset;
    const std::uint64_t total = std::uint64_t{field.size} * field.elements;
    if (field.type == DRV_TYPE_MEMO || field.type == DRV_TYPE_BLOB) continue;  // the MCBs hold them
    if (offset + total > record_size) return kInvalidDeclaration;
    if (field.type == DRV_TYPE_GROUP) {
      if (field.group_records > parent.last_record - number) return kInvalidDescriptor;
      groups.push_back({number + field.group_records, static_cast<std::uint32_t>(offset),
                        parent.in_array || field.dimensioned});
      if (parent.in_array || !field.dimensioned) continue;
    } else if (parent.in_array) {
      continue;  // stored with the dimensioned group's bytes
    }
    Column column{field.name,
                  Codec::Raw,
                  static_cast<std::uint32_t>(offset),
                  static_cast<std::uint32_t>(total),
                  field.places,
                  true};
    if (!field.dimensioned && !codec_of(field, column.codec)) return kUnsupportedType;
    if (layout.columns.size() == kMaxColumns) return kInvalidDeclaration;
    for (const Column& earlier : layout.columns) {
      if (earlier.restores && column.offset < earlier.offset + earlier.size &&
          earlier.offset < column.offset + column.size)
        column.restores = false;  // declared OVER an earlier field
    }
    layout.field_column[number] = static_cast<std::int32_t>(layout.columns.size());
    layout.columns.push_back(std::move(column));
  }
  std::uint64_t image = record_size;
  for (std::size_t m = 0; m < memo_count; ++m) {
    const Drv_MCB& memo = memos[m];
    if (layout.columns.size() == kMaxColumns) return kInvalidDeclaration;
    Column column{memo.label == nullptr ? std::string() : std::string(memo.label),
                  Codec::Blob,
                  0,
                  0,
                  0,
                  true};
    if ((memo.flags & DRV_MEMO_BLOB) != 0) {
      column.offset = layout.blob_count++;
    } else {
      column.codec = (memo.flags & DRV_MEMO_BINARY) != 0 ? Codec::MemoBinary : Codec::Memo;
      column.offset = static_cast<std::uint32_t>(image);
      column.size = memo.size;
      image += memo.size;
      if (image > 0x7FFFFFFF) return kInvalidDeclaration;
    }
    layout.columns.push_back(std::move(column));
  }
  layout.image_size = static_cast<std::uint32_t>(image);
  name_columns(layout.columns);
  return 0;
}

}  // namespace kes::sqlite

// Type codes and type descriptors: the compiler's byte-stream description of a GROUP, QUEUE or
// FILE record (fields, names, types, sizes, offsets, dimensions), its reader, and the builder
// that writes the same stream at run time for programs that make structures without a
// compiler.
//
// Stream encodings, all read byte by byte:
//   byte            one unsigned byte;
//   32-bit number   four bytes, little-endian;
//   string          bytes up to and including a zero byte;
//   compact number  a first byte b, then (b >> 5) & 3 further bytes; the value starts as
//                   b & 1Fh and takes each further byte as value * 256 + byte; bit 7 of b makes
//                   it negative (05h is 5, 21h 2Ch is 300, 85h is -5).
// A field record: type code (byte); flags (byte: 01h second name, 02h name, 04h picture,
// 08h offset, 10h dimensions); size information by type (31: a byte, the size of the text
// referred to, kept in `places`, the variable itself being a pointer; DECIMAL and PDECIMAL: a
// size byte and a places byte; STRING, CSTRING, PSTRING, MEMO: a compact size, then the picture
// string with 04h; GROUP: three 32-bit numbers, size, number of records that belong to it and a
// third value; other types nothing, their fixed size; a packed decimal of no bytes, of more
// than 16 or with more than 31 places is damage); the name (02h); the second name (01h);
// the offset within the enclosing group as a compact number (08h; else 0); the dimensions (10h:
// a count byte, then one compact number of elements per dimension).
// A descriptor starts with record 0, a GROUP describing the structure; its field count is the
// number of fields, numbered 1 onward in stream order, a nested group's fields right after its
// record and counted in its own field count.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <kestrel/abi.h>

class Ufo;

// The declared data types, as compiled code, drivers, queues and the expression engine name
// them.
enum KesTypeCode {
  KesTypeEnd = 0,
  KesTypeByte = 1,
  KesTypeShort = 2,
  KesTypeUshort = 3,
  KesTypeDate = 4,
  KesTypeTime = 5,
  KesTypeLong = 6,
  KesTypeUlong = 7,
  KesTypeSreal = 8,
  KesTypeReal = 9,
  KesTypeDecimal = 10,
  KesTypePdecimal = 11,
  KesTypeDum1 = 12,
  KesTypeBfloat4 = 13,
  KesTypeBfloat8 = 14,
  KesTypeAny = 15,
  KesTypeTempUfo = 16,
  KesTypeString = 18,
  KesTypeCstring = 19,
  KesTypePstring = 20,
  KesTypeMemo = 21,
  KesTypeGroup = 22,
  KesTypeClass = 23,
  KesTypeArray = 24,
  KesTypeField = 25,
  KesTypeQueue = 26,
  KesTypeBlob = 27,
  KesTypeStackStr = 28,
  KesTypePicture = 29,
  KesTypeStdNum = 30,
  KesTypeStringRef = 31,
  KesTypeBString = 42,
  KesTypeAString = 43,
  KesTypeVariant = 45,
};

// Flags of a field record.
enum KesFieldFlags {
  KesFieldSecondName = 0x01,
  KesFieldName = 0x02,
  KesFieldPicture = 0x04,
  KesFieldOffset = 0x08,
  KesFieldDimensions = 0x10,
};

// Longest name and second name (characters, without the terminator), and most dimensions of
// one field.
inline constexpr uint32_t kKesFieldNameLength = 99;
inline constexpr uint32_t kKesFieldMaxDimensions = 16;

// One field record in memory.
struct KES_EXPORT field_descriptor {
  char name[kKesFieldNameLength + 1];           // empty without flag 02h
  char second_name[kKesFieldNameLength + 1];    // empty without flag 01h
  uint8_t dimension_count;                      // 0: not dimensioned
  uint32_t dimensions[kKesFieldMaxDimensions];  // elements per dimension
  uint8_t type;                                 // a KesTypeCode
  uint32_t offset;              // from the start of the structure (enclosing groups' offsets added)
  uint32_t size;                // bytes of one element (a pointer's for ANY, 31, BSTR, AString)
  uint32_t places;              // DECIMAL and PDECIMAL; for 31 the referred text's size
  const char* picture;          // the picture text inside the stream, null without flag 04h
  uint32_t group_fields;        // GROUP: records that belong to it
  uint32_t group_extra;         // GROUP: the third value
  const unsigned char* record;  // where the record starts in its stream
  uint32_t record_room;         // bytes from the record to the end of the stream
  // A new value descriptor over this field of the structure at `base` (Kes$Mem2Ufo for
  // scalars, an ArrayUfo for dimensioned fields, a GroupUfo for groups); null when memory
  // runs out or the type has no descriptor class.
  Ufo* field2ufo(void* base) const noexcept;
};

// What the walk keeps of every field, for operations that go field by field without reading
// names (CLEAR, deep assignment, queue keys).
struct KesFieldInfo {
  uint32_t stream_position;  // where the field's record starts
  uint32_t offset;           // from the start of the structure
  uint32_t size;             // bytes of one element
  uint32_t elements;         // product of the dimensions (1 when not dimensioned)
  uint32_t parent;           // number of the enclosing group's record (0: the structure)
  uint32_t group_fields;     // GROUP: records that belong to it
  uint8_t type;              // a KesTypeCode
  uint8_t places;            // DECIMAL and PDECIMAL; for 31 the referred text's size
  uint8_t dimension_count;
  uint8_t inside_array;  // 1 when an enclosing group is dimensioned (offset of element 1)
};

// Reads one type descriptor stream record by record. It never reads past the length it is
// given; a record that would is damage, after which every read fails.
class KES_EXPORT ClassDesc {
 public:
  // `length` bounds the stream; compiled descriptors, which are trusted, may pass UINT32_MAX.
  ClassDesc(const unsigned char* stream, uint32_t length) noexcept
      : stream_(stream), length_(stream == nullptr ? 0 : length) {}

  // Reads the record at the current position into `field` (offset relative to the enclosing
  // group, as stored); false on damage or at the end of the stream.
  bool read_field(field_descriptor& field) noexcept;
  // Reads a record keeping only what the walk needs: type, size, places, group field count,
  // stored offset, dimensions. False on damage.
  bool skip_field(KesFieldInfo& info) noexcept;

  bool read_byte(uint8_t& value) noexcept;
  bool read_u32(uint32_t& value) noexcept;
  bool read_compact(int32_t& value) noexcept;
  // Copies a string (at most `capacity - 1` characters kept, the rest skipped) and terminates
  // it; a string not ended before the stream's end is damage.
  bool read_string(char* destination, uint32_t capacity) noexcept;
  // Skips a string; its start is returned in `text`.
  bool skip_string(const char*& text) noexcept;
  // Marks the stream damaged (a record whose values cannot be); always false.
  bool fail_now() noexcept { return fail(); }

  uint32_t position() const noexcept { return position_; }
  void seek(uint32_t position) noexcept { position_ = position; }
  bool damaged() const noexcept { return damaged_; }
  const unsigned char* stream() const noexcept { return stream_; }
  uint32_t length() const noexcept { return length_; }

 private:
  bool fail() noexcept;
  const unsigned char* stream_;
  uint32_t length_;
  uint32_t position_ = 0;
  bool damaged_ = false;
};

// The name access of a class descriptor, and its error operation.
class KES_EXPORT CLASS_DESCRIPTOR {
 public:
  virtual ~CLASS_DESCRIPTOR();
  CLASS_DESCRIPTOR(const CLASS_DESCRIPTOR&) = delete;
  CLASS_DESCRIPTOR& operator=(const CLASS_DESCRIPTOR&) = delete;

  // The field's second name when it is not empty, else its name; the empty text for a number
  // beyond the fields. Valid until the next read of this descriptor.
  const char* FIELDNAME(unsigned field) noexcept;
  // The field's name (flag 02h), or the empty text.
  const char* FIELDLABEL(unsigned field) noexcept;

  // The error operation: FieldDesc reports 8 for a field beyond the last, FieldNum 5 for an
  // unknown name. This one records the code (last_error); owners override it.
  virtual void Error(int code) noexcept;
  int last_error() const noexcept { return last_error_; }

  static void* operator new(size_t size) noexcept;
  static void operator delete(void* block) noexcept;

  // Data other modules keep with the descriptor (per-structure plans such as CLEAR's fill
  // images), released with it, or when the slot is set again or the descriptor is read anew.
  static constexpr unsigned kAttachmentSlots = 4;
  using AttachmentRelease = void (*)(void* data) noexcept;
  // The data in `slot`, or null.
  void* attachment(unsigned slot) const noexcept {
    return slot < kAttachmentSlots ? attachments_[slot] : nullptr;
  }
  // Keeps `data` in `slot` (releasing what was there); false, with nothing kept, for a slot
  // out of range.
  bool attach(unsigned slot, void* data, AttachmentRelease release) const noexcept;

 protected:
  CLASS_DESCRIPTOR() noexcept = default;
  void release_attachments() const noexcept;
  // Reads field `field` into last_; false beyond the fields.
  bool read_last(unsigned field) noexcept;

  const unsigned char* stream_ = nullptr;  // the descriptor (or the builder's buffer)
  uint32_t stream_length_ = 0;
  KesFieldInfo* fields_ = nullptr;  // records 0 to field_count_, runtime heap
  uint32_t field_count_ = 0;        // fields after record 0
  uint32_t field_capacity_ = 0;     // entries of fields_
  field_descriptor last_ = {};      // the field last read
  int last_error_ = 0;
  mutable void* attachments_[kAttachmentSlots] = {};
  mutable AttachmentRelease releases_[kAttachmentSlots] = {};
};

// A class descriptor: the walk over a type descriptor (with an optional name table), or a
// builder that writes one.
class KES_EXPORT class_descriptor : public CLASS_DESCRIPTOR {
 public:
  // Size of the builder's buffer.
  static constexpr uint32_t kBuilderCapacity = 64000;

  // Walks the descriptor at `stream` (at most `length` bytes). A damaged or short stream gives
  // a descriptor with no fields, not even record 0 (damaged() true). With `with_names` the name
  // table for FieldNum is built.
  class_descriptor(const unsigned char* stream, uint32_t length, bool with_names) noexcept;
  // An empty descriptor to build (its stream's first byte is 0 until EndDeclaration).
  class_descriptor() noexcept;
  ~class_descriptor() override;

  // Number of fields (the field count of record 0).
  unsigned NFields() const noexcept { return field_count_; }
  // Field `field` (0 the structure itself); null and Error(8) beyond the last. Valid until the
  // next read of this descriptor.
  const field_descriptor* FieldDesc(unsigned field) noexcept;
  // Number of the first field whose FIELDNAME equals `name` (terminated text, trailing blanks
  // ignored) without regard to case; 0 and Error(5) without a name table or such a field.
  unsigned FieldNum(const char* name) noexcept;
  // The field that `field` is declared OVER: the earlier field of the same group at the same
  // offset; 0 when none.
  unsigned OverField(unsigned field) const noexcept;
  // A new value descriptor over field `field` of the structure at `base`; null beyond the
  // fields.
  Ufo* Field2Ufo(unsigned field, void* base) noexcept;
  // The field's second name (flag 01h), or the empty text.
  const char* FieldComment(unsigned field) noexcept;

  // What the walk keeps of field `field` (0 the structure); null beyond the fields.
  const KesFieldInfo* field_info(unsigned field) const noexcept {
    return field <= field_count_ && fields_ != nullptr ? &fields_[field] : nullptr;
  }
  // Size of the structure (record 0).
  uint32_t structure_size() const noexcept { return fields_ == nullptr ? 0 : fields_[0].size; }
  bool damaged() const noexcept { return damaged_; }
  // True when the walk stopped because memory ran out rather than at damage in the stream.
  bool short_of_memory() const noexcept { return short_of_memory_; }

  // Builder, in declaration order. Each returns false (and the declaration is then damaged)
  // when the buffer is full, a name is longer than 99 characters, the call is out of order
  // (a field before StartGroup, an EndGroup without a group) or the declaration has ended.
  // Starts a group: the first call declares the structure (record 0). Offsets of fields
  // follow each other from 0 within their group unless SetOffset says otherwise.
  bool StartGroup(const char* name) noexcept;
  // Adds a field of `type` with `size` bytes (STRING, CSTRING, PSTRING, MEMO, DECIMAL,
  // PDECIMAL, string reference; ignored for fixed-size types), places (DECIMAL, PDECIMAL), a
  // picture (string types; null for none), names (null for none).
  bool AddField(unsigned char type, uint32_t size, const char* name, unsigned places,
                const char* picture, const char* second_name) noexcept;
  // Adds a field of a fixed-size type.
  bool AddSimple(unsigned char type, const char* name, const char* second_name) noexcept;
  // Gives the next field (or group) one more dimension of `elements` (at least 1).
  bool AddArray(uint32_t elements) noexcept;
  // Places the next field (or group) at `offset` within its group, as OVER does.
  bool SetOffset(uint32_t offset) noexcept;
  // Ends the innermost nested group: its size and field count are written.
  bool EndGroup() noexcept;
  // Ends the structure: record 0's size and field count are written and the stream is read
  // back as a compiled one (NFields, FieldDesc and the rest work from then on).
  bool EndDeclaration() noexcept;

  // The stream built (or walked), and its length in bytes.
  const unsigned char* stream() const noexcept { return stream_; }
  uint32_t stream_length() const noexcept { return stream_length_; }

 private:
  struct Builder;
  bool walk(bool with_names) noexcept;
  void forget_fields() noexcept;
  bool store_field(uint32_t index, const KesFieldInfo& info) noexcept;
  bool out_of_memory() noexcept {
    short_of_memory_ = true;
    return false;
  }
  bool write_record(unsigned char type, uint32_t size, unsigned places, const char* picture,
                    const char* name, const char* second_name) noexcept;

  void* names_ = nullptr;       // name table (a HashTable), when built
  Builder* builder_ = nullptr;  // while building
  bool damaged_ = false;
  bool short_of_memory_ = false;
};

// The storage size of a type code: the fixed size, 0 where the declaration decides.
KES_API uint32_t Kes$TypeSize(uint32_t type_code) KES_NOEXCEPT;

// Queue keys and the comparators built from them. A comparator compares a value (the record
// being searched for or placed) with an entry's record: negative below, 0 equal, positive above.
//
// A field-list comparator also gives each record a sort prefix: 8 bytes taken from the leading
// key fields (whole numbers, dates and times biased so that their bytes sort as the values do,
// texts as their first collation weights), complemented for descending fields. Two records
// whose prefixes differ compare as their prefixes do; equal prefixes need the full comparison,
// unless the prefix holds the whole key (exact). Orders keep the prefixes of their entries
// beside the handles, so that searches and sorts seldom read an entry.
//
// State: none.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include <kestrel/queues.h>

#include "data/queues/record_layout.h"

class Ufo;

namespace kes::data {

inline constexpr std::uint32_t kMaxKeyFields = 16;

enum class ComparatorKind : std::uint8_t {
  Natural,       // whole records byte by byte; every value sorts after every entry
  Procedure,     // the program's procedure
  Fields,        // a list of signed field numbers
  HashedFields,  // the same, with a hash index for exact-match lookups
};

// A key as a statement gives it. An empty key (no fields, no procedure) is Natural.
struct KeyPlan {
  ComparatorKind kind = ComparatorKind::Natural;
  KesQueueCompareProc procedure = nullptr;
  std::uint32_t count = 0;
  std::array<std::int32_t, kMaxKeyFields> numbers{};

  // Same procedure, or same signed field numbers in the same order (a hashed and a plain field
  // list are the same key).
  bool same_key(const KeyPlan& other) const noexcept;
};

// How one key field is compared.
enum class FieldRule : std::uint8_t {
  Byte,
  Short,
  Ushort,
  Long,
  Ulong,
  Date,  // by serial day
  Time,  // by serial time
  Sreal,
  Real,
  Decimal,
  Pdecimal,
  Text,        // STRING, CSTRING, PSTRING and GROUP by the collation, trailing spaces ignored
  Descriptor,  // through the field type's value descriptors
  Bytes,       // types without a value descriptor: byte by byte
};

struct KeyField {
  std::uint32_t offset;
  std::uint32_t size;      // of one element
  std::uint32_t elements;  // compared one after the other
  std::uint8_t type;
  std::uint8_t places;
  FieldRule rule;
  bool descending;
};

class Comparator {
 public:
  Comparator() noexcept = default;
  ~Comparator();
  Comparator(Comparator&& other) noexcept;
  Comparator& operator=(Comparator&& other) noexcept;
  Comparator(const Comparator&) = delete;
  Comparator& operator=(const Comparator&) = delete;

  // The comparator of `key` over records of `layout` (record_size bytes; a field reaching past
  // the record is cut to it). Every field number must lie within the layout (key selection has
  // checked it). False, with the comparator natural, when the value descriptors that some field
  // types are compared through cannot be made.
  bool build(const KeyPlan& key, const RecordLayout& layout, std::uint32_t record_size,
             const void* type_descriptor) noexcept;

  const KeyPlan& key() const noexcept { return key_; }
  ComparatorKind kind() const noexcept { return key_.kind; }
  bool natural() const noexcept { return key_.kind == ComparatorKind::Natural; }
  // Sum of the key fields' sizes.
  std::uint32_t width() const noexcept { return width_; }
  std::uint32_t field_count() const noexcept { return key_.count; }

  int compare(const std::byte* value, const std::byte* entry) const noexcept;

  // Whether records have sort prefixes under this comparator, and whether equal prefixes mean
  // equal keys.
  bool prefixed() const noexcept { return piece_count_ != 0; }
  bool prefix_exact() const noexcept { return prefix_exact_; }
  std::uint64_t prefix(const std::byte* record) const noexcept;

  // Hash of the record's key, equal for records the comparator finds equal. Fields whose
  // equality is not a matter of their canonical bytes (reals, decimals, descriptors) add
  // nothing.
  std::uint32_t hash(const std::byte* record) const noexcept;

  // Marks a field list hashed or plain again.
  void set_hashed(bool hashed) noexcept;

 private:
  void release() noexcept;
  int compare_through_descriptors(std::uint32_t field, const std::byte* value,
                                  const std::byte* entry) const noexcept;

  KeyPlan key_;
  std::array<KeyField, kMaxKeyFields> fields_{};
  // Two value descriptors per field compared through them (null for the others), pointed at the
  // value's and the entry's bytes for each comparison.
  std::array<Ufo*, 2 * kMaxKeyFields> descriptors_{};
  std::uint32_t width_ = 0;
  std::uint32_t record_size_ = 0;
  const void* type_descriptor_ = nullptr;
  // The prefix: leading key field elements, each taking `width` bytes (a text its first
  // `width` weights).
  struct PrefixPiece {
    std::uint32_t offset;
    std::uint32_t size;
    std::uint8_t type;
    FieldRule rule;
    std::uint8_t width;
    bool descending;
  };
  std::array<PrefixPiece, 8> pieces_{};
  std::uint32_t piece_count_ = 0;
  bool prefix_exact_ = false;
};

// Compares two values of one field type the way the value descriptors do: whole numbers, dates
// and times by value, reals with the REAL tolerance, decimals by value, texts by the collation
// with trailing spaces ignored. Types compared through descriptors or byte by byte are not
// handled here (0).
int compare_field(const std::byte* a, const std::byte* b, FieldRule rule, std::uint32_t size,
                  std::uint8_t places) noexcept;

// The rule for a field type code.
FieldRule field_rule(std::uint8_t type) noexcept;

}  // namespace kes::data

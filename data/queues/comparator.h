// Queue keys and the comparators built from them. A comparator compares a value (the record
// being searched for or placed) with an entry's record: negative below, 0 equal, positive above.
//
// State: none.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include <kestrel/queues.h>

#include "data/queues/record_layout.h"

namespace kes::data {

inline constexpr std::uint32_t kMaxKeyFields = 16;

enum class ComparatorKind : std::uint8_t {
  Natural,       // whole records byte by byte; every value sorts after every entry
  Procedure,     // the program's procedure
  Fields,        // a list of signed field numbers
  HashedFields,  // the same, with a hash index for exact-match lookups
};

// A key as a statement gives it. An empty key (no fields, no procedure) is Natural.
struct KeySpec {
  ComparatorKind kind = ComparatorKind::Natural;
  KesQueueCompareProc procedure = nullptr;
  std::uint32_t count = 0;
  std::array<std::int32_t, kMaxKeyFields> numbers{};

  // Same procedure, or same signed field numbers in the same order (a hashed and a plain field
  // list are the same key).
  bool same_key(const KeySpec& other) const noexcept;
};

struct KeyField {
  std::uint32_t offset;
  std::uint32_t size;      // of one element
  std::uint32_t elements;  // compared one after the other
  std::uint8_t type;
  std::uint8_t places;
  bool descending;
};

class Comparator {
 public:
  Comparator() noexcept = default;
  // The comparator of `key` over records of `layout`; every field number must lie within the
  // layout (key selection has checked it).
  Comparator(const KeySpec& key, const RecordLayout& layout, std::uint32_t record_size,
             const void* type_descriptor) noexcept;

  const KeySpec& key() const noexcept { return key_; }
  ComparatorKind kind() const noexcept { return key_.kind; }
  bool natural() const noexcept { return key_.kind == ComparatorKind::Natural; }
  // Sum of the key fields' sizes.
  std::uint32_t width() const noexcept { return width_; }
  std::uint32_t field_count() const noexcept { return key_.count; }

  int compare(const std::byte* value, const std::byte* entry) const noexcept;

  // Hash of the record's key, equal for records the comparator finds equal. Fields whose
  // equality is not a matter of their canonical bytes (reals, decimals) add nothing.
  std::uint32_t hash(const std::byte* record) const noexcept;

  // Marks a field list hashed or plain again.
  void set_hashed(bool hashed) noexcept;

 private:
  KeySpec key_;
  std::array<KeyField, kMaxKeyFields> fields_{};
  std::uint32_t width_ = 0;
  std::uint32_t record_size_ = 0;
  const void* type_descriptor_ = nullptr;
};

// Compares two values of one field type the way the value descriptors do: whole numbers and
// reals by value (reals with the REAL tolerance), decimals by value, texts by the collation with
// trailing spaces ignored, anything else byte by byte.
int compare_field(const std::byte* a, const std::byte* b, std::uint8_t type, std::uint32_t size,
                  std::uint8_t places) noexcept;

}  // namespace kes::data

// Stored queue entries. Records below 128 bytes are kept as plain copies (mode 0); larger ones
// are run-length coded (mode 1), after their CSTRING and PSTRING tails are normalised when the
// record has such fields (mode 2). A coded entry's data is a 32-bit length n, then n bytes of
// code, or the record as it is when n is 0.
//
// Entries (and, in mode 0, their records) are carved out of slabs that the store owns, so that
// the entries of a queue lie together in the order they were made, and a removed entry's room
// serves the next one. The slabs go back to the heap when the store is emptied or destroyed.
//
// State: none process-wide; each queue owns one store, its slabs and its scratch buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "data/queues/handle_array.h"
#include "data/queues/record_layout.h"

namespace kes::data {

enum class StorageMode : std::uint8_t { Plain = 0, Compressed = 1, CompressedTails = 2 };

inline constexpr std::uint32_t kCompressedFrom = 128;  // record size that turns compression on

// Sets the unused tail of each field in place: after a CSTRING's terminator every byte becomes
// zero; after a PSTRING's last character every byte becomes that character (the length byte
// when the string is empty). Fields that reach past the record are cut to it.
void normalise_string_tails(std::span<std::byte> record,
                            std::span<const StringTail> tails) noexcept;

class EntryStore {
 public:
  EntryStore(std::uint32_t record_size, std::vector<StringTail> tails) noexcept;
  EntryStore(const EntryStore&) = delete;
  EntryStore& operator=(const EntryStore&) = delete;
  ~EntryStore();

  StorageMode mode() const noexcept { return mode_; }
  std::uint32_t record_size() const noexcept { return record_size_; }

  // A new entry holding `record` (normalised in place first in mode 2); null when out of memory.
  Entry* make(std::byte* record) noexcept;

  // The stored form of `record` (normalised in place first in mode 2), for replace(); null when
  // out of memory. In mode 0 the stored form is written into the entry by replace() itself, so
  // this answers the record.
  std::byte* encode(std::byte* record) noexcept;
  // Puts a stored form from encode() into the entry, releasing the old one.
  void replace(Entry& entry, std::byte* stored) noexcept;
  // Releases a stored form from encode() that was not used.
  void discard(std::byte* stored) noexcept;

  // Expands the entry into `record` (record_size() bytes).
  void load(const Entry& entry, std::byte* record) const noexcept;
  // The entry's record bytes: in mode 0 the entry's own, otherwise expanded into `scratch`.
  const std::byte* bytes(const Entry& entry, std::byte* scratch) const noexcept {
    if (mode_ == StorageMode::Plain) return entry.data;
    load(entry, scratch);
    return scratch;
  }

  void destroy(Entry* entry) noexcept;
  // Releases every slab; every entry must have been destroyed first.
  void release_slabs() noexcept;

  // Bytes of the entry's stored form (the code or the record, with its length word).
  std::size_t stored_length(const Entry& entry) const noexcept;

 private:
  std::uint32_t record_size_;
  StorageMode mode_;
  std::vector<StringTail> tails_;
  Entry* allocate_entry() noexcept;
  void destroy_slot(Entry* entry) noexcept;  // the entry's room, for the next entry

  std::byte* scratch_ = nullptr;  // record size + 4; becomes the data of an uncoded entry
  std::size_t entry_size_;        // an entry and, in mode 0, its record
  void* slabs_ = nullptr;         // newest first
  std::byte* unused_ = nullptr;   // never handed out, in the newest slab
  std::size_t unused_count_ = 0;
  std::size_t next_slab_count_;  // entries of the next slab: doubles up to a limit
  Entry* free_ = nullptr;        // destroyed entries, linked through their data pointer
};

}  // namespace kes::data

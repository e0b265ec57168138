// Stored queue entries: plain copies, run-length code, string-tail normalisation.
#include "data/queues/entry_store.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "data/queues/run_length.h"
#include "platform/core/heap.h"

namespace kes::data {
namespace {

constexpr std::size_t kLengthWord = 4;
constexpr std::size_t kFirstSlabEntries = 8;
constexpr std::size_t kSlabBytes = 64 * 1024;  // slabs grow up to about this size

// A slab: the link to the next older one, then its entries.
struct alignas(alignof(Entry)) SlabHeader {
  void* next;
};
constexpr std::size_t kCodeSlack = 16;  // a code must save at least this much to be kept

std::uint32_t read_length(const std::byte* data) noexcept {
  std::uint32_t length = 0;
  std::memcpy(&length, data, sizeof length);
  return length;
}

}  // namespace

void normalise_string_tails(std::span<std::byte> record,
                            std::span<const StringTail> tails) noexcept {
  for (const StringTail& tail : tails) {
    if (tail.offset >= record.size() || tail.size == 0) continue;
    const std::size_t size = std::min<std::size_t>(tail.size, record.size() - tail.offset);
    std::byte* field = record.data() + tail.offset;
    if (tail.kind == TailKind::CString) {
      auto* terminator = static_cast<std::byte*>(std::memchr(field, 0, size));
      if (terminator != nullptr) {
        std::memset(terminator, 0, size - static_cast<std::size_t>(terminator - field));
      }
    } else {
      const std::size_t used = std::to_integer<std::size_t>(field[0]);  // characters
      if (used + 1 < size)
        std::memset(field + used + 1, std::to_integer<int>(field[used]), size - used - 1);
    }
  }
}

EntryStore::EntryStore(std::uint32_t record_size, std::vector<StringTail> tails) noexcept
    : record_size_(record_size), tails_(std::move(tails)), next_slab_count_(kFirstSlabEntries) {
  if (record_size_ < kCompressedFrom) {
    mode_ = StorageMode::Plain;
  } else {
    mode_ = tails_.empty() ? StorageMode::Compressed : StorageMode::CompressedTails;
  }
  const std::size_t record = mode_ == StorageMode::Plain ? record_size_ : 0;
  constexpr std::size_t kAlign = alignof(Entry);
  entry_size_ = (sizeof(Entry) + record + kAlign - 1) / kAlign * kAlign;
}

EntryStore::~EntryStore() {
  release_slabs();
  platform::heap_free(scratch_);
}

Entry* EntryStore::allocate_entry() noexcept {
  Entry* entry = free_;
  if (entry != nullptr) {
    free_ = reinterpret_cast<Entry*>(entry->data);
  } else {
    if (unused_count_ == 0) {
      const std::size_t count = next_slab_count_;
      void* slab = platform::heap_allocate(sizeof(SlabHeader) + count * entry_size_);
      if (slab == nullptr) return nullptr;
      static_cast<SlabHeader*>(slab)->next = slabs_;
      slabs_ = slab;
      unused_ = static_cast<std::byte*>(slab) + sizeof(SlabHeader);
      unused_count_ = count;
      if (2 * count * entry_size_ <= kSlabBytes) next_slab_count_ = 2 * count;
    }
    entry = reinterpret_cast<Entry*>(unused_);
    unused_ += entry_size_;
    --unused_count_;
  }
  entry->home = nullptr;
  entry->data = reinterpret_cast<std::byte*>(entry + 1);
  return entry;
}

void EntryStore::release_slabs() noexcept {
  while (slabs_ != nullptr)
    platform::heap_free(std::exchange(slabs_, static_cast<SlabHeader*>(slabs_)->next));
  unused_ = nullptr;
  unused_count_ = 0;
  free_ = nullptr;
  next_slab_count_ = kFirstSlabEntries;
}

std::byte* EntryStore::encode(std::byte* record) noexcept {
  if (mode_ == StorageMode::CompressedTails) {
    normalise_string_tails({record, record_size_}, tails_);
  }
  if (mode_ == StorageMode::Plain) return record;
  if (scratch_ == nullptr) {
    scratch_ = static_cast<std::byte*>(platform::heap_allocate(record_size_ + kLengthWord));
    if (scratch_ == nullptr) return nullptr;
  }
  const std::size_t length = run_length_encode({record, record_size_}, scratch_ + kLengthWord);
  if (length != 0 && length + kCodeSlack <= record_size_) {
    auto* stored = static_cast<std::byte*>(platform::heap_allocate(length + kLengthWord));
    if (stored == nullptr) return nullptr;
    const auto code_length = static_cast<std::uint32_t>(length);
    std::memcpy(stored, &code_length, kLengthWord);
    std::memcpy(stored + kLengthWord, scratch_ + kLengthWord, length);
    return stored;
  }
  // Kept as it is: the scratch buffer itself becomes the stored form.
  const std::uint32_t none = 0;
  std::memcpy(scratch_, &none, kLengthWord);
  std::memcpy(scratch_ + kLengthWord, record, record_size_);
  return std::exchange(scratch_, nullptr);
}

void EntryStore::discard(std::byte* stored) noexcept {
  if (mode_ == StorageMode::Plain) return;
  if (scratch_ == nullptr && read_length(stored) == 0) {
    scratch_ = stored;  // give the scratch buffer back
  } else {
    platform::heap_free(stored);
  }
}

Entry* EntryStore::make(std::byte* record) noexcept {
  Entry* entry = allocate_entry();
  if (entry == nullptr) return nullptr;
  if (mode_ == StorageMode::Plain) {
    if (record_size_ != 0) std::memcpy(entry->data, record, record_size_);
    return entry;
  }
  std::byte* stored = encode(record);
  if (stored == nullptr) {
    destroy_slot(entry);
    return nullptr;
  }
  entry->data = stored;
  return entry;
}

void EntryStore::replace(Entry& entry, std::byte* stored) noexcept {
  if (mode_ == StorageMode::Plain) {
    if (stored != entry.data) std::memmove(entry.data, stored, record_size_);
    return;
  }
  platform::heap_free(std::exchange(entry.data, stored));
}

void EntryStore::load(const Entry& entry, std::byte* record) const noexcept {
  if (mode_ == StorageMode::Plain) {
    if (record_size_ != 0) std::memcpy(record, entry.data, record_size_);
    return;
  }
  const std::uint32_t length = read_length(entry.data);
  if (length == 0) {
    std::memcpy(record, entry.data + kLengthWord, record_size_);
  } else if (!run_length_decode({entry.data + kLengthWord, length}, {record, record_size_})) {
    std::memset(record, 0, record_size_);  // our own code never fails to expand
  }
}

void EntryStore::destroy(Entry* entry) noexcept {
  if (entry == nullptr) return;
  if (mode_ != StorageMode::Plain) platform::heap_free(entry->data);
  destroy_slot(entry);
}

void EntryStore::destroy_slot(Entry* entry) noexcept {
  entry->data = reinterpret_cast<std::byte*>(free_);
  free_ = entry;
}

std::size_t EntryStore::stored_length(const Entry& entry) const noexcept {
  if (mode_ == StorageMode::Plain) return record_size_;
  const std::uint32_t length = read_length(entry.data);
  return kLengthWord + (length == 0 ? record_size_ : length);
}

}  // namespace kes::data

// HashTable: open addressing with linear probing over element pointers.
#include <cstring>

#include <kestrel/hash_table.h>

#include "platform/core/heap.h"
#include "runtime/stack/hash_slot.h"

namespace platform = kes::platform;
using kes::runtime::home_slot;

namespace {
constexpr std::int32_t kMaxReferences = 0x7FFFFFFF;
constexpr std::uint32_t kDoublingLimit = 1023;
constexpr std::uint32_t kLinearGrowth = 1024;

unsigned char fold(unsigned char byte) noexcept {
  return byte >= 'a' && byte <= 'z' ? static_cast<unsigned char>(byte - 'a' + 'A') : byte;
}
}  // namespace

HashElement::~HashElement() = default;

HashTable::HashTable(std::int32_t key_mode) noexcept : key_mode_(key_mode) {
  slots_ =
      static_cast<HashElement**>(platform::heap_allocate(sizeof(HashElement*) * kInitialSlots));
  if (slots_ != nullptr) {
    std::memset(slots_, 0, sizeof(HashElement*) * kInitialSlots);
    slot_count_ = kInitialSlots;
  }
}

HashTable::~HashTable() {
  for (std::uint32_t index = 0; index < slot_count_; ++index) {
    HashElement* element = slots_[index];
    if (element == nullptr) continue;
    destroy(element);
  }
  platform::heap_free(slots_);
}

HashElement* HashTable::make_element() noexcept { return construct<HashElement>(); }

void* HashTable::allocate_element(std::size_t size) noexcept {
  return platform::heap_allocate(size);
}

void HashTable::destroy(HashElement* element) noexcept {
  platform::heap_free(element->key);
  void* block = dynamic_cast<void*>(element);  // the start of the most derived object
  element->~HashElement();
  platform::heap_free(block);
}

// Bytes the key occupies, terminator and length byte included.
std::uint32_t HashTable::key_length(const unsigned char* key) const noexcept {
  if (key_mode_ == 0)
    return static_cast<std::uint32_t>(std::strlen(reinterpret_cast<const char*>(key))) + 1;
  if (key_mode_ > 0) return static_cast<std::uint32_t>(key_mode_);
  if (key_mode_ == kLengthPrefixed) return std::uint32_t{key[0]} + 1;
  const auto prefix = static_cast<std::uint32_t>(-key_mode_);
  return prefix +
         static_cast<std::uint32_t>(std::strlen(reinterpret_cast<const char*>(key + prefix))) + 1;
}

std::uint32_t HashTable::hash_of(const unsigned char* key) const noexcept {
  std::uint32_t length = key_length(key);
  const unsigned char* bytes = key;
  if (key_mode_ == kLengthPrefixed) {
    ++bytes;
    --length;
  } else if (key_mode_ <= 0) {
    --length;  // the terminator does not count
  }
  const unsigned char mask = ignore_case_ ? 0xDF : 0xFF;
  std::uint32_t hash = 0;
  for (std::uint32_t index = 0; index < length; ++index)
    hash = hash * 5 + (bytes[index] & mask);
  return hash;
}

bool HashTable::same_key(const unsigned char* left, const unsigned char* right) const noexcept {
  const std::uint32_t length = key_length(left);
  if (length != key_length(right)) return false;
  if (!ignore_case_) return std::memcmp(left, right, length) == 0;
  for (std::uint32_t index = 0; index < length; ++index) {
    if (fold(left[index]) != fold(right[index])) return false;
  }
  return true;
}

// The slot holding the key, or the empty slot where it would go; slot_count_ when neither
// exists (a full table).
std::uint32_t HashTable::probe(const unsigned char* key, std::uint32_t hash) const noexcept {
  if (slot_count_ == 0) return 0;
  std::uint32_t index = home_slot(hash, slot_count_);
  for (std::uint32_t step = 0; step < slot_count_; ++step) {
    const HashElement* element = slots_[index];
    if (element == nullptr || (element->hash == hash && same_key(element->key, key))) return index;
    index = index + 1 == slot_count_ ? 0 : index + 1;
  }
  return slot_count_;
}

bool HashTable::resize(std::uint32_t slot_count) noexcept {
  auto* slots =
      static_cast<HashElement**>(platform::heap_allocate(sizeof(HashElement*) * slot_count));
  if (slots == nullptr) return false;
  std::memset(slots, 0, sizeof(HashElement*) * slot_count);
  for (std::uint32_t index = 0; index < slot_count_; ++index) {
    HashElement* element = slots_[index];
    if (element == nullptr) continue;
    std::uint32_t target = home_slot(element->hash, slot_count);
    while (slots[target] != nullptr)
      target = target + 1 == slot_count ? 0 : target + 1;
    slots[target] = element;
  }
  platform::heap_free(slots_);
  slots_ = slots;
  slot_count_ = slot_count;
  return true;
}

HashElement* HashTable::add(const void* key) noexcept {
  if (key == nullptr) return nullptr;
  const auto* bytes = static_cast<const unsigned char*>(key);
  const std::uint32_t hash = hash_of(bytes);
  std::uint32_t index = probe(bytes, hash);
  if (index < slot_count_ && slots_[index] != nullptr) {
    HashElement* found = slots_[index];
    if (found->references < kMaxReferences) ++found->references;
    return found;
  }
  if (element_count_ >= (3 * std::uint64_t{slot_count_}) >> 2) {
    const std::uint64_t grown = slot_count_ < kDoublingLimit
                                    ? 2 * std::uint64_t{slot_count_} + 1
                                    : std::uint64_t{slot_count_} + kLinearGrowth;
    // A table that cannot grow still takes the element while it has an empty slot.
    if (grown <= UINT32_MAX / sizeof(HashElement*) && resize(static_cast<std::uint32_t>(grown))) {
      index = probe(bytes, hash);
    }
  }
  if (index >= slot_count_) return nullptr;
  const std::uint32_t length = key_length(bytes);
  auto* copy = static_cast<unsigned char*>(platform::heap_allocate(length));
  if (copy == nullptr) return nullptr;
  HashElement* element = make_element();
  if (element == nullptr) {
    platform::heap_free(copy);
    return nullptr;
  }
  std::memcpy(copy, bytes, length);
  element->key = copy;
  element->references = 1;
  element->hash = hash;
  slots_[index] = element;
  ++element_count_;
  return element;
}

HashElement* HashTable::find(const void* key) const noexcept {
  if (key == nullptr) return nullptr;
  const auto* bytes = static_cast<const unsigned char*>(key);
  const std::uint32_t index = probe(bytes, hash_of(bytes));
  return index < slot_count_ ? slots_[index] : nullptr;
}

bool HashTable::remove(const void* key) noexcept {
  if (key == nullptr) return false;
  const auto* bytes = static_cast<const unsigned char*>(key);
  std::uint32_t hole = probe(bytes, hash_of(bytes));
  if (hole >= slot_count_ || slots_[hole] == nullptr) return false;
  HashElement* element = slots_[hole];
  slots_[hole] = nullptr;
  --element_count_;
  destroy(element);
  // Moves later members of the cluster back so that every element stays reachable from its home
  // slot without crossing an empty slot.
  std::uint32_t index = hole;
  for (;;) {
    index = index + 1 == slot_count_ ? 0 : index + 1;
    HashElement* moved = slots_[index];
    if (moved == nullptr) break;
    const std::uint32_t home = home_slot(moved->hash, slot_count_);
    const bool stays =
        hole <= index ? (hole < home && home <= index) : (hole < home || home <= index);
    if (stays) continue;
    slots_[hole] = moved;
    slots_[index] = nullptr;
    hole = index;
  }
  return true;
}

bool HashTable::set_ignore_case(bool ignore_case) noexcept {
  if (ignore_case == ignore_case_) return true;
  const bool before = ignore_case_;
  ignore_case_ = ignore_case;
  for (std::uint32_t index = 0; index < slot_count_; ++index) {
    if (slots_[index] != nullptr) slots_[index]->hash = hash_of(slots_[index]->key);
  }
  if (resize(slot_count_)) return true;
  ignore_case_ = before;
  for (std::uint32_t index = 0; index < slot_count_; ++index) {
    if (slots_[index] != nullptr) slots_[index]->hash = hash_of(slots_[index]->key);
  }
  return false;
}

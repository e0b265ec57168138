// HashTable and HashElement: the open-addressing name tables of the library (atoms, caches).
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>

#include <kestrel/abi.h>

// The classes' member names are spelled as compiled code calls them and cannot change.

// One element: its own copy of the key, a reference count and the key's hash. Owners derive
// their element class from it and create it through HashTable::make_element.
class KES_EXPORT HashElement {
 public:
  HashElement() noexcept = default;
  virtual ~HashElement();
  HashElement(const HashElement&) = delete;
  HashElement& operator=(const HashElement&) = delete;

  unsigned char* key = nullptr;  // the table's copy of the key, freed by the table
  std::int32_t references = 1;   // [1, 7FFFFFFFh]; adding the key again counts up
  std::uint32_t hash = 0;
};

// Open addressing with linear probing. Key modes:
//   0            a zero-terminated string;
//   n > 0        a fixed n-byte binary key;
//   kLengthPrefixed  a string whose first byte is its length;
//   -n (n > 0)   an n-byte binary prefix followed by a zero-terminated string.
// Hash: h = h * 5 + byte over the key's bytes (the text bytes after the length byte for
// length-prefixed keys), each byte ANDed with DFh when the table ignores case; each element
// keeps it. The home slot is h mixed (so that neighbouring hashes land far apart) modulo the
// slot count, probing forward. The table starts with 15 slots and, before an add finds its
// element count at three quarters of the slots, grows to 2 * slots + 1 below 1,023 slots and by
// 1,024 slots from there. Elements and key copies are released with the table.
//
// State: each table is its owner's; the class holds nothing process-wide.
class KES_EXPORT HashTable {
 public:
  static constexpr std::int32_t kLengthPrefixed = INT32_MIN;
  static constexpr std::uint32_t kInitialSlots = 15;

  explicit HashTable(std::int32_t key_mode = 0) noexcept;
  virtual ~HashTable();
  HashTable(const HashTable&) = delete;
  HashTable& operator=(const HashTable&) = delete;

  // Finds the key's element and counts one more reference (saturating at 7FFFFFFFh), or adds a
  // new element with its own copy of the key. Null when memory runs out or the key is null.
  HashElement* add(const void* key) noexcept;
  // The key's element, or null.
  HashElement* find(const void* key) const noexcept;
  // Removes and destroys the key's element whatever its reference count; false when absent.
  bool remove(const void* key) noexcept;
  // Switches case-insensitive comparison (letters A-Z and a-z) on or off, rehashing the elements.
  // False, with nothing changed, when the rehash cannot allocate its slots.
  bool set_ignore_case(bool ignore_case) noexcept;

  std::uint32_t slot_count() const noexcept { return slot_count_; }
  std::uint32_t element_count() const noexcept { return element_count_; }
  std::int32_t key_mode() const noexcept { return key_mode_; }
  bool ignores_case() const noexcept { return ignore_case_; }
  // The element in slot `index` (null for an empty slot), for walking the table.
  HashElement* slot(std::uint32_t index) const noexcept {
    return index < slot_count_ ? slots_[index] : nullptr;
  }

 protected:
  // Creates an element of the owner's class; null when memory runs out. Elements live in
  // runtime heap blocks: an override returns construct<ItsElementClass>(). The table destroys
  // them through their virtual destructor and frees the block.
  virtual HashElement* make_element() noexcept;

  // A default-constructed Element in a runtime heap block; null when memory runs out.
  template <typename Element>
  static Element* construct() noexcept {
    static_assert(std::is_base_of_v<HashElement, Element>);
    static_assert(std::is_nothrow_default_constructible_v<Element>);
    void* block = allocate_element(sizeof(Element));
    return block == nullptr ? nullptr : new (block) Element;
  }

 private:
  static void* allocate_element(std::size_t size) noexcept;
  static void destroy(HashElement* element) noexcept;
  std::uint32_t key_length(const unsigned char* key) const noexcept;
  std::uint32_t hash_of(const unsigned char* key) const noexcept;
  bool same_key(const unsigned char* left, const unsigned char* right) const noexcept;
  std::uint32_t probe(const unsigned char* key, std::uint32_t hash) const noexcept;
  bool resize(std::uint32_t slot_count) noexcept;

  HashElement** slots_ = nullptr;
  std::uint32_t slot_count_ = 0;
  std::uint32_t element_count_ = 0;
  std::int32_t key_mode_ = 0;
  bool ignore_case_ = false;
};

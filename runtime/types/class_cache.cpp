// The cache of class descriptors by type descriptor address.
#include "runtime/types/class_cache.h"

#include <cstdint>

#include <kestrel/hash_table.h>

namespace kes::runtime {
namespace {

class CacheElement : public HashElement {
 public:
  ~CacheElement() override { delete descriptor; }
  class_descriptor* descriptor = nullptr;
};

// Keys are the descriptor's address, as many bytes as a pointer has.
class ClassCache : public HashTable {
 public:
  ClassCache() noexcept : HashTable(static_cast<std::int32_t>(sizeof(void*))) {}

 protected:
  HashElement* make_element() noexcept override { return construct<CacheElement>(); }
};

// Process-wide by design (see the header); made on first use so that it exists before any
// module's initialiser can ask for it.
ClassCache& cache() noexcept {
  static ClassCache table;
  return table;
}

// The descriptor found last: programs clear and assign the same structure many times in a row.
// Process-wide by design, with the cache.
const unsigned char* last_key = nullptr;
class_descriptor* last_found = nullptr;

}  // namespace

class_descriptor* cached_class_descriptor(const unsigned char* type_descriptor,
                                          uint32_t length) noexcept {
  if (type_descriptor == nullptr) return nullptr;
  if (type_descriptor == last_key) return last_found;
  auto* element = static_cast<CacheElement*>(cache().find(&type_descriptor));
  if (element != nullptr && element->descriptor != nullptr) {
    last_key = type_descriptor;
    last_found = element->descriptor;
    return element->descriptor;
  }
  auto* made = new class_descriptor(type_descriptor, length, false);
  if (made == nullptr) return nullptr;
  if (made->short_of_memory()) {
    delete made;  // not damage: the next call reads the descriptor again
    return nullptr;
  }
  element = static_cast<CacheElement*>(cache().add(&type_descriptor));
  if (element == nullptr) {
    delete made;
    return nullptr;
  }
  element->descriptor = made;
  return made;
}

void forget_class_descriptor(const unsigned char* type_descriptor) noexcept {
  if (type_descriptor == last_key) {
    last_key = nullptr;
    last_found = nullptr;
  }
  if (type_descriptor != nullptr) cache().remove(&type_descriptor);
}

}  // namespace kes::runtime

// The exported text stores and byte helpers.
#include <cstring>

#include <kestrel/string_stack.h>

#include "platform/core/heap.h"
#include "runtime/stack/string_store.h"

namespace rt = kes::runtime;

extern "C" void Kes$storestr(char* destination, uint32_t size, const char* source,
                             uint32_t length) noexcept {
  rt::store_string(destination, size, source, length);
}
extern "C" void Kes$storecstr(char* destination, uint32_t size, const char* source,
                              uint32_t length) noexcept {
  rt::store_cstring(destination, size, source, length);
}
extern "C" void Kes$storepstr(char* destination, uint32_t size, const char* source,
                              uint32_t length) noexcept {
  rt::store_pstring(destination, size, source, length);
}
extern "C" void Kes$clearstr(char* destination, uint32_t length) noexcept {
  rt::clear_string(destination, length);
}
extern "C" void Kes$duplicate(void* destination, uint32_t unit_size, uint32_t count) noexcept {
  rt::duplicate_unit(destination, unit_size, count);
}
extern "C" uint32_t Kes$FastClip(uint32_t length, const char* text) noexcept {
  return rt::clipped_length(text, length);
}
extern "C" void Kes$loadstr(KesTextPair* pair, const char* source, uint32_t length) noexcept {
  if (pair == nullptr) return;
  const rt::HeapText copy = rt::load_text(source, length);
  *pair = {copy.pointer, copy.length};
}

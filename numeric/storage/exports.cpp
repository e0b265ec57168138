// The exported number storage conversions: thin wrappers over the BFLOAT, decimal, picture and
// heap text functions.
#include <cstdint>
#include <span>
#include <string_view>

#include <kestrel/storage.h>
#include <kestrel/string_stack.h>

#include "numeric/storage/bfloat.h"
#include "numeric/storage/storage.h"
#include "numeric/storage/storage_decimal.h"
#include "numeric/storage/storage_picture.h"
#include "runtime/stack/string_store.h"

namespace nm = kes::numeric;
namespace rt = kes::runtime;

extern "C" void Kes$bstorefloat(void* destination, double value) noexcept {
  if (destination == nullptr) return;
  nm::store_bfloat8(std::span<std::uint8_t, nm::kBfloat8Size>(
                        static_cast<std::uint8_t*>(destination), nm::kBfloat8Size),
                    value);
}
extern "C" double Kes$bloadfloat(const void* source) noexcept {
  if (source == nullptr) return 0.0;
  return nm::load_bfloat8(std::span<const std::uint8_t, nm::kBfloat8Size>(
      static_cast<const std::uint8_t*>(source), nm::kBfloat8Size));
}
extern "C" void Kes$bstorefloat4(void* destination, double value) noexcept {
  if (destination == nullptr) return;
  nm::store_bfloat4(std::span<std::uint8_t, nm::kBfloat4Size>(
                        static_cast<std::uint8_t*>(destination), nm::kBfloat4Size),
                    value);
}
extern "C" double Kes$bloadfloat4(const void* source) noexcept {
  if (source == nullptr) return 0.0;
  return nm::load_bfloat4(std::span<const std::uint8_t, nm::kBfloat4Size>(
      static_cast<const std::uint8_t*>(source), nm::kBfloat4Size));
}

extern "C" void Kes$realtostr(KesTextPair* pair, double value) noexcept {
  if (pair == nullptr) return;
  const rt::HeapText text = nm::real_to_heap_text(value);
  *pair = {text.pointer, text.length};
}
extern "C" void Kes$longtostr(KesTextPair* pair, int32_t value) noexcept {
  if (pair == nullptr) return;
  const rt::HeapText text = nm::long_to_heap_text(value);
  *pair = {text.pointer, text.length};
}
extern "C" void Kes$freestr(KesTextPair* pair) noexcept {
  if (pair == nullptr) return;
  rt::HeapText text{pair->pointer, pair->length};
  nm::free_heap_text(text);
  *pair = {nullptr, 0};
}

// ---- The exported REAL conversions to and from DECIMAL and PDECIMAL variables.

extern "C" void Kes$storedec(void* destination, uint8_t size, uint8_t places,
                             double value) noexcept {
  nm::store_real_as_decimal(static_cast<std::uint8_t*>(destination), size, places, value, false);
}
extern "C" void Kes$pstoredec(void* destination, uint8_t size, uint8_t places,
                              double value) noexcept {
  nm::store_real_as_decimal(static_cast<std::uint8_t*>(destination), size, places, value, true);
}
extern "C" double Kes$loaddec(const void* source, uint8_t size, uint8_t places) noexcept {
  return nm::load_real_from_decimal(static_cast<const std::uint8_t*>(source), size, places, false);
}
extern "C" double Kes$ploaddec(const void* source, uint8_t size, uint8_t places) noexcept {
  return nm::load_real_from_decimal(static_cast<const std::uint8_t*>(source), size, places, true);
}

// ---- The exported picture stores and loads of REALs and LONGs.

extern "C" void Kes$pictstorereal(char* destination, uint32_t length, const char* picture,
                                  double value) noexcept {
  nm::store_real_by_picture(std::span(destination, destination == nullptr ? 0 : length), picture,
                            value);
}
extern "C" void Kes$pictstorelong(char* destination, uint32_t length, const char* picture,
                                  int32_t value) noexcept {
  nm::store_long_by_picture(std::span(destination, destination == nullptr ? 0 : length), picture,
                            value);
}
extern "C" double Kes$pictloadreal(const char* text, uint32_t length,
                                   const char* picture) noexcept {
  return nm::load_real_by_picture(
      text == nullptr ? std::string_view() : std::string_view(text, length), picture);
}
extern "C" int32_t Kes$pictloadlong(const char* text, uint32_t length,
                                    const char* picture) noexcept {
  return nm::load_long_by_picture(
      text == nullptr ? std::string_view() : std::string_view(text, length), picture);
}

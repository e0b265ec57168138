// The exported picture stores and loads of REALs and LONGs.
#include <cstdint>
#include <span>
#include <string_view>

#include <kestrel/storage.h>

#include "numeric/storage/storage_picture.h"

namespace nm = kes::numeric;

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

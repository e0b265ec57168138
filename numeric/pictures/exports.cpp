// The picture exports: thin wrappers over the picture engine.
#include <cstring>

#include <kestrel/pic_desc.h>
#include <kestrel/pictures.h>

#include "numeric/pictures/picture_engine.h"

namespace nm = kes::numeric;

extern "C" int32_t Kes$storepict(void* descriptor, const char* picture) noexcept {
  if (descriptor == nullptr) return 0;
  return nm::store_picture(*static_cast<PicDesc*>(descriptor), picture);
}

extern "C" int32_t Kes$getpicturewidth(const char* picture) noexcept {
  return nm::width_of_picture(picture);
}

extern "C" int32_t Kes$pictureisvalid(const char* picture) noexcept {
  return nm::width_of_picture(picture) != 0 ? 1 : 0;
}

extern "C" void Kes$checkpict(const char* picture, void* out) noexcept {
  PicDesc desc;
  desc.Init(picture);
  if (out != nullptr) std::memcpy(out, &desc, 4);  // the header and the two bytes after it
}

extern "C" void Kes$PushPictLong(int32_t value, const char* picture) noexcept {
  nm::push_formatted_long(value, picture);
}

extern "C" void Kes$PushPictReal(const char* picture, double value) noexcept {
  nm::push_formatted_real(value, picture);
}

extern "C" void Kes$PushPictDec(const char* picture) noexcept {
  nm::push_formatted_decimal(picture);
}

extern "C" int32_t Kes$PopPictLong(const char* picture) noexcept {
  return nm::pop_deformatted_long(picture);
}

extern "C" double Kes$PopPictReal(const char* picture) noexcept {
  return nm::pop_deformatted_real(picture);
}

extern "C" void Kes$DPushStringP(const char* text, uint32_t length, const char* picture) noexcept {
  nm::push_deformatted_to_decimal(
      text != nullptr ? std::string_view(text, length) : std::string_view(), picture);
}

extern "C" void Kes$DPushStringStackP(const char* picture) noexcept {
  nm::move_deformatted_top_to_decimal(picture);
}

extern "C" void Kes$DPopPict(char* destination, uint32_t length, const char* picture) noexcept {
  if (destination == nullptr) length = 0;
  nm::pop_decimal_formatted(std::span<char>(destination, length), picture);
}

// REAL and LONG through pictures: thin use of the picture engine's formatter and deformatter.
#include "numeric/storage/storage_picture.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <string_view>

#include <kestrel/pic_desc.h>

#include "numeric/pictures/picture_engine.h"

namespace kes::numeric {
namespace {

// The picture for a load: the caller's, or the string picture as wide as the text.
void compile_load_picture(PicDesc& desc, std::size_t text_length, const char* picture) noexcept {
  if (picture != nullptr) {
    compile_picture(desc, picture);
    return;
  }
  const std::size_t width = std::min<std::size_t>(text_length, kMissingPictureWidth);
  compile_string_picture(desc, static_cast<std::uint32_t>(width));
}

std::string_view deformat(std::string_view text, const char* picture) noexcept {
  PicDesc desc;
  compile_load_picture(desc, text.size(), picture);
  if (picture == nullptr) {
    text = text.substr(0, std::min<std::size_t>(text.size(), kMissingPictureWidth));
  }
  return deformat_text(desc, text);
}

}  // namespace

void store_real_by_picture(std::span<char> destination, const char* picture,
                           double value) noexcept {
  if (destination.empty()) {
    return;  // nothing to fill (a null destination arrives empty)
  }
  PicDesc desc;
  compile_picture(desc, picture);
  format_real(desc, destination, value);
}

void store_long_by_picture(std::span<char> destination, const char* picture,
                           std::int32_t value) noexcept {
  if (destination.empty()) {
    return;  // nothing to fill (a null destination arrives empty)
  }
  PicDesc desc;
  compile_picture(desc, picture);
  format_long(desc, destination, value);
}

double load_real_by_picture(std::string_view text, const char* picture) noexcept {
  return text_to_real(deformat(text, picture));
}

std::int32_t load_long_by_picture(std::string_view text, const char* picture) noexcept {
  return text_to_long(deformat(text, picture));
}

}  // namespace kes::numeric

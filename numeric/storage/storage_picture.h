// REAL and LONG stored as, and loaded from, picture-formatted text.
//
// State: none of its own; the loads read the picture engine's process-wide result buffer.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace kes::numeric {

// Formats a REAL or LONG through a picture (zero-terminated text; null formats as a string
// picture of width 255) into the fixed-length destination, as PicDesc::StoreReal and StoreLong
// do. An invalid picture leaves the destination filled with spaces.
void store_real_by_picture(std::span<char> destination, const char* picture, double value) noexcept;
void store_long_by_picture(std::span<char> destination, const char* picture,
                           std::int32_t value) noexcept;

// Deformats `text` through a picture and reads the result with the standard text-to-double or
// text-to-long conversion (the latter saturating at the LONG limits); no number reads as 0.
// Without a picture the string picture "@S" followed by the text's length is used, so the text
// passes unchanged; the string picture's width stops at 255, so only the first 255 bytes of a
// longer text are read.
double load_real_by_picture(std::string_view text, const char* picture) noexcept;
std::int32_t load_long_by_picture(std::string_view text, const char* picture) noexcept;

}  // namespace kes::numeric

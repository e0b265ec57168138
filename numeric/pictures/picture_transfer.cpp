// Moving values through pictures between variables, the string stack and the decimal stack.
//
// State: the last picture compiled by these transfers, process-wide by nature: a compiled
// picture depends only on its text (pictures that follow the regional settings are never kept),
// so every thread may reuse it.
#include <cstring>
#include <string_view>

#include <kestrel/pic_desc.h>

#include "numeric/pictures/picture_engine.h"
#include "platform/core/heap.h"
#include "runtime/stack/string_stack.h"

namespace kes::numeric {
namespace {

// Picture texts up to this length (the longest valid one is 255 with its "@") are kept.
constexpr std::size_t kMaxCachedLength = 256;
// Texts up to this length are pushed inline, without a heap block.
constexpr int kInlineWidth = 20;
// Stack2DStack reads at most this many bytes.
constexpr std::size_t kDecimalTextLimit = 99;

// Pushes the formatted value; `store` writes into a span of exactly the picture's width.
// Returns false when nothing was stored (invalid picture, or no memory).
template <typename Store>
bool push_formatted(const PicDesc& desc, Store store) noexcept {
  const int width = picture_width(desc);
  if (width == 0) {
    runtime::push_text({});
    return false;
  }
  if (width <= kInlineWidth) {
    char text[kInlineWidth];
    store(std::span<char>(text, static_cast<std::size_t>(width)));
    runtime::push_text(std::string_view(text, static_cast<std::size_t>(width)));
    return true;
  }
  auto* block = static_cast<char*>(platform::heap_allocate(static_cast<std::size_t>(width)));
  if (block == nullptr) {
    runtime::push_text({});  // the empty string stays, as when fitting fails
    return false;
  }
  store(std::span<char>(block, static_cast<std::size_t>(width)));
  runtime::push_owned(block, static_cast<std::uint32_t>(width));
  return true;
}

// The last picture text compiled here and its descriptor. Compiled code formats through the
// same constant picture again and again; keeping it spares the compile without changing any
// result.
struct LastPicture {
  PicDesc desc;
  char text[kMaxCachedLength];
  std::size_t length;
  bool valid;
};
LastPicture g_last{};

// Returns the compiled form of `picture`: the kept descriptor when the text is the same,
// otherwise a fresh compile (kept for next time unless it follows the regional settings).
const PicDesc& compiled(const char* picture) noexcept {
  std::size_t length = 0;
  if (picture != nullptr) {
    while (length < kMaxCachedLength && picture[length] != '\0')
      ++length;
  }
  if (g_last.valid && picture != nullptr && length == g_last.length &&
      std::memcmp(picture, g_last.text, length) == 0) {
    g_last.desc.source = picture;
    return g_last.desc;
  }
  g_last.valid = false;
  compile_picture(g_last.desc, picture, false);
  const PictureKind kind = picture_kind(g_last.desc);
  const bool regional = (kind == PictureKind::Date && g_last.desc.picture_number >= 17) ||
                        (kind == PictureKind::Time && g_last.desc.picture_number >= 7);
  if (picture != nullptr && length < kMaxCachedLength && !regional) {
    std::memcpy(g_last.text, picture, length);
    g_last.length = length;
    g_last.valid = true;
  }
  return g_last.desc;
}

}  // namespace

std::int32_t store_picture(PicDesc& desc, const char* picture) noexcept {
  compile_picture(desc, picture);
  const int width = picture_width(desc);
  if (width == 0) return 0;
  if (picture_kind(desc) == PictureKind::String) return 2;
  return 2 * width + 2;
}

std::int32_t width_of_picture(const char* picture) noexcept {
  return picture_width(compiled(picture));
}

void push_formatted_long(std::int32_t value, const char* picture) noexcept {
  const PicDesc& desc = compiled(picture);
  push_formatted(desc, [&](std::span<char> out) { format_long(desc, out, value); });
}

void push_formatted_real(double value, const char* picture) noexcept {
  const PicDesc& desc = compiled(picture);
  push_formatted(desc, [&](std::span<char> out) { format_real(desc, out, value); });
}

void push_formatted_decimal(const char* picture) noexcept {
  const PicDesc& desc = compiled(picture);
  const DecimalEntry value = decimal_pop();  // consumed whatever the picture
  push_formatted(desc, [&](std::span<char> out) { format_decimal(desc, out, value); });
}

std::int32_t pop_deformatted_long(const char* picture) noexcept {
  const PicDesc& desc = compiled(picture);
  const std::int32_t value = text_to_long(deformat_text(desc, runtime::top_text()));
  runtime::pop_discard();
  return value;
}

double pop_deformatted_real(const char* picture) noexcept {
  const PicDesc& desc = compiled(picture);
  const double value = text_to_real(deformat_text(desc, runtime::top_text()));
  runtime::pop_discard();
  return value;
}

void push_deformatted_to_decimal(std::string_view text, const char* picture) noexcept {
  PicDesc scratch;
  const PicDesc* desc = &scratch;
  if (picture != nullptr) {
    desc = &compiled(picture);
  } else {
    // Without a picture the text passes unchanged as a number ("@S" and its length; a longer
    // text than a string picture holds is read up to 255 bytes rather than not at all).
    const std::size_t width = std::min<std::size_t>(text.size(), kMissingPictureWidth);
    compile_string_picture(scratch, static_cast<std::uint32_t>(width));
  }
  decimal_push_text(deformat_text(*desc, text));
}

void move_deformatted_top_to_decimal(const char* picture) noexcept {
  const PicDesc& desc = compiled(picture);
  const std::string_view result = deformat_text(desc, runtime::top_text());
  runtime::pop_discard();
  decimal_push_text(result.substr(0, kDecimalTextLimit));
}

void pop_decimal_formatted(std::span<char> destination, const char* picture) noexcept {
  const PicDesc& desc = compiled(picture);
  format_decimal(desc, destination, decimal_pop());
}

}  // namespace kes::numeric

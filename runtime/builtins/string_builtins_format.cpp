// FORMAT and DEFORMAT through the picture engine, and PRESS.
#include <kestrel/pic_desc.h>

#include "numeric/pictures/picture_engine.h"
#include "platform/core/heap.h"
#include "runtime/builtins/string_builtins.h"
#include "runtime/builtins/string_builtins_entry.h"
#include "runtime/stack/string_stack.h"
#include "runtime/stack/string_store.h"
#include "wsl/keystroke/keystroke_queue.h"

namespace kes::runtime {
namespace {

// Picture classes (header bits 3-5): strings and key-in, dates and times, scientific, numbers
// and patterns.
constexpr int kStringClass = 0;
constexpr int kNumberClass = 3;

// Longest picture text taken from the stack, and longest text DEFORMAT reads.
constexpr std::uint32_t kStackedPictureCapacity = 254;
constexpr std::uint32_t kDeformatCapacity = 255;

int picture_class(const PicDesc& desc) noexcept {
  return (desc.header & PicDesc::kClassMask) >> PicDesc::kClassShift;
}

// Pops the picture lying below the top into `picture`, clipped, leaving the operand on top.
void take_stacked_picture(char (&picture)[kStackedPictureCapacity]) noexcept {
  rotate(1);
  clip_top();
  pop_to_cstring(picture, kStackedPictureCapacity);
}

}  // namespace

void format_top(const char* picture) noexcept {
  PicDesc desc;
  desc.Init(picture);
  const int width = numeric::picture_width(desc);
  char* block = width == 0
                    ? nullptr
                    : static_cast<char*>(platform::heap_allocate(static_cast<std::size_t>(width)));
  if (block == nullptr) {
    pop_discard();
    return push_reference({});
  }
  const auto length = static_cast<std::uint32_t>(width);
  switch (picture_class(desc)) {
    case kStringClass: {
      const std::string_view text = entry_text(text_top());
      // A null source would be read as a fill code: the empty text is blanks.
      store_string(block, length, text.empty() ? block : text.data(),
                   static_cast<std::uint32_t>(text.size()));
      pop_discard();
      break;
    }
    case kNumberClass:
      pop_to_decimal_stack();
      desc.StoreDec(block, length);
      break;
    default: desc.StoreReal(block, length, pop_real()); break;
  }
  push_owned(block, length);
}

void deformat_top(const char* picture) noexcept {
  char text[kDeformatCapacity];
  pop_to_cstring(text, kDeformatCapacity);
  PicDesc desc;
  desc.Init(picture);
  desc.PushDeformatted(text);
}

void format_top_with_stacked_picture() noexcept {
  char picture[kStackedPictureCapacity];
  take_stacked_picture(picture);
  format_top(picture);
}

void deformat_top_with_stacked_picture() noexcept {
  char picture[kStackedPictureCapacity];
  take_stacked_picture(picture);
  deformat_top(picture);
}

void press_pop() noexcept {
  wsl::press_keys(entry_text(text_top()));
  pop_discard();
}

}  // namespace kes::runtime

// ViewDesc: a view descriptor with its own buffer, the error state for errors and the string
// stack for its printed form.
#include <kestrel/views.h>

#include "files/errors/error_state.h"
#include "platform/core/heap.h"

ViewDesc::ViewDesc(const void* buffer) noexcept : view_descriptor(nullptr) {
  handler_ = this;
  if (buffer == nullptr) {
    buffer_ = static_cast<std::uint8_t*>(kes::platform::heap_allocate(kCapacity));
    owns_buffer_ = buffer_ != nullptr;
  } else {
    buffer_ = static_cast<std::uint8_t*>(const_cast<void*>(buffer));
  }
  setup(buffer_);
}

ViewDesc::ViewDesc(const void* buffer, std::uint32_t length) noexcept : ViewDesc(buffer) {
  if (buffer != nullptr) setup(buffer_, length);
}

ViewDesc::~ViewDesc() {
  if (owns_buffer_) kes::platform::heap_free(buffer_);
}

// Only an own buffer is written, and only up to its capacity; a compiled descriptor is read.
bool ViewDesc::reserve(std::uint32_t length) noexcept {
  if (!owns_buffer_) return false;
  const std::uint32_t used = built_length();
  if (length > kCapacity - used) return false;
  reserved_ = used + length;
  return true;
}

void ViewDesc::error(std::int32_t) noexcept {
  kes::files::post_error(kes::files::ErrorCode::InvalidFieldType);
}

void ViewDesc::put(char character) noexcept { printed_.cat(character); }

void ViewDesc::print() noexcept {
  printed_.kill();
  view_descriptor::print();
  printed_.PushString();
}

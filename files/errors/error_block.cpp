// The saved error state: a copy of the whole state, kept on a stack of saved blocks.
#include <algorithm>
#include <cstring>

#include <kestrel/errors.h>

#include "files/errors/error_state.h"

namespace kf = kes::files;

errcodeblock::errcodeblock() noexcept
    : last_error(Kes$DOSerror),
      error_number(Kes$ERRCODE),
      file(Kes$FileError),
      error_text{},
      file_error_message{},
      file_error_code{},
      previous(kf::saved_error_blocks()) {
  std::memcpy(error_text, Kes$ERRSTR, sizeof error_text);
  std::span<char, 255> message = kf::file_error_message_field();
  std::copy(message.begin(), message.end(), file_error_message);
  std::span<char, 81> code = kf::file_error_code_field();
  std::copy(code.begin(), code.end(), file_error_code);
  kf::saved_error_blocks() = this;
}

errcodeblock::~errcodeblock() {
  // Blocks normally go in reverse order of saving; one that goes early is unlinked where it is.
  errcodeblock** link = &kf::saved_error_blocks();
  while (*link != nullptr && *link != this)
    link = &(*link)->previous;
  if (*link == this) *link = previous;
}

void errcodeblock::restore() noexcept {
  Kes$DOSerror = last_error;
  Kes$ERRCODE = error_number;
  Kes$FileError = file;
  std::memcpy(Kes$ERRSTR, error_text, sizeof error_text);
  std::span<char, 255> message = kf::file_error_message_field();
  std::copy(std::begin(file_error_message), std::end(file_error_message), message.begin());
  std::span<char, 81> code = kf::file_error_code_field();
  std::copy(std::begin(file_error_code), std::end(file_error_code), code.begin());
}

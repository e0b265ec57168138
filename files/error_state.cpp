// The error state in its exported variables, and the operations on it.
#include "files/error_state.h"

#include <algorithm>
#include <cstring>

#include "files/error_messages.h"
#include "platform/os_error.h"

extern "C" {
KES_EXPORT int32_t Kes$ERRCODE = 0;
KES_EXPORT char Kes$ERRSTR[80] = {
    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
KES_EXPORT KesFileNameRecord* Kes$FileError = nullptr;
KES_EXPORT int32_t Kes$DOSerror = 0;
}

namespace kes::files {
namespace {

constexpr std::size_t kErrorTextLimit = 79;
constexpr std::size_t kFileCodeLimit = 80;
constexpr std::size_t kFileMessageLimit = 254;

// The FILEERRORCODE() and FILEERROR() texts, blank-padded.
char file_code_text[81];
char file_message_text[255];
bool file_texts_ready = false;

ErrorPostedHook posted_hook = nullptr;

void ensure_file_texts() noexcept {
  if (file_texts_ready) return;
  std::memset(file_code_text, ' ', sizeof file_code_text);
  std::memset(file_message_text, ' ', sizeof file_message_text);
  file_texts_ready = true;
}

std::string_view without_trailing_blanks(const char* text, std::size_t size) noexcept {
  while (size > 0 && text[size - 1] == ' ')
    --size;
  return {text, size};
}

// Copies `text` into a blank-padded field, at most `limit` characters.
void store_padded(std::string_view text, char* field, std::size_t size,
                  std::size_t limit) noexcept {
  std::memset(field, ' ', size);
  std::size_t length = std::min({text.size(), limit, size});
  std::copy_n(text.data(), length, field);  // an empty view may have no data
}

}  // namespace

bool error_state_blank = false;

void post_error_number(std::int32_t number) noexcept {
  std::int32_t last = static_cast<std::int32_t>(platform::last_os_error());
  Kes$DOSerror = last;
  if (number == 0) number = 300 + last;
  MessageBuffer buffer;
  std::string_view text = message_view(number, buffer);
  while (!text.empty() && text.front() == ' ')
    text.remove_prefix(1);

  error_state_blank = false;
  Kes$FileError = nullptr;
  Kes$ERRCODE = number;
  store_padded(text, Kes$ERRSTR, sizeof Kes$ERRSTR, kErrorTextLimit);

  Kes$DOSerror = static_cast<std::int32_t>(platform::last_os_error());
  if (posted_hook != nullptr) posted_hook(number);
}

void post_error(ErrorCode code) noexcept { post_error_number(static_cast<std::int32_t>(code)); }

void clear_error_fully() noexcept {
  ensure_file_texts();
  Kes$ERRCODE = 0;
  Kes$FileError = nullptr;
  std::memset(Kes$ERRSTR, ' ', sizeof Kes$ERRSTR);
  std::memset(file_code_text, ' ', sizeof file_code_text);
  std::memset(file_message_text, ' ', sizeof file_message_text);
  error_state_blank = true;
}

ErrorCode current_error() noexcept { return static_cast<ErrorCode>(Kes$ERRCODE); }

std::string_view error_text() noexcept {
  return without_trailing_blanks(Kes$ERRSTR, sizeof Kes$ERRSTR);
}

void append_error_text(std::string_view text) noexcept {
  error_state_blank = false;
  std::size_t at = error_text().size();
  std::size_t length = std::min(text.size(), at < kErrorTextLimit ? kErrorTextLimit - at : 0);
  std::copy_n(text.data(), length, Kes$ERRSTR + at);
}

void set_file_error(std::string_view code, const char* message) noexcept {
  error_state_blank = false;
  ensure_file_texts();
  store_padded(code, file_code_text, sizeof file_code_text, kFileCodeLimit);
  if (message != nullptr) {
    store_padded(message, file_message_text, sizeof file_message_text, kFileMessageLimit);
    return;
  }
  MessageBuffer buffer;
  std::string_view head =
      message_text(static_cast<std::int32_t>(ErrorCode::FileSystemError), buffer);
  // The head is at most 255 characters; the whole is cut to the field's limit.
  char composed[kMessageTextCapacity + 3 + 81];
  std::size_t length = head.size();
  std::memcpy(composed, head.data(), length);
  std::memcpy(composed + length, " : ", 3);
  length += 3;
  std::size_t code_length = std::min(code.size(), sizeof composed - length);
  std::copy_n(code.data(), code_length, composed + length);
  length += code_length;
  store_padded({composed, length}, file_message_text, sizeof file_message_text, kFileMessageLimit);
}

void set_error_file(KesFileNameRecord* file) noexcept { Kes$FileError = file; }

std::string_view error_file_name() noexcept {
  const KesFileNameRecord* file = Kes$FileError;
  if (file == nullptr || file->name == nullptr) return {};
  std::size_t length = 0;
  if (file->length == -1) {
    length = std::strlen(file->name);
  } else if (file->length > 0) {
    length = static_cast<std::size_t>(file->length);
  }
  return without_trailing_blanks(file->name, length);
}

std::string_view file_error_code() noexcept {
  ensure_file_texts();
  return without_trailing_blanks(file_code_text, sizeof file_code_text);
}

std::string_view file_error_message() noexcept {
  ensure_file_texts();
  return without_trailing_blanks(file_message_text, sizeof file_message_text);
}

std::span<char, 81> file_error_code_field() noexcept {
  error_state_blank = false;  // the caller may write through the span
  ensure_file_texts();
  return std::span<char, 81>(file_code_text);
}

std::span<char, 255> file_error_message_field() noexcept {
  error_state_blank = false;
  ensure_file_texts();
  return std::span<char, 255>(file_message_text);
}

errcodeblock*& saved_error_blocks() noexcept {
  static errcodeblock* top = nullptr;
  return top;
}

void set_error_posted_hook(ErrorPostedHook hook) noexcept { posted_hook = hook; }

}  // namespace kes::files

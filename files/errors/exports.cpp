// The exported operations on the error state.
#include <cstring>

#include <kestrel/errors.h>

#include "files/errors/error_messages.h"
#include "files/errors/error_state.h"

namespace kf = kes::files;

extern "C" void Kes$seterror(int32_t number) noexcept { kf::post_error_number(number); }

extern "C" void Kes$clearerror() noexcept { kf::clear_error(); }

extern "C" const char* Kes$err_message(int32_t number) noexcept {
  static kf::MessageBuffer buffer;  // process-wide: the next call overwrites it
  return kf::message_text(number, buffer).data();
}

extern "C" void Kes$setfileerror(const char* code, const char* message) noexcept {
  kf::set_file_error(code == nullptr ? std::string_view{} : std::string_view{code}, message);
}

extern "C" void Kes$SetErrorFile(KesFileNameRecord* file) noexcept { kf::set_error_file(file); }

extern "C" int32_t Kes$ErrCodeVal() noexcept { return Kes$ERRCODE; }

// The exported operations on the error state.
#include <cstring>

#include <kestrel/errors.h>

#include "files/error_messages.h"
#include "files/error_state.h"
#include "runtime/string_stack.h"

namespace kf = kes::files;
namespace rt = kes::runtime;

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

extern "C" void Kes$ERRORFILE() noexcept { rt::push_text(kf::error_file_name()); }

extern "C" void Kes$FILEERRORCODE() noexcept { rt::push_text(kf::file_error_code()); }

extern "C" void Kes$FILEERRORMSG() noexcept { rt::push_text(kf::file_error_message()); }

extern "C" void Kes$StackErrstr() noexcept {
  rt::push_text(std::string_view{Kes$ERRSTR, sizeof Kes$ERRSTR});
}

extern "C" int32_t Kes$ErrCodeVal() noexcept { return Kes$ERRCODE; }

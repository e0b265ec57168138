// The exported fatal path: Kes$rterr, and the traps compiled code calls for run-time errors 401
// to 409, each of which reports 400 plus its number with no extra text.
#include <kestrel/fatal.h>

#include "runtime/fatal/fatal.h"

namespace rt = kes::runtime;

namespace {
void trap(rt::RuntimeError error) noexcept {
  rt::report_runtime_error(static_cast<int32_t>(error), std::nullopt);
}
}  // namespace

extern "C" void Kes$rterr(int32_t number, const char* extra) noexcept {
  std::optional<std::string_view> given;
  if (extra != nullptr) given = std::string_view{extra};
  rt::report_runtime_error(number, given);
}

extern "C" void _e_stack() noexcept { trap(rt::RuntimeError::StackOverflow); }
extern "C" void _e_nil_ptr() noexcept { trap(rt::RuntimeError::NilPointer); }
extern "C" void _e_overflow() noexcept { trap(rt::RuntimeError::Overflow); }
extern "C" void _e_range() noexcept { trap(rt::RuntimeError::Range); }
extern "C" void _e_no_return() noexcept { trap(rt::RuntimeError::NoReturn); }
extern "C" void _e_no_case() noexcept { trap(rt::RuntimeError::NoCase); }
extern "C" void _e_index() noexcept { trap(rt::RuntimeError::Index); }

// The string built-ins' exports: each calls its internal operation.
#include <kestrel/errors.h>
#include <kestrel/string_builtins.h>

#include "files/errors/error_state.h"
#include "runtime/builtins/string_builtins.h"
#include "runtime/stack/string_stack.h"

namespace kf = kes::files;
namespace rt = kes::runtime;

extern "C" void Kes$StackSUB(int32_t start, int32_t length) noexcept { rt::sub_top(start, length); }
extern "C" int32_t Kes$StackINSTRING(int32_t step, int32_t start) noexcept {
  return rt::instring_pop(step, start);
}
extern "C" void Kes$StackCLIP() noexcept { rt::clip_top(); }
extern "C" uint32_t Kes$clipstr(char* text) noexcept { return rt::clip_cstring(text); }
extern "C" void Kes$StackLEFT(int32_t width) noexcept { rt::left_top(width); }
extern "C" void Kes$StackRIGHT(int32_t width) noexcept { rt::right_top(width); }
extern "C" void Kes$StackCENTER(int32_t width) noexcept { rt::center_top(width); }
extern "C" void Kes$StackALL(int32_t length) noexcept { rt::all_top(length); }
extern "C" void Kes$StackUPPER() noexcept { rt::upper_top(); }
extern "C" void Kes$StackLOWER() noexcept { rt::lower_top(); }
extern "C" int32_t Kes$StackVAL() noexcept { return rt::val_pop(); }
extern "C" int32_t Kes$StackNUMERIC() noexcept { return rt::numeric_pop(); }
// The count is an 8-bit operand.
extern "C" int32_t Kes$StackINLIST(uint32_t count) noexcept {
  return rt::inlist_pop(count & 0xFFu);
}
extern "C" void Kes$StackConcat() noexcept { rt::concat_pop(false); }
extern "C" void Kes$StackConcatR() noexcept { rt::concat_pop(true); }
extern "C" int32_t Kes$StackCompare() noexcept { return rt::compare_pop(true); }
extern "C" int32_t Kes$StackCompare1() noexcept { return rt::compare_pop(false); }
extern "C" int32_t Kes$StackCompareR() noexcept { return -rt::compare_pop(true); }
extern "C" int32_t Kes$StackCompareR1() noexcept { return -rt::compare_pop(false); }
extern "C" int32_t Kes$StackCompareNEQ() noexcept { return rt::not_equal_pop(true); }
extern "C" int32_t Kes$StackCompareNEQ1() noexcept { return rt::not_equal_pop(false); }
extern "C" int32_t Kes$StackCompareN() noexcept { return rt::truth_pop(); }
extern "C" void Kes$StackFORMAT(const char* picture) noexcept { rt::format_top(picture); }
extern "C" void Kes$StackFORMAT2() noexcept { rt::format_top_with_stacked_picture(); }
extern "C" void Kes$StackDEFORMAT(const char* picture) noexcept { rt::deformat_top(picture); }
extern "C" void Kes$StackDEFORMAT2() noexcept { rt::deformat_top_with_stacked_picture(); }
extern "C" void Kes$StackPRESS() noexcept { rt::press_pop(); }

// The error state's texts, as ERRORFILE(), FILEERRORCODE(), FILEERROR() and ERROR() read them.
extern "C" void Kes$ERRORFILE() noexcept { rt::push_text(kf::error_file_name()); }
extern "C" void Kes$FILEERRORCODE() noexcept { rt::push_text(kf::file_error_code()); }
extern "C" void Kes$FILEERRORMSG() noexcept { rt::push_text(kf::file_error_message()); }
extern "C" void Kes$StackErrstr() noexcept {
  rt::push_text(std::string_view{Kes$ERRSTR, sizeof Kes$ERRSTR});
}

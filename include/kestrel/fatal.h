// Fatal run-time errors: the report compiled code asks for, and the traps of its checks.
#pragma once

#include <kestrel/abi.h>

// A fatal run-time error (number 0 for none, extra text or null); returns only once the
// library has been closed down.
KES_API void Kes$rterr(int32_t number, const char* extra) KES_NOEXCEPT;
// Run-time errors 401, 402, 404, 405, 406, 407 and 409.
KES_API void _e_stack(void) KES_NOEXCEPT;
KES_API void _e_nil_ptr(void) KES_NOEXCEPT;
KES_API void _e_overflow(void) KES_NOEXCEPT;
KES_API void _e_range(void) KES_NOEXCEPT;
KES_API void _e_no_return(void) KES_NOEXCEPT;
KES_API void _e_no_case(void) KES_NOEXCEPT;
KES_API void _e_index(void) KES_NOEXCEPT;

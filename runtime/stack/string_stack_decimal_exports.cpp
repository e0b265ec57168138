// The string stack's exports that go through the decimal stack.
#include <kestrel/string_stack.h>

#include "runtime/stack/string_stack.h"

namespace rt = kes::runtime;

extern "C" int32_t Kes$PopLong() noexcept { return rt::pop_long(); }
extern "C" void Kes$Stack2DStack() noexcept { rt::pop_to_decimal_stack(); }
extern "C" void Kes$DStack2Stack() noexcept { rt::push_from_decimal_stack(); }

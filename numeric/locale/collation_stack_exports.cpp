// The exported class tests and collation values that take or give their text on the string
// stack.
#include <string_view>

#include <kestrel/collation.h>

#include "numeric/locale/collation_compare.h"
#include "runtime/stack/string_stack.h"

namespace num = kes::numeric;
namespace rt = kes::runtime;

namespace {

std::int32_t test_popped_first(bool (*test)(std::uint8_t)) noexcept {
  const std::string_view top = rt::top_text();
  const bool result = !top.empty() && test(static_cast<std::uint8_t>(top.front()));
  rt::pop_discard();
  return result ? 1 : 0;
}

}  // namespace

extern "C" std::int32_t Kes$IsAlpha() noexcept { return test_popped_first(num::is_alpha); }
extern "C" std::int32_t Kes$IsUpper() noexcept { return test_popped_first(num::is_upper); }
extern "C" std::int32_t Kes$IsLower() noexcept { return test_popped_first(num::is_lower); }

extern "C" std::int32_t Kes$CollationVal() noexcept {
  const std::uint32_t value = num::collation_value(rt::top_text());
  rt::pop_discard();
  return static_cast<std::int32_t>(value);
}

extern "C" void Kes$CollationChar(std::int32_t value) noexcept {
  char text[4];
  const std::size_t n = num::collation_chars(static_cast<std::uint32_t>(value), text);
  rt::push_text(std::string_view(text, n));
}

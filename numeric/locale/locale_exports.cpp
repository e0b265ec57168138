// The exported start-up, LOCALE and message-override functions.
#include <cstring>
#include <string_view>

#include <kestrel/collation.h>

#include "files/errors/error_state.h"
#include "numeric/locale/locale_settings.h"
#include "numeric/locale/locale_texts.h"
#include "runtime/stack/string_stack.h"

namespace num = kes::numeric;
namespace rt = kes::runtime;

namespace {

// Pops the top into `buffer`, cut to its size; the popped text's length kept.
std::string_view pop_into(char* buffer, std::size_t capacity) noexcept {
  std::string_view top = rt::top_text();
  if (top.size() > capacity) top = top.substr(0, capacity);
  if (!top.empty()) std::memcpy(buffer, top.data(), top.size());
  rt::pop_discard();
  return std::string_view(buffer, top.size());
}

}  // namespace

extern "C" void Kes$isfinit() noexcept { num::initialize_locale(); }

extern "C" void Kes$Locale(std::int32_t form) noexcept {
  char name[260];
  char value[300];
  const std::string_view first = pop_into(name, sizeof name);
  const std::string_view second = pop_into(value, sizeof value);
  if (form != 0) {
    kes::files::ErrorScope errors;
    errors.report(num::locale_file(first));
  } else {
    num::locale_setting(first, second);
  }
}

extern "C" const char* Kes$IsfGetMsg(std::int32_t number) noexcept {
  const std::optional<std::string_view> text = num::message_override(number);
  return text ? text->data() : nullptr;  // stored followed by a zero byte
}

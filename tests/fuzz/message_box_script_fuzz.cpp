// Message-box answer scripts: a script is refused as a whole or yields one answer per item, each
// a button number or the default.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/msgbox/message_box.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr std::size_t kMaxInput = 1024;
  if (size > kMaxInput) return 0;
  std::string_view script(reinterpret_cast<const char*>(data), size);
  kes::platform::MessageBoxAnswer answers[8];
  int count = kes::platform::parse_message_box_answers(script, answers);
  if (count == -1) return 0;
  std::size_t items = 1;
  for (char c : script)
    items += c == ',' ? 1 : 0;
  std::size_t expected = items < 8 ? items : 8;
  if (count < 1 || static_cast<std::size_t>(count) != expected) std::abort();
  for (int i = 0; i < count; ++i) {
    auto value = static_cast<std::int32_t>(answers[i]);
    if (value < 0 || value > 7) std::abort();
  }
  return 0;
}

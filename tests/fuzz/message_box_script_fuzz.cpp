// Message-box answer scripts: a script is refused as a whole or yields one answer per item, each
// a button number or the default.
#include "platform/msgbox/message_box.h"
#include "tests/fuzz/support/fuzz_check.h"

using kes::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 1024) return 0;
  const std::string_view script = kes::fuzz::text_of(data, size);
  kes::platform::MessageBoxAnswer answers[8];
  int count = kes::platform::parse_message_box_answers(script, answers);
  if (count == -1) return 0;
  std::size_t items = 1;
  for (char c : script)
    items += c == ',' ? 1 : 0;
  check(count >= 1 && static_cast<std::size_t>(count) == (items < 8 ? items : 8));
  for (int i = 0; i < count; ++i)
    check(static_cast<std::int32_t>(answers[i]) >= 0 && static_cast<std::int32_t>(answers[i]) <= 7);
  return 0;
}

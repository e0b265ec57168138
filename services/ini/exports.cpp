// The exported INI statements: operands popped from the string stack into their buffers.
#include <cstring>
#include <string_view>

#include <kestrel/ini.h>

#include "runtime/builtins/string_builtins.h"
#include "runtime/stack/string_stack.h"
#include "services/ini/ini.h"

namespace rt = kes::runtime;
namespace svc = kes::services;

namespace {

// Pops the top without its trailing blanks into `buffer` as a terminated text (cut to the
// buffer less one byte, and at a zero byte).
std::string_view pop_clipped(char* buffer, std::size_t size) noexcept {
  rt::clip_top();
  rt::pop_to_cstring(buffer, static_cast<std::uint32_t>(size));
  return std::string_view(buffer, std::strlen(buffer));
}

}  // namespace

extern "C" void Kes$GETINI() noexcept {
  char section[svc::kIniNameBuffer];
  char entry[svc::kIniNameBuffer];
  char fallback[svc::kIniValueBuffer];
  char file[svc::kIniFileBuffer];
  const std::string_view section_text = pop_clipped(section, sizeof section);
  const std::string_view entry_text = pop_clipped(entry, sizeof entry);
  const std::string_view fallback_text = pop_clipped(fallback, sizeof fallback);
  const std::string_view file_text = pop_clipped(file, sizeof file);
  char value[svc::kIniValueBuffer];
  const std::size_t length =
      svc::get_ini(section_text, entry_text, fallback_text, file_text, value);
  rt::push_text(std::string_view(value, length));
}

extern "C" void Kes$PUTINI(std::uint8_t entry_omitted, std::uint8_t value_omitted) noexcept {
  char section[svc::kIniNameBuffer];
  char entry[svc::kIniNameBuffer];
  char value[svc::kIniValueBuffer];
  char file[svc::kIniFileBuffer];
  const std::string_view section_text = pop_clipped(section, sizeof section);
  const std::string_view entry_text = pop_clipped(entry, sizeof entry);
  const std::string_view value_text = pop_clipped(value, sizeof value);
  const std::string_view file_text = pop_clipped(file, sizeof file);
  svc::put_ini(section_text, entry_omitted != 0 ? std::nullopt : std::optional(entry_text),
               value_omitted != 0 ? std::nullopt : std::optional(value_text), file_text);
}

extern "C" std::int32_t KES$GETINIGROUP(void* address, std::uint32_t size,
                                        const unsigned char* type_descriptor) noexcept {
  char section[svc::kIniNameBuffer];
  char file[svc::kIniFileBuffer];
  const std::string_view section_text = pop_clipped(section, sizeof section);
  const std::string_view file_text = pop_clipped(file, sizeof file);
  return svc::get_ini_group({address, size, type_descriptor}, section_text, file_text) ? 1 : 0;
}

extern "C" void KES$PUTINIGROUP(void* address, std::uint32_t size,
                                const unsigned char* type_descriptor) noexcept {
  char section[svc::kIniNameBuffer];
  char file[svc::kIniFileBuffer];
  const std::string_view section_text = pop_clipped(section, sizeof section);
  const std::string_view file_text = pop_clipped(file, sizeof file);
  svc::put_ini_group({address, size, type_descriptor}, section_text, file_text);
}

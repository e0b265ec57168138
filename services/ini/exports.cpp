// The exported INI statements: operands popped from the string stack into their buffers.
#include <string_view>

#include <kestrel/ini.h>

#include "runtime/builtins/string_builtins.h"
#include "runtime/stack/string_stack.h"
#include "services/ini/ini.h"

namespace rt = kes::runtime;
namespace svc = kes::services;

extern "C" void Kes$GETINI() noexcept {
  char section[svc::kIniNameBuffer];
  char entry[svc::kIniNameBuffer];
  char fallback[svc::kIniValueBuffer];
  char file[svc::kIniFileBuffer];
  const std::string_view section_text = rt::pop_clipped_cstring(section, sizeof section);
  const std::string_view entry_text = rt::pop_clipped_cstring(entry, sizeof entry);
  const std::string_view fallback_text = rt::pop_clipped_cstring(fallback, sizeof fallback);
  const std::string_view file_text = rt::pop_clipped_cstring(file, sizeof file);
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
  const std::string_view section_text = rt::pop_clipped_cstring(section, sizeof section);
  const std::string_view entry_text = rt::pop_clipped_cstring(entry, sizeof entry);
  const std::string_view value_text = rt::pop_clipped_cstring(value, sizeof value);
  const std::string_view file_text = rt::pop_clipped_cstring(file, sizeof file);
  svc::put_ini(section_text, entry_omitted != 0 ? std::nullopt : std::optional(entry_text),
               value_omitted != 0 ? std::nullopt : std::optional(value_text), file_text);
}

extern "C" std::int32_t KES$GETINIGROUP(void* address, std::uint32_t size,
                                        const unsigned char* type_descriptor) noexcept {
  char section[svc::kIniNameBuffer];
  char file[svc::kIniFileBuffer];
  const std::string_view section_text = rt::pop_clipped_cstring(section, sizeof section);
  const std::string_view file_text = rt::pop_clipped_cstring(file, sizeof file);
  return svc::get_ini_group({address, size, type_descriptor}, section_text, file_text) ? 1 : 0;
}

extern "C" void KES$PUTINIGROUP(void* address, std::uint32_t size,
                                const unsigned char* type_descriptor) noexcept {
  char section[svc::kIniNameBuffer];
  char file[svc::kIniFileBuffer];
  const std::string_view section_text = rt::pop_clipped_cstring(section, sizeof section);
  const std::string_view file_text = rt::pop_clipped_cstring(file, sizeof file);
  svc::put_ini_group({address, size, type_descriptor}, section_text, file_text);
}
